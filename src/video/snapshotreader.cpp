#include "video/snapshotreader.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/groupsocket.h"
#include "video/rtspsource.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

namespace kora::video {

SnapshotReader::SnapshotReader(const SnapshotStream &stream, std::shared_ptr<PreviewTable> table, const QSize &fitTo)
    : m_stream(stream)
    , m_table(std::move(table))
    , m_fitTo(fitTo)
{
}

SnapshotReader::~SnapshotReader()
{
    if (m_record) {
        QMutexLocker locker(&m_record->lock);
        if (m_record->wakeOwner == this) {
            m_record->wake = nullptr;
            m_record->wakeOwner = nullptr;
        }
    }
    if (m_socket && m_joined)
        m_socket->leaveMulticastGroup(QHostAddress(m_stream.group));
}

void SnapshotReader::start()
{
    m_record = m_table->find(m_stream.key);
    if (!m_record) {
        KWARN(lcVideo) << "no preview record for" << m_stream.key;
        return;
    }
    if (!m_stream.rtspUrl.isEmpty())
        runRtsp();
    else
        startUdp();
}

void SnapshotReader::startUdp()
{
    m_socket = new QUdpSocket(this);
    // Only this stream's group: other signals' pictures may come to the same port.
    const bool bound = bindToGroup(*m_socket, QHostAddress(m_stream.group), m_stream.port);
    connect(m_socket, &QUdpSocket::readyRead, this, &SnapshotReader::readDatagrams);
    KTRACE(lcVideo) << "bind" << bound << m_stream.group << m_stream.port << m_stream.cells;
    if (!bound)
        return; // one line above says so; the records keep their placeholder
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 400000); // only a bound socket takes it
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &SnapshotReader::tick);
    m_timer->start(1000);
    // The group is joined only while a page looks: a login with hundreds of signals asks
    // nothing of the network until then.
    {
        QMutexLocker locker(&m_record->lock);
        m_record->wake = [this] { QMetaObject::invokeMethod(this, [this] { wakeUp(); }, Qt::QueuedConnection); };
        m_record->wakeOwner = this;
    }
    wakeUp();
}

void SnapshotReader::wakeUp()
{
    {
        QMutexLocker locker(&m_record->lock);
        if (m_record->demand <= 0)
            return;
    }
    join();
    registerStream();
}

void SnapshotReader::join()
{
    if (m_joined)
        return;
    m_joined = m_socket->joinMulticastGroup(QHostAddress(m_stream.group));
    if (!m_joined)
        logOnce(QStringLiteral("join"), QStringLiteral("cannot join %1: %2").arg(m_stream.group, m_socket->errorString()));
}

void SnapshotReader::registerStream()
{
    if (!transimit())
        m_socket->writeDatagram(snapshotRegistration(m_stream.node, m_stream.port), QHostAddress(m_stream.node),
                                kRegistrationPort);
}

bool SnapshotReader::wanted()
{
    if (transimit())
        return true;
    QMutexLocker locker(&m_record->lock);
    return m_record->demand == kWanted;
}

void SnapshotReader::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!wanted())
            continue; // nobody looks: the picture would only be thrown away
        {
            QMutexLocker locker(&m_record->lock);
            m_record->idleSeconds = 0;
        }
        switch (m_assembler.push(datagram.data())) {
        case SnapshotAssembler::Result::Complete: storePicture(m_assembler.picture()); break;
        case SnapshotAssembler::Result::Malformed:
            logOnce(QStringLiteral("malformed"), QStringLiteral("malformed snapshot datagram of %1 bytes").arg(datagram.data().size()));
            break;
        case SnapshotAssembler::Result::Broken:
        case SnapshotAssembler::Result::Partial: break;
        }
    }
}

void SnapshotReader::storePicture(const QByteArray &jpeg)
{
    QString error;
    const bool mosaic = !m_stream.cells.isEmpty();
    // A mosaic is cut after decoding, so its whole picture may be up to three times larger.
    const QSize fit = mosaic && m_fitTo.isValid() ? m_fitTo * 3 : m_fitTo;
    const QImage picture = decodeJpeg(jpeg, fit, JpegScale::Fit, &error);
    if (picture.isNull())
        logOnce(QStringLiteral("jpeg"), QStringLiteral("snapshot of %1 not decoded: %2").arg(m_stream.key, error));
    if (!mosaic) {
        PreviewTable::store(*m_record, picture);
    } else {
        const QVector<QRect> cells = mosaicCells(picture.size(), m_stream.cells.size(), kMosaicSlots);
        for (int i = 0; i < cells.size(); ++i) {
            if (m_stream.cells[i].isEmpty())
                continue;
            if (const auto cell = m_table->find(m_stream.cells[i]))
                PreviewTable::storeCell(*cell, *m_record, picture.isNull() ? QImage() : picture.copy(cells[i]));
        }
    }
    QMutexLocker locker(&m_record->lock);
    m_record->demand = 1;
    ++m_pictures;
}

void SnapshotReader::tick()
{
    int demand = 0;
    {
        QMutexLocker locker(&m_record->lock);
        if (m_record->idleSeconds < kIdleLimit)
            ++m_record->idleSeconds;
        demand = m_record->demand;
    }
    if (demand > 0) {
        registerStream();
        join();
        QMutexLocker locker(&m_record->lock);
        --m_record->demand;
    } else if (m_joined) {
        KTRACE(lcVideo) << "leave" << m_stream.group << m_stream.port << "demand" << demand;
        m_socket->leaveMulticastGroup(QHostAddress(m_stream.group));
        m_joined = false;
        m_assembler.reset();
    }
}

void SnapshotReader::runRtsp()
{
    auto demand = [this] {
        QMutexLocker locker(&m_record->lock);
        return m_record->demand;
    };
    auto pause = [this](int ms) {
        for (int waited = 0; waited < ms && m_running; waited += 10)
            QThread::msleep(10);
    };
    while (m_running) {
        if (demand() != kWanted) {
            pause(10);
            continue;
        }
        const RtspPassResult result = runRtspPass(
            m_stream.rtspUrl, [&] { return m_running && demand() >= kRtspDemandFloor; },
            [this](const QImage &picture) {
                QMutexLocker locker(&m_record->lock);
                m_record->idleSeconds = 0;
                --m_record->demand;
                m_record->picture = picture;
                ++m_record->serial;
                ++m_pictures;
            },
            m_fitTo);
        {
            QMutexLocker locker(&m_record->lock);
            m_record->idleSeconds = kIdleLimit;
        }
        switch (result) {
        case RtspPassResult::Stopped:
        case RtspPassResult::ReadFailed:
        case RtspPassResult::UnsupportedCodec: break; // asked again as soon as it is wanted
        default:
            KWARN(lcVideo) << "Failed to open RTSP stream, retrying in 5 seconds..." << m_stream.rtspUrl;
            pause(5000);
        }
    }
    KTRACE(lcVideo) << "Exiting RTSP thread..." << m_stream.rtspUrl;
}

void SnapshotReader::logOnce(const QString &kind, const QString &line)
{
    int skipped = 0;
    if (m_throttle.allow(kind, &skipped))
        KWARN(lcVideo) << line << LogThrottle::heldBack(skipped).constData();
}

} // namespace kora::video
