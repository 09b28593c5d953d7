#include "download/udpthread.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QCryptographicHash>
#include <QMutexLocker>
#include <QTimer>
#include <QUdpSocket>

using kora::download::FragmentAssembler;

UDPThread::UDPThread(QObject *parent)
    : QObject(parent)
{
}

UDPThread::~UDPThread()
{
    KTRACE(lcDownload) << "udpthread closed";
}

void UDPThread::expectFrom(const QHostAddress &host, bool newFile)
{
    QMutexLocker lock(&m_expectedMutex);
    m_expected = host;
    if (newFile)
        ++m_generation;
}

QHostAddress UDPThread::expected() const
{
    QMutexLocker lock(&m_expectedMutex);
    return m_expected;
}

void UDPThread::start()
{
    m_socket = new QUdpSocket(this);
    // A host sends a whole file as one burst; the kernel caps this at its own maximum.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    const bool bound = m_socket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    m_bound = bound;
    KINFO(lcDownload) << "receiver_udp->bind" << kPort << bound << m_socket->errorString() << "buffer"
                       << m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    m_buffer = QByteArray(65536, Qt::Uninitialized);
    m_seenGeneration = m_generation.load();
    m_silence = new QTimer(this);
    m_silence->setSingleShot(true);
    m_silence->setTimerType(Qt::PreciseTimer);
    connect(m_socket, &QUdpSocket::readyRead, this, &UDPThread::read);
    connect(m_silence, &QTimer::timeout, this, &UDPThread::silenceEnded);
}

int UDPThread::quietMs() const
{
    if (m_spacings < kSpacingSamples)
        return kSilenceMs;
    return qBound(kQuietMinMs, int(20 * m_meanSpacingUs / 1000) + 1, kSilenceMs);
}

void UDPThread::forgetStaleFile()
{
    const int now = m_generation.load();
    if (now == m_seenGeneration)
        return;
    m_seenGeneration = now;
    m_fragments.clear();
    m_lastPercent = -1;
    m_askedEarly = false;
    m_spacings = 0;
    m_sinceStored.invalidate();
}

void UDPThread::reportDropped()
{
    for (auto it = m_droppedWhy.cbegin(); it != m_droppedWhy.cend(); ++it)
        KWARN(lcDownload) << "dropped" << it.value() << "datagrams:" << it.key();
    m_droppedWhy.clear();
}

void UDPThread::handOver()
{
    reportDropped();
    KTRACE(lcDownload) << "file complete:" << m_fragments.total() << "fragments";
    QByteArray file = m_fragments.take();
    m_askedEarly = false;
    m_spacings = 0;
    m_sinceStored.invalidate();
    m_lastPercent = -1;
    // Hashed here, so the window stays responsive while 50 MB are checked.
    const QByteArray md5 = QCryptographicHash::hash(file, QCryptographicHash::Md5).toHex();
    emit recvData(std::move(file), true, md5);
}

void UDPThread::read()
{
    forgetStaleFile();
    const QHostAddress host = expected();
    while (m_socket->hasPendingDatagrams()) {
        QHostAddress sender;
        const qint64 size = m_socket->readDatagram(m_buffer.data(), m_buffer.size(), &sender);
        if (size < 0)
            break;
        ++m_datagrams;
        if (host.isNull() || QHostAddress(sender.toIPv4Address()) != host) {
            ++m_dropped;
            ++m_droppedWhy[QStringLiteral("not from the host")];
            continue;
        }
        const FragmentAssembler::Result result = m_fragments.add(m_buffer.constData(), int(size));
        if (result != FragmentAssembler::Result::Stored) {
            m_silence->start(quietMs());
            ++m_dropped;
            ++m_droppedWhy[FragmentAssembler::describe(result)];
            continue;
        }
        if (m_sinceStored.isValid()) {
            const double us = m_sinceStored.nsecsElapsed() / 1000.0;
            m_meanSpacingUs = m_spacings == 0 ? us : 0.9 * m_meanSpacingUs + 0.1 * us;
            ++m_spacings;
        }
        m_sinceStored.restart();
        m_silence->start(quietMs());
        const int percent = int(m_fragments.progress() * 100);
        if (percent != m_lastPercent || m_fragments.isComplete()) { // one step per percent, not per datagram
            m_lastPercent = percent;
            emit recvStep(m_fragments.progress());
        }
    }
    if (m_fragments.isComplete()) {
        // An in-order burst has nothing more to come; after reordering or duplicates a
        // straggler may still be on the way, and it must not count for the next file.
        if (m_fragments.arrivedInOrder()) {
            m_silence->stop();
            handOver();
        } else {
            m_silence->start(kSettleMs);
        }
    } else if (m_fragments.burstEnded() && !m_askedEarly) {
        // The burst visibly ended with gaps: they were lost, so they are asked for now
        // rather than after the silence. Later rounds wait for the silence.
        m_askedEarly = true;
        m_silence->start(kSettleMs);
    }
}

void UDPThread::silenceEnded()
{
    reportDropped();
    m_lastPercent = -1;
    forgetStaleFile();
    if (m_fragments.total() == 0)
        return;
    KTRACE(lcDownload) << "silence: held" << m_fragments.held() << "of" << m_fragments.total();
    if (m_fragments.isComplete())
        handOver();
    else
        emit recvData(m_fragments.missingList(), false, QByteArray());
}
