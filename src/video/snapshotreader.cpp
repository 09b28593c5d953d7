#include "video/snapshotreader.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/datagramsocket.h"
#include "video/rtspsource.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTimer>

namespace kora::video {

// ---- What a stream fills ----

bool SnapshotTarget::wanted() const
{
    if (transimit())
        return true;
    QMutexLocker locker(&record->lock);
    return record->demand == kWanted;
}

QSize SnapshotTarget::decodeSize() const
{
    auto shownOf = [](const PreviewRecord &r) {
        QMutexLocker locker(&r.lock);
        return r.shown;
    };
    if (stream.cells.isEmpty()) {
        const QSize shown = shownOf(*record);
        return shown.isValid() ? shown : fitTo;
    }
    // A mosaic is cut after decoding: its whole picture is three cells wide and high.
    QSize cell;
    for (const QString &key : stream.cells) {
        if (const auto r = key.isEmpty() ? nullptr : table->find(key))
            cell = cell.expandedTo(shownOf(*r));
    }
    return (cell.isValid() && !cell.isEmpty() ? cell : fitTo) * 3;
}

void SnapshotTarget::store(const QByteArray &jpeg, LogThrottle *throttle)
{
    QString error;
    const QImage picture = decodeJpeg(jpeg, decodeSize(), JpegScale::Fit, &error);
    int skipped = 0;
    if (picture.isNull() && throttle->allow(QStringLiteral("jpeg"), &skipped))
        KWARN(lcVideo) << "snapshot of" << stream.key << "not decoded:" << error << LogThrottle::heldBack(skipped).constData();
    // A picture damaged on the way leaves the last good one up, as a preview does; a stream
    // that goes on sending what cannot be shown is not passed off as live for long.
    const bool hold = picture.isNull() && ++refusedInARow <= kRefusedHeld;
    if (!picture.isNull())
        refusedInARow = 0;
    if (!hold && stream.cells.isEmpty()) {
        PreviewTable::store(*record, picture);
    } else if (!hold) {
        const QVector<QRect> cells = mosaicCells(picture.size(), stream.cells.size(), kMosaicSlots);
        for (int i = 0; i < cells.size(); ++i) {
            if (stream.cells[i].isEmpty())
                continue;
            if (const auto cell = table->find(stream.cells[i]))
                PreviewTable::storeCell(*cell, *record, picture.isNull() ? QImage() : picture.copy(cells[i]));
        }
    }
    QMutexLocker locker(&record->lock);
    record->demand = 1;
    ++pictures;
}

// ---- The decoding pool ----

class SnapshotDecoding::Worker : public QObject
{
public:
    LogThrottle throttle;
};

SnapshotDecoding::SnapshotDecoding(int threads)
{
    for (int i = 0; i < threads; ++i) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("snapshot decode %1").arg(i + 1));
        auto *worker = new Worker;
        worker->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        thread->start();
        m_threads.push_back(thread);
        m_workers.push_back(worker);
    }
}

SnapshotDecoding::~SnapshotDecoding()
{
    for (QThread *thread : m_threads)
        thread->quit();
    for (QThread *thread : m_threads) {
        thread->wait();
        delete thread;
    }
}

bool SnapshotDecoding::decode(const std::shared_ptr<SnapshotTarget> &target, const QByteArray &jpeg)
{
    if (target->decoding.exchange(true)) {
        ++target->dropped;
        return false;
    }
    Worker *worker = m_workers[m_next++ % m_workers.size()];
    QMetaObject::invokeMethod(worker, [worker, target, jpeg] {
        target->store(jpeg, &worker->throttle);
        target->decoding = false;
    }, Qt::QueuedConnection);
    return true;
}

// ---- UDP streams ----

// Ticks with datagrams but no whole picture after which the datagrams no longer count as the
// stream being there: pieces that never make a picture (tails lost, a stray sender) must not
// keep the last one up as live for good, while garbage amid a stream that still gets
// pictures through takes nothing away.
constexpr int kTicksWithoutWhole = 10;

struct SnapshotNetwork::Stream {
    std::shared_ptr<SnapshotTarget> target;
    DatagramSocket *socket = nullptr; // child of the network worker
    SnapshotAssembler assembler;
    int ticksWithoutWhole = 0;
};

SnapshotNetwork::SnapshotNetwork(SnapshotDecoding &decoding)
    : m_decoding(decoding)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &SnapshotNetwork::tick);
}

SnapshotNetwork::~SnapshotNetwork()
{
    while (!m_streams.empty())
        remove(m_streams.back()->target.get());
}

void SnapshotNetwork::setTickInterval(int ms)
{
    m_timer->setInterval(qMax(10, ms));
}

void SnapshotNetwork::add(const std::shared_ptr<SnapshotTarget> &target)
{
    auto s = std::make_unique<Stream>();
    s->target = target;
    s->socket = new DatagramSocket(this);
    QString error;
    const bool bound = s->socket->open(QHostAddress(target->stream.group), target->stream.port, 400000, &error);
    KTRACE(lcVideo) << "bind" << bound << target->stream.group << target->stream.port << target->stream.cells;
    if (!bound) {
        logOnce(QStringLiteral("bind"), QStringLiteral("cannot bind %1:%2: %3").arg(target->stream.group).arg(target->stream.port).arg(error));
        delete s->socket;
        return; // the records keep their placeholder
    }
    Stream *stream = s.get();
    connect(s->socket, &DatagramSocket::readyRead, this, [this, stream] { read(*stream); });
    // The group is joined only while a page looks: a login with hundreds of signals asks
    // nothing of the network until then.
    const SnapshotTarget *t = target.get(); // only compared: gone by then, it wakes nothing
    {
        QMutexLocker locker(&target->record->lock);
        target->record->wake = [this, t] { QMetaObject::invokeMethod(this, [this, t] { wakeUp(t); }, Qt::QueuedConnection); };
        target->record->wakeOwner = stream;
    }
    m_streams.push_back(std::move(s));
    if (!m_timer->isActive())
        m_timer->start();
    wakeUp(t);
}

void SnapshotNetwork::remove(const SnapshotTarget *target)
{
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it) {
        Stream &s = **it;
        if (s.target.get() != target)
            continue;
        {
            QMutexLocker locker(&s.target->record->lock);
            if (s.target->record->wakeOwner == &s) {
                s.target->record->wake = nullptr;
                s.target->record->wakeOwner = nullptr;
            }
        }
        delete s.socket; // leaves the group
        m_streams.erase(it);
        return;
    }
}

void SnapshotNetwork::wakeUp(const SnapshotTarget *target)
{
    for (const auto &s : m_streams) {
        if (s->target.get() != target)
            continue;
        {
            QMutexLocker locker(&s->target->record->lock);
            if (s->target->record->demand <= 0)
                return;
        }
        join(*s);
        registerStream(*s);
        return;
    }
}

void SnapshotNetwork::join(Stream &s)
{
    if (!s.socket->joined() && !s.socket->join())
        logOnce(QStringLiteral("join"), QStringLiteral("cannot join %1").arg(s.target->stream.group));
}

void SnapshotNetwork::registerStream(Stream &s)
{
    if (!s.target->transimit())
        s.socket->send(snapshotRegistration(s.target->stream.node, s.target->stream.port),
                       QHostAddress(s.target->stream.node), kRegistrationPort);
}

void SnapshotNetwork::read(Stream &s)
{
    // A batch at a time: a flood on one stream must not starve the others, nor the queued
    // calls; what waits comes with the next turn of the event loop.
    s.socket->read(kReadBatch, [this, &s](const char *data, int size) {
        if (!s.target->wanted())
            return; // nobody looks: the picture would only be thrown away
        const SnapshotAssembler::Result result = s.assembler.push(QByteArray::fromRawData(data, size));
        if (result == SnapshotAssembler::Result::Complete)
            s.ticksWithoutWhole = 0;
        if (s.ticksWithoutWhole < kTicksWithoutWhole) {
            QMutexLocker locker(&s.target->record->lock);
            s.target->record->idleSeconds = 0;
        }
        switch (result) {
        case SnapshotAssembler::Result::Complete: m_decoding.decode(s.target, s.assembler.picture()); break;
        case SnapshotAssembler::Result::Malformed:
            logOnce(QStringLiteral("malformed"), QStringLiteral("malformed snapshot datagram of %1 bytes").arg(size));
            break;
        case SnapshotAssembler::Result::Broken:
        case SnapshotAssembler::Result::Partial: break;
        }
    });
}

void SnapshotNetwork::tick()
{
    for (const auto &p : m_streams) {
        Stream &s = *p;
        PreviewRecord &record = *s.target->record;
        s.ticksWithoutWhole = qMin(s.ticksWithoutWhole + 1, kTicksWithoutWhole);
        int demand = 0;
        {
            QMutexLocker locker(&record.lock);
            if (record.idleSeconds < kIdleLimit)
                ++record.idleSeconds;
            demand = record.demand;
        }
        if (demand > 0) {
            registerStream(s);
            join(s);
            QMutexLocker locker(&record.lock);
            --record.demand;
        } else if (s.socket->joined() && QHostAddress(s.target->stream.group).isMulticast()) {
            KTRACE(lcVideo) << "leave" << s.target->stream.group << s.target->stream.port << "demand" << demand;
            s.socket->leave();
            s.assembler.reset();
        }
    }
}

void SnapshotNetwork::logOnce(const QString &kind, const QString &line)
{
    int skipped = 0;
    if (m_throttle.allow(kind, &skipped))
        KWARN(lcVideo) << line << LogThrottle::heldBack(skipped).constData();
}

// ---- RTSP ----

RtspSnapshotReader::RtspSnapshotReader(std::shared_ptr<SnapshotTarget> target)
    : m_target(std::move(target))
{
    QMutexLocker locker(&m_target->record->lock);
    m_target->record->wake = [this] { wake(); };
    m_target->record->wakeOwner = this;
}

RtspSnapshotReader::~RtspSnapshotReader()
{
    QMutexLocker locker(&m_target->record->lock);
    if (m_target->record->wakeOwner == this) {
        m_target->record->wake = nullptr;
        m_target->record->wakeOwner = nullptr;
    }
}

void RtspSnapshotReader::requestStop()
{
    m_running = false;
    wake();
}

void RtspSnapshotReader::wake()
{
    QMutexLocker lock(&m_mutex);
    m_woken = true;
    m_wake.wakeAll();
}

bool RtspSnapshotReader::waitFor(int ms, bool untilWanted)
{
    QDeadlineTimer deadline(ms);
    while (m_running && !deadline.hasExpired()) {
        if (untilWanted) {
            // Read without m_mutex: a request calls wake() holding the record's lock.
            QMutexLocker record(&m_target->record->lock);
            if (m_target->record->demand == kWanted)
                return true;
        }
        QMutexLocker lock(&m_mutex);
        if (!m_woken)
            m_wake.wait(&m_mutex, deadline);
        m_woken = false;
    }
    return m_running;
}

void RtspSnapshotReader::run()
{
    PreviewRecord &record = *m_target->record;
    auto demand = [&record] {
        QMutexLocker locker(&record.lock);
        return record.demand;
    };
    while (m_running) {
        // A request wakes the wait; the bound only guards against a missed wake-up.
        if (demand() != kWanted && !waitFor(1000, true))
            break;
        if (demand() != kWanted)
            continue;
        const RtspPassResult result = runRtspPass(
            m_target->stream.rtspUrl, [&] { return m_running && demand() >= kRtspDemandFloor; },
            [this, &record](const QImage &picture) {
                QMutexLocker locker(&record.lock);
                record.idleSeconds = 0;
                --record.demand;
                record.picture = picture;
                ++record.serial;
                ++m_target->pictures;
            },
            m_target->decodeSize());
        {
            QMutexLocker locker(&record.lock);
            record.idleSeconds = kIdleLimit;
        }
        switch (result) {
        case RtspPassResult::Stopped:
        case RtspPassResult::ReadFailed:
        case RtspPassResult::UnsupportedCodec: break; // asked again as soon as it is wanted
        default:
            KWARN(lcVideo) << "Failed to open RTSP stream, retrying in 5 seconds..." << m_target->stream.rtspUrl;
            waitFor(5000, false);
        }
    }
    KTRACE(lcVideo) << "Exiting RTSP thread..." << m_target->stream.rtspUrl;
}

} // namespace kora::video
