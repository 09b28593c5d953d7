#pragma once
// The snapshot readers of the loaded project: a preview record per signal and a reader
// thread per snapshot stream. Main thread; the readers run in threads of their own and are
// stopped and joined here (a new login, a re-pointed stream, shutdown) before their records go.
#include "video/previewtable.h"
#include "video/snapshotstream.h"

#include <QHash>
#include <QObject>
#include <QSize>
#include <memory>
#include <vector>

class QThread;

namespace kora::video {

class SnapshotReader;

constexpr int kMaxReaders = 512; // each is a thread: a hostile catalogue reply must not make thousands

class Snapshots : public QObject
{
    Q_OBJECT
public:
    explicit Snapshots(QObject *parent = nullptr);
    ~Snapshots() override;

    std::shared_ptr<PreviewTable> table() const { return m_table; }
    void setPictureSize(const QSize &fitTo) { m_fitTo = fitTo; }

    // The device file's signals: a record for each, a started reader per stream.
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
    const SnapshotReader *reader(const QString &key) const;

private:
    struct Reader {
        QThread *thread = nullptr;
        SnapshotReader *worker = nullptr;
    };
    bool startReader(const SnapshotStream &stream);
    void stopReader(Reader &reader);

    std::shared_ptr<PreviewTable> m_table;
    QSize m_fitTo{640, 360};
    std::vector<Reader> m_readers;
    int m_refused = 0;
};

} // namespace kora::video
