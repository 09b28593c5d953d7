#pragma once
// One snapshot stream's reader. It lives in a thread of its own (owned by Snapshots) and
// keeps the preview records of its stream up to date while a page looks at them:
//  - UDP: the encoder sends JPEG pictures in datagrams to a multicast group. The reader asks
//    for them ("udp://node:port/s" to the node, port 19997) once a second while the stream's
//    record is wanted, takes a datagram only while it is wanted (or always, for a stream the
//    controller pushes: node "transimit", which needs no registration), and leaves the group
//    when three seconds passed without a request.
//  - RTSP: while wanted, one pass reads and decodes the camera's stream; the pass ends 64
//    frames after the last request; a failed open is retried after 5 s.
#include "log/throttle.h"
#include "video/previewtable.h"
#include "video/snapshotstream.h"

#include <QObject>
#include <QSize>
#include <atomic>
#include <memory>

class QTimer;
class QUdpSocket;

namespace kora::video {

constexpr quint16 kRegistrationPort = 19997;
constexpr int kRtspDemandFloor = -60; // a pass ends when demand falls below this

class SnapshotReader : public QObject
{
    Q_OBJECT
public:
    // `fitTo`: pictures larger than this are decoded scaled down to fit.
    SnapshotReader(const SnapshotStream &stream, std::shared_ptr<PreviewTable> table, const QSize &fitTo);
    ~SnapshotReader() override;

    const SnapshotStream &stream() const { return m_stream; }
    bool transimit() const { return m_stream.node == QLatin1String("transimit"); }

    // Any thread: ends an RTSP pass or its retry wait within about 100 ms.
    void requestStop() { m_running = false; }

    // Counters for tests (any thread).
    quint64 picturesStored() const { return m_pictures; }

public slots:
    void start(); // reader thread: sets the stream up and runs it

private:
    void startUdp();
    void runRtsp();
    void readDatagrams();
    void tick();
    void registerStream();
    void wakeUp(); // joins and registers now when the stream is wanted
    void join();
    void storePicture(const QByteArray &jpeg);
    bool wanted(); // the stream's record is wanted (or pushed to us): take datagrams
    void logOnce(const QString &kind, const QString &line);

    // Set at construction, read-only afterwards.
    const SnapshotStream m_stream;
    const std::shared_ptr<PreviewTable> m_table;
    const QSize m_fitTo;
    std::shared_ptr<PreviewRecord> m_record; // the stream's own record

    // Any thread.
    std::atomic<bool> m_running{true};
    std::atomic<quint64> m_pictures{0};

    // Reader thread only.
    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    bool m_joined = false;
    SnapshotAssembler m_assembler;
    LogThrottle m_throttle;
};

} // namespace kora::video
