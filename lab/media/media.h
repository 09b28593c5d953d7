#pragma once
// The lab's media, as the engine sees it: stream registrations in, streams out, the RTSP
// camera, and their journal events. Made and used in the main thread; it owns the threads
// "lab-media-send" (StreamSender), "lab-media-encode" (loop encoding) and the camera's
// "lab-rtsp", and quits and waits for them when it goes.
#include "faults.h"
#include "journal.h"
#include "labconfig.h"
#include "peer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

namespace lab {

class RtspCamera;
class StreamSender;

class Media : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPushHoldMs = 60000; // a pushed stream runs this long after the latest push
    Media(const LabConfig &config, Journal &journal, QObject *parent = nullptr);
    ~Media() override;

    void start(const FaultPlan &faults);
    // A datagram that reached the encoder on `host` (journal name `peer`): a stream
    // registration on port 19997, or "insertIDR" on 12345.
    void request(int host, const QString &peer, const Datagram &in);
    // The controller pushes host's snapshot stream to `to` (a client's own address).
    void push(int host, const QHostAddress &to, quint16 port);
    void setFaults(const FaultPlan &faults); // rtspDrop is acted on here
    void setJournalFrames(bool on);
    QJsonArray streams(); // waits for the sender thread's answer

private:
    void refuse(const QString &peer, const QString &why); // throttled journal line

    void registration(int host, const QString &peer, const Datagram &in);

    LabConfig m_config;
    Journal &m_journal;
    FaultPlan m_faults; // as last set
    QThread m_sendThread;
    QThread m_encodeThread;
    QObject *m_encodeContext = nullptr; // lives in m_encodeThread
    StreamSender *m_sender = nullptr;   // lives in m_sendThread
    std::unique_ptr<RtspCamera> m_camera;
    bool m_started = false;
    QElapsedTimer m_clock;
    QHash<QString, qint64> m_lastRefusal; // by peer: ms of its last refusal line
    int m_quietRefusals = 0;
    // Registrations handed to the sender and not taken yet: a flood waits for no one.
    std::shared_ptr<std::atomic<int>> m_queued = std::make_shared<std::atomic<int>>(0);
};

} // namespace lab
