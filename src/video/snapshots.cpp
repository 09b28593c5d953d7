#include "video/snapshots.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/rtspsource.h"
#include "video/snapshotreader.h"

#include <QDeadlineTimer>

namespace kora::video {

Snapshots::Snapshots(QObject *parent)
    : QObject(parent)
    , m_table(std::make_shared<PreviewTable>())
{
    m_networkThread.setObjectName(QStringLiteral("snapshots"));
}

Snapshots::~Snapshots()
{
    clear();
    m_networkThread.quit();
    m_networkThread.wait();
}

SnapshotNetwork *Snapshots::network()
{
    if (!m_network) {
        m_decoding = std::make_unique<SnapshotDecoding>();
        m_network = new SnapshotNetwork(*m_decoding);
        m_network->moveToThread(&m_networkThread);
        // Its sockets go in the thread that made them.
        connect(&m_networkThread, &QThread::finished, m_network, &QObject::deleteLater);
        m_networkThread.start();
        SnapshotNetwork *n = m_network;
        const int ms = m_tickMs;
        QMetaObject::invokeMethod(n, [n, ms] { n->setTickInterval(ms); }, Qt::QueuedConnection);
    }
    return m_network;
}

void Snapshots::setTickInterval(int ms)
{
    m_tickMs = ms;
    if (SnapshotNetwork *n = m_network)
        QMetaObject::invokeMethod(n, [n, ms] { n->setTickInterval(ms); }, Qt::QueuedConnection);
}

void Snapshots::load(const QList<SignalSnapshot> &signalList)
{
    for (const SignalSnapshot &s : signalList)
        m_table->add(s.id);
    for (const SnapshotStream &stream : planSnapshotStreams(signalList)) {
        const auto own = m_table->find(stream.key);
        for (const QString &cell : stream.cells) {
            const auto record = cell.isEmpty() || cell == stream.key ? nullptr : m_table->find(cell);
            if (record) {
                QMutexLocker locker(&record->lock);
                record->stream = own;
            }
        }
        startReader(stream);
    }
}

bool Snapshots::addSignal(const QString &id, const QString &snapUrl)
{
    m_table->add(id);
    if (snapUrl.isEmpty())
        return false;
    const SnapshotAddress a = parseSnapUrl(snapUrl);
    if (!a.valid) {
        KWARN(lcVideo) << "unusable snapshot address" << snapUrl << "of" << id;
        return false;
    }
    SnapshotStream stream;
    stream.key = id;
    stream.node = QStringLiteral("transimit");
    stream.group = a.group;
    stream.port = a.port;
    return startReader(stream);
}

void Snapshots::repoint(const QHash<QString, QString> &snapUrlById)
{
    QStringList stopped;
    std::vector<Reader> leaving;
    for (auto it = m_readers.begin(); it != m_readers.end();) {
        // Pushed streams all stop; a listed signal's own reader gives way to the pushed one
        // (a shared mosaic stream stays: its other cells still need it).
        const SnapshotTarget &t = *it->target;
        if (t.transimit() || (t.stream.cells.isEmpty() && snapUrlById.contains(t.stream.key))) {
            stopped.append(t.stream.key);
            leaving.push_back(std::move(*it));
            it = m_readers.erase(it);
        } else {
            ++it;
        }
    }
    stopReaders(leaving);
    for (auto it = snapUrlById.constBegin(); it != snapUrlById.constEnd(); ++it) {
        const auto record = m_table->find(it.key());
        if (!record)
            continue;
        // A mosaic cell now has its own stream: the mosaic neither fills nor judges it.
        PreviewTable::ownStream(*record);
        if (!addSignal(it.key(), it.value()))
            PreviewTable::unserved(*record);
    }
    for (const QString &key : qAsConst(stopped)) {
        const auto record = m_table->find(key);
        if (record && !snapUrlById.contains(key))
            PreviewTable::unserved(*record);
    }
}

void Snapshots::clear()
{
    stopReaders(m_readers);
    m_table->clear();
    m_refused = 0;
}

qint64 Snapshots::picturesStored(const QString &key) const
{
    for (const Reader &r : m_readers) {
        if (r.target->stream.key == key)
            return qint64(r.target->pictures.load());
    }
    return -1;
}

int Snapshots::threadCount() const
{
    int n = m_networkThread.isRunning() ? 1 : 0;
    if (m_decoding)
        n += m_decoding->threadCount();
    for (const Reader &r : m_readers)
        n += r.rtspThread ? 1 : 0;
    return n;
}

bool Snapshots::startReader(const SnapshotStream &stream)
{
    if (int(m_readers.size()) >= kMaxReaders) {
        if (m_refused++ == 0)
            KWARN(lcVideo) << "more than" << kMaxReaders << "snapshot streams; the rest keep their placeholder";
        return false;
    }
    const auto record = m_table->find(stream.key);
    if (!record) {
        KWARN(lcVideo) << "no preview record for" << stream.key;
        return false;
    }
    Reader r;
    r.target = std::make_shared<SnapshotTarget>(stream, m_table, record, m_fitTo);
    if (stream.rtspUrl.isEmpty()) {
        SnapshotNetwork *n = network();
        const auto target = r.target;
        QMetaObject::invokeMethod(n, [n, target] { n->add(target); }, Qt::QueuedConnection);
    } else {
        r.rtspThread = new QThread;
        r.rtspThread->setObjectName(QStringLiteral("rtsp ") + stream.key);
        r.rtsp = new RtspSnapshotReader(r.target);
        r.rtsp->moveToThread(r.rtspThread);
        connect(r.rtspThread, &QThread::started, r.rtsp, &RtspSnapshotReader::run);
        connect(r.rtspThread, &QThread::finished, r.rtsp, &QObject::deleteLater);
        connect(r.rtspThread, &QThread::finished, r.rtspThread, &QObject::deleteLater); // maybe after we let go, see stopReaders
        r.rtspThread->start();
    }
    m_readers.push_back(r);
    return true;
}

void Snapshots::askStop(Reader &reader)
{
    // Once its thread is told to quit the reader deletes itself there: never touch it again.
    if (reader.rtsp) {
        reader.rtsp->requestStop();
        reader.rtspThread->quit();
        reader.rtsp = nullptr;
    }
}

void Snapshots::stopReaders(std::vector<Reader> &readers)
{
    // All are told first, then joined within one bound: cameras blocked in a network call end
    // side by side.
    for (Reader &reader : readers)
        askStop(reader);
    const QDeadlineTimer deadline(kRtspStopWaitMs);
    for (Reader &reader : readers) {
        if (reader.rtspThread) {
            // Stopped within about 100 ms, unless blocked where FFmpeg cannot be told (a name
            // lookup that hangs): then it ends by itself, and its thread deletes itself.
            if (!reader.rtspThread->wait(deadline))
                KWARN(lcVideo) << "camera snapshot reader of" << qUtf8Printable(reader.target->stream.key) << "still busy; left to end by itself";
        } else if (m_network) {
            SnapshotNetwork *n = m_network;
            const std::shared_ptr<SnapshotTarget> target = reader.target;
            QMetaObject::invokeMethod(n, [n, target] { n->remove(target.get()); }, Qt::QueuedConnection);
        }
    }
    readers.clear();
}

} // namespace kora::video
