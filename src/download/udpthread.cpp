#include "download/udpthread.h"

#include "download/fragments.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QMap>
#include <QMutexLocker>
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
    bool askedEarly = false; // the gaps of this file were asked for when its burst ended
    // How long a pause means the burst is over: 20 times the usual spacing of its fragments
    // once that is known, between kQuietMinMs and the full silence.
    QElapsedTimer sinceStored;
    double meanSpacingUs = 0;
    int spacings = 0;
    auto quietMs = [&] {
        if (spacings < kSpacingSamples)
            return kSilenceMs;
        return qBound(kQuietMinMs, int(20 * meanSpacingUs / 1000) + 1, kSilenceMs);
    };
    int generation = m_generation.load();
    auto forgetStaleFile = [&] {
        const int now = m_generation.load();
        if (now != generation) {
            generation = now;
            fragments.clear();
            lastPercent = -1;
            askedEarly = false;
            spacings = 0;
            sinceStored.invalidate();
        }
    };
    QTimer silence;
    silence.setSingleShot(true);
    silence.setTimerType(Qt::PreciseTimer);

    auto reportDropped = [&] {
        for (auto it = dropped.cbegin(); it != dropped.cend(); ++it)
            KWARN(lcDownload) << "dropped" << it.value() << "datagrams:" << it.key();
        dropped.clear();
    };
    auto handOver = [&] {
        reportDropped();
        KTRACE(lcDownload) << "file complete:" << fragments.total() << "fragments";
        QByteArray file = fragments.take();
        askedEarly = false;
        spacings = 0;
        sinceStored.invalidate();
        // Hashed here, so the window stays responsive while 50 MB are checked.
        const QByteArray md5 = QCryptographicHash::hash(file, QCryptographicHash::Md5).toHex();
        lastPercent = -1;
        emit recvData(std::move(file), true, md5);
    };
    // One buffer for every read: no allocation per datagram at line rate.
    QByteArray buffer(65536, Qt::Uninitialized);

    connect(&socket, &QUdpSocket::readyRead, &socket, [&] {
        forgetStaleFile();
        const QHostAddress host = expected();
        while (socket.hasPendingDatagrams()) {
            QHostAddress sender;
            const qint64 size = socket.readDatagram(buffer.data(), buffer.size(), &sender);
            if (size < 0)
                break;
            ++m_datagrams;
            if (host.isNull() || QHostAddress(sender.toIPv4Address()) != host) {
                ++m_dropped;
                ++dropped[QStringLiteral("not from the host")];
                continue;
            }
            const FragmentAssembler::Result result = fragments.add(buffer.constData(), int(size));
            if (result != FragmentAssembler::Result::Stored) {
                silence.start(quietMs());
                ++m_dropped;
                ++dropped[FragmentAssembler::describe(result)];
                continue;
            }
            if (sinceStored.isValid()) {
                const double us = sinceStored.nsecsElapsed() / 1000.0;
                meanSpacingUs = spacings == 0 ? us : 0.9 * meanSpacingUs + 0.1 * us;
                ++spacings;
            }
            sinceStored.restart();
            silence.start(quietMs());
            const int percent = int(fragments.progress() * 100);
            if (percent != lastPercent || fragments.isComplete()) { // one step per percent, not per datagram
                lastPercent = percent;
                emit recvStep(fragments.progress());
            }
        }
        if (fragments.isComplete()) {
            // An in-order burst has nothing more to come; after reordering or duplicates a
            // straggler may still be on the way, and it must not count for the next file.
            if (fragments.arrivedInOrder()) {
                silence.stop();
                handOver();
            } else {
                silence.start(kSettleMs);
            }
        } else if (fragments.burstEnded() && !askedEarly) {
            // The burst visibly ended with gaps: they were lost, so they are asked for now
            // rather than after the silence. Later rounds wait for the silence.
            askedEarly = true;
            silence.start(kSettleMs);
        }
    });
    connect(&silence, &QTimer::timeout, &socket, [&] {
        reportDropped();
        lastPercent = -1;
        forgetStaleFile();
        if (fragments.total() == 0)
            return;
        KTRACE(lcDownload) << "silence: held" << fragments.held() << "of" << fragments.total();
        if (fragments.isComplete())
            handOver();
        else
            emit recvData(fragments.missingList(), false, QByteArray());
    });

    exec();

    socket.abort();
    socket.close();
}
