#include "download/udpthread.h"

#include "download/fragments.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QMap>
#include <QMutexLocker>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

using kora::download::FragmentAssembler;

UDPThread::UDPThread(QObject *parent)
    : QThread(parent)
{
}

UDPThread::~UDPThread()
{
    quit();
    wait();
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

void UDPThread::run()
{
    QUdpSocket socket;
    // A host sends a whole file as one burst; the kernel caps this at its own maximum.
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    const bool bound = socket.bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    m_bound = bound;
    KTRACE(lcDownload) << "receiver_udp->bind" << kPort << bound << socket.errorString() << "buffer"
                       << socket.socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();

    FragmentAssembler fragments;         // receiver thread only
    QMap<QString, int> dropped;           // why fragments were dropped since the last silence
    int lastPercent = -1;
    int generation = m_generation.load();
    auto forgetStaleFile = [&] {
        const int now = m_generation.load();
        if (now != generation) {
            generation = now;
            fragments.clear();
            lastPercent = -1;
        }
    };
    QTimer silence;
    silence.setSingleShot(true);
    silence.setTimerType(Qt::PreciseTimer);

    connect(&socket, &QUdpSocket::readyRead, &socket, [&] {
        forgetStaleFile();
        const QHostAddress host = expected();
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram(65536);
            ++m_datagrams;
            if (host.isNull() || QHostAddress(datagram.senderAddress().toIPv4Address()) != host) {
                ++m_dropped;
                ++dropped[QStringLiteral("not from the host")];
                continue;
            }
            // Silence ends a transfer: 500 ms while fragments are missing, a few ms once the
            // file is whole (only duplicates still in flight can follow then).
            silence.start(fragments.isComplete() ? kSettleMs : kSilenceMs);
            const FragmentAssembler::Result result = fragments.add(datagram.data());
            if (result != FragmentAssembler::Result::Stored) {
                ++m_dropped;
                ++dropped[FragmentAssembler::describe(result)];
                continue;
            }
            if (fragments.isComplete())
                silence.start(kSettleMs);
            const int percent = int(fragments.progress() * 100);
            if (percent != lastPercent || fragments.isComplete()) { // one step per percent, not per datagram
                lastPercent = percent;
                emit recvStep(fragments.progress());
            }
        }
    });
    connect(&silence, &QTimer::timeout, &socket, [&] {
        for (auto it = dropped.cbegin(); it != dropped.cend(); ++it)
            KWARN(lcDownload) << "dropped" << it.value() << "datagrams:" << it.key();
        dropped.clear();
        lastPercent = -1;
        forgetStaleFile();
        if (fragments.total() == 0)
            return;
        KTRACE(lcDownload) << "silence: held" << fragments.held() << "of" << fragments.total();
        if (fragments.isComplete())
            emit recvData(fragments.take(), true);
        else
            emit recvData(fragments.missingList(), false);
    });

    exec();

    socket.abort();
    socket.close();
}
