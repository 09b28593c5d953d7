#pragma once
// The streaming side of the lab: runs the registered streams, paced by one precise timer,
// replaying encoded loops fragment by fragment from the encoders' addresses. Lives in its
// own thread ("lab-media-send"); everything here belongs to that thread. Loops are encoded
// in a second thread ("lab-media-encode"), asked for with a queued call and handed back the
// same way; the journal is written by the main thread (the `journalEvent` signal).
#include "faults.h"
#include "labconfig.h"
#include "media/codec.h"
#include "media/streams.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QMap>
#include <QObject>
#include <deque>
#include <memory>
#include <netinet/in.h>
#include <random>

class QTimer;

namespace lab {

class StreamSender : public QObject
{
    Q_OBJECT
public:
    // `encodeContext` lives in the encoding thread; loops are encoded there.
    StreamSender(const LabConfig &config, QObject *encodeContext);
    ~StreamSender() override;

    // All called in the sender's thread (queued from the main thread).
    void registration(const StreamPlan &plan, const QHostAddress &from, const QString &peer);
    void setFaults(const FaultPlan &faults);
    void setJournalFrames(bool on) { m_journalFrames = on; }
    // "insertIDR" reached the encoder on `host`: its preview streams restart at their loop's
    // first frame, a keyframe.
    void keyframe(int host, const QString &peer);
    QJsonArray streams() const;

signals:
    // A journal event: `peer`, `note`. Emitted in the sender's thread, journaled by the main thread.
    void journalEvent(const QString &peer, const QString &note);

private:
    struct Stream {
        StreamPlan plan;
        QString peer;       // the encoder the registration reached: streams leave from it
        int fd = -1;        // that encoder's socket
        LoopFormat wanted;  // the plan's format with the faults applied
        std::shared_ptr<const EncodedLoop> loop;
        std::shared_ptr<const EncodedLoop> next; // switched to at its next keyframe
        int index = 0;      // the next frame of the loop
        quint8 sequence = 0;
        quint64 frames = 0;
        quint64 datagrams = 0;
        quint64 failed = 0; // datagrams the socket refused
        qint64 expiresMs = 0;
        qint64 dueNs = 0;
        qint64 floodNs = 0; // when its flood last sent
        bool paused = false;
        std::mt19937 random;
    };
    struct Late { // a datagram the network delivers again, later
        qint64 dueNs;
        int fd;
        sockaddr_in to;
        QByteArray data;
    };
    struct CachedLoop {
        std::shared_ptr<const EncodedLoop> loop;
        qint64 usedMs = 0;
    };
    struct EncodeRequest {
        QString key;
        StreamPlan plan;
        LoopFormat format;
    };

    static QString loopKey(const StreamPlan &plan, const LoopFormat &format);
    void want(Stream &stream);  // asks for the loop of stream.wanted unless held or on its way
    void dispatch();            // hands the cheapest wanted request to the encoding thread
    void loopReady(const QString &key, const std::shared_ptr<const EncodedLoop> &loop, const QString &error);
    void adopt(Stream &stream, const std::shared_ptr<const EncodedLoop> &loop);
    void tick();
    void schedule();
    void sendFrame(Stream &stream);
    void sendDatagrams(Stream &stream, const QList<QByteArray> &datagrams, const sockaddr_in &to);
    void flood(Stream &stream, qint64 nowNs, const sockaddr_in &to);
    void sendLate(qint64 nowNs);
    int socketFor(const QHostAddress &from);
    void reseed(Stream &stream);
    void evict();

    LabConfig m_config;
    QObject *m_encodeContext;
    FaultPlan m_faults;
    bool m_journalFrames = false;
    QTimer *m_timer = nullptr;
    QTimer *m_dispatchTimer = nullptr; // lets a client's burst of registrations gather first
    QElapsedTimer m_clock;
    QMap<QString, Stream> m_streams;      // by URL
    QHash<QString, CachedLoop> m_cache;   // by loopKey
    QList<EncodeRequest> m_queue;         // waiting for the encoding thread, at most kMaxQueued
    QString m_inFlight;                   // the key being encoded; empty: none
    QHash<quint32, int> m_sockets;        // by source address
    std::deque<Late> m_late;              // in due order, at most kMaxLate
    qint64 m_cacheBytes = 0;
    int m_refusedEncodes = 0;
    int m_socketErrors = 0;
};

} // namespace lab
