#include "video/snapshots.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/snapshotreader.h"

#include <QThread>

namespace kora::video {

Snapshots::Snapshots(QObject *parent)
    : QObject(parent)
    , m_table(std::make_shared<PreviewTable>())
{
}

Snapshots::~Snapshots()
{
    clear();
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
    for (auto it = m_readers.begin(); it != m_readers.end();) {
        // Pushed streams all stop; a listed signal's own reader gives way to the pushed one
        // (a shared mosaic stream stays: its other cells still need it).
        const SnapshotStream &s = it->worker->stream();
        if (it->worker->transimit() || (s.cells.isEmpty() && snapUrlById.contains(s.key))) {
            stopped.append(s.key);
            stopReader(*it);
            it = m_readers.erase(it);
        } else {
            ++it;
        }
    }
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
    // All are told first, then joined: readers blocked in a network call end side by side.
    // A finished thread has deleted its worker, so the second pass touches threads only.
    for (Reader &reader : m_readers) {
        reader.worker->requestStop();
        reader.thread->quit();
    }
    for (Reader &reader : m_readers) {
        reader.thread->wait();
        delete reader.thread;
    }
    m_readers.clear();
    m_table->clear();
    m_refused = 0;
}

const SnapshotReader *Snapshots::reader(const QString &key) const
{
    for (const Reader &r : m_readers) {
        if (r.worker->stream().key == key)
            return r.worker;
    }
    return nullptr;
}

bool Snapshots::startReader(const SnapshotStream &stream)
{
    if (int(m_readers.size()) >= kMaxReaders) {
        if (m_refused++ == 0)
            KWARN(lcVideo) << "more than" << kMaxReaders << "snapshot streams; the rest keep their placeholder";
        return false;
    }
    Reader r;
    r.thread = new QThread;
    r.thread->setObjectName(QStringLiteral("snapshot ") + stream.key);
    r.worker = new SnapshotReader(stream, m_table, m_fitTo);
    r.worker->moveToThread(r.thread);
    connect(r.thread, &QThread::started, r.worker, &SnapshotReader::start);
    // The worker's socket and timer must go in the thread that made them.
    connect(r.thread, &QThread::finished, r.worker, &QObject::deleteLater);
    r.thread->start();
    m_readers.push_back(r);
    return true;
}

void Snapshots::stopReader(Reader &reader)
{
    reader.worker->requestStop();
    reader.thread->quit();
    reader.thread->wait();
    delete reader.thread;
    reader = Reader();
}

} // namespace kora::video
