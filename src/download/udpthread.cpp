#include "download/udpthread.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

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

void UDPThread::run()
{
    QUdpSocket socket;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 100000);
    const bool bound = socket.bind(QHostAddress::AnyIPv4, kPort,
                                   QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    m_bound = bound;
    KTRACE(lcDownload) << "receiver_udp->bind" << kPort << bound << socket.errorString();

    // Fragments are assembled by the download; until a download is asked for, every
    // datagram is drained and counted so the socket buffer never fills.
    connect(&socket, &QUdpSocket::readyRead, &socket, [this, &socket] {
        while (socket.hasPendingDatagrams()) {
            socket.receiveDatagram();
            ++m_datagrams;
        }
    });
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(500);

    exec();

    socket.abort();
    socket.close();
}
