#pragma once
// The snapshot readers of the loaded project: a preview record per signal, every UDP stream
// in one network worker (thread "snapshots"), a small pool that decodes the pictures, and a
// thread per RTSP camera. Main thread; the workers are stopped and joined here (a new
// login, shutdown) before their records go.
#include "video/previewtable.h"
#include "video/snapshotstream.h"

#include <QHash>
#include <QObject>
#include <QSize>
#include <QThread>
#include <memory>
#include <vector>

namespace kora::video {

class RtspSnapshotReader;
class SnapshotDecoding;
class SnapshotNetwork;
struct SnapshotTarget;

constexpr int kMaxReaders = 512; // sockets of one thread: a hostile catalogue reply must not make thousands

class Snapshots : public QObject
{
    Q_OBJECT
public:
    explicit Snapshots(QObject *parent = nullptr);
    ~Snapshots() override;

    std::shared_ptr<PreviewTable> table() const { return m_table; }
    // Pictures are decoded to fit this when no tile said its size.
    void setPictureSize(const QSize &fitTo) { m_fitTo = fitTo; }

    // The device file's signals: a record for each, a reader per stream.
    void load(const QList<SignalSnapshot> &signalList);
    // A signal the controller lists later: its record, and, with a "group:port" address, a
    // reader of the stream the controller pushes (no registration needed). True when a
    // reader started.
    bool addSignal(const QString &id, const QString &snapUrl = QString());
    // The controller moved pushed streams: the pushed readers stop, and the listed ids that
    // have a record get new ones (other ids are ignored). A listed mosaic cell leaves its
    // mosaic; a signal left without a reader shows the placeholder.
    void repoint(const QHash<QString, QString> &snapUrlById);
    // Stops and joins every reader and empties the table.
    void clear();

    int readerCount() const { return int(m_readers.size()); }
    // Pictures the reader of the stream `key` stored so far; -1 when it has no reader.
    qint64 picturesStored(const QString &key) const;
    // The threads the readers use now: the network worker, the decoding pool, one per camera.
    int threadCount() const;
    void setTickInterval(int ms); // tests shorten the readers' one-second tick

private:
    struct Reader {
        std::shared_ptr<SnapshotTarget> target;
        QThread *rtspThread = nullptr;     // RTSP only
        RtspSnapshotReader *rtsp = nullptr; // lives in rtspThread
    };
    bool startReader(const SnapshotStream &stream);
    void askStop(Reader &reader);
    void stopReaders(std::vector<Reader> &readers); // and empties it
    SnapshotNetwork *network(); // started on first use

    std::shared_ptr<PreviewTable> m_table;
    QSize m_fitTo{640, 360};
    int m_tickMs = 1000;
    std::vector<Reader> m_readers;
    int m_refused = 0;
    std::unique_ptr<SnapshotDecoding> m_decoding; // outlives the network worker, which hands it work
    QThread m_networkThread;
    SnapshotNetwork *m_network = nullptr; // lives in m_networkThread
};

} // namespace kora::video
