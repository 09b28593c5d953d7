#pragma once
// The snapshot readers, which keep the preview records of their streams up to date while a
// page looks at them:
//  - UDP: the encoder sends JPEG pictures in datagrams to a multicast group (or, for a
//    stream the controller pushes, "transimit", to the client's own address). One network
//    worker (SnapshotNetwork, thread "snapshots") owns every stream's socket: it asks for a
//    stream ("udp://node:port/s" to the node, port 19997) once a second while its record is
//    wanted, takes datagrams only while it is wanted (a pushed stream always), joins the
//    pieces and leaves the group three seconds after the last request. Whole pictures are
//    decoded in a small pool (SnapshotDecoding, threads "snapshot decode N") at the size of
//    the largest tile that shows them.
//  - RTSP (cameras): while wanted, one pass reads and decodes the camera's stream in the
//    reader's own thread; the pass ends 64 frames after the last request; a failed open is
//    retried after 5 s. Between passes the thread sleeps until a request wakes it.
#include "log/throttle.h"
#include "video/previewtable.h"
#include "video/snapshotstream.h"

#include <QMutex>
#include <QObject>
#include <QSize>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <memory>
#include <vector>

class QTimer;

namespace kora::video {

constexpr quint16 kRegistrationPort = 19997;
constexpr int kRtspDemandFloor = -60; // a pass ends when demand falls below this

// Refused pictures in a row that leave a stream's last good picture up.
constexpr int kRefusedHeld = 3;

// One stream and the records it fills, shared by its reader and the decoding pool.
struct SnapshotTarget {
    SnapshotTarget(const SnapshotStream &s, std::shared_ptr<PreviewTable> t, std::shared_ptr<PreviewRecord> r,
                   const QSize &fit)
        : stream(s), table(std::move(t)), record(std::move(r)), fitTo(fit) {}
    bool transimit() const { return stream.node == QLatin1String("transimit"); }
    bool wanted() const; // the stream's record is wanted (or pushed to us): take datagrams
    // The size pictures are decoded to: the largest tile showing the signal (each cell of a
    // mosaic), else `fitTo`.
    QSize decodeSize() const;
    // Decodes one JPEG and stores it (cut into the cells of a mosaic). Any thread.
    void store(const QByteArray &jpeg, LogThrottle *throttle);

    const SnapshotStream stream;
    const std::shared_ptr<PreviewTable> table;
    const std::shared_ptr<PreviewRecord> record; // the stream's own
    const QSize fitTo;
    std::atomic<bool> decoding{false};   // a picture of it is in the pool
    std::atomic<quint64> pictures{0};    // stored
    std::atomic<quint64> dropped{0};     // whole pictures not decoded: the previous one was still in the pool
    std::atomic<int> refusedInARow{0};   // pictures that could not be shown since the last good one
};

// A small fixed pool of named threads that decode snapshot JPEGs; at most one picture per
// stream waits or runs, so the queue is bounded by the number of streams. Owned by the
// main thread; any thread may hand it work.
class SnapshotDecoding
{
public:
    explicit SnapshotDecoding(int threads = 2);
    ~SnapshotDecoding(); // waits for the work under way
    // False (and the picture dropped, counted) while the stream's previous picture is
    // still being decoded.
    bool decode(const std::shared_ptr<SnapshotTarget> &target, const QByteArray &jpeg);
    int threadCount() const { return int(m_threads.size()); }

private:
    class Worker;
    std::vector<QThread *> m_threads;
    std::vector<Worker *> m_workers;
    std::atomic<unsigned> m_next{0};
};

// Every UDP snapshot stream, in one thread. Worker thread only, except construction.
class SnapshotNetwork : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReadBatch = 64; // datagrams per socket and wake-up

    explicit SnapshotNetwork(SnapshotDecoding &decoding);
    ~SnapshotNetwork() override;

    void add(const std::shared_ptr<SnapshotTarget> &target);
    // By the target, not its key: a mosaic and a signal pushed to us can share one.
    void remove(const SnapshotTarget *target);
    void setTickInterval(int ms); // tests shorten the one-second tick

private:
    struct Stream;
    void read(Stream &s);
    void tick();
    void wakeUp(const SnapshotTarget *target); // joins and registers now when the stream is wanted
    void join(Stream &s);
    void registerStream(Stream &s);
    void logOnce(const QString &kind, const QString &line);

    SnapshotDecoding &m_decoding;
    QTimer *m_timer = nullptr;
    std::vector<std::unique_ptr<Stream>> m_streams;
    LogThrottle m_throttle;
};

// One camera's RTSP stream, in a thread of its own (the FFmpeg calls block).
class RtspSnapshotReader : public QObject
{
    Q_OBJECT
public:
    explicit RtspSnapshotReader(std::shared_ptr<SnapshotTarget> target);
    ~RtspSnapshotReader() override;

    // Any thread: ends a pass or a wait within about 100 ms.
    void requestStop();

public slots:
    void run(); // the reader's thread: passes while wanted, until requestStop()

private:
    bool waitFor(int ms, bool untilWanted); // false once stopped
    void wake();

    const std::shared_ptr<SnapshotTarget> m_target;
    std::atomic<bool> m_running{true};
    QMutex m_mutex;
    bool m_woken = false;  // guarded by m_mutex: a wake-up not waited for yet
    QWaitCondition m_wake; // a request for a picture, or stop
};

} // namespace kora::video
