// Sockets, their binding to the local address, and the send primitives.
#include "controller/imserverapi.h"

#include "discovery/ssdpthread.h"
#include "link/messages.h"
#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QNetworkInterface>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

using namespace kora;

void ImServerApi::InitSocket()
{
    const QHostAddress local(m_settings.localIp);
    const QHostAddress wallGroup{QLatin1String(link::kWallGroup)};
    const auto mode = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;

    m_sendSocket->abort();
    const bool sendBound = m_sendSocket->bind(local, link::kCommandPort, mode);
    KTRACE(lcLink) << "sendSocket bind:" << sendBound << m_sendSocket->errorString();
    const bool sendJoined = m_sendSocket->joinMulticastGroup(wallGroup);
    m_sendSocket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    m_sendSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4000000);
    KTRACE(lcLink) << "sendSocket joinMulticastGroup:" << sendJoined << m_sendSocket->multicastInterface().name();

    m_scanSocket->abort();
    m_scanSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 400000);
    const bool scanBound = m_scanSocket->bind(local, 0);
    KTRACE(lcLink) << "scanSocket bind:" << scanBound << m_scanSocket->localAddress().toString() << m_scanSocket->localPort();
    const bool scanJoined = m_scanSocket->joinMulticastGroup(wallGroup);
    m_scanSocket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    KTRACE(lcLink) << "scanSocket joinMulticastGroup:" << scanJoined;

    m_hostSendSocket->abort();
    KTRACE(lcLink) << "hostSendSocket bind" << m_hostSendSocket->bind(local, 0);

    m_udpSocketFor41237->abort();
    KTRACE(lcLink) << "udpSocketFor41237 bind" << m_udpSocketFor41237->bind(local, link::kEventPort, mode);
    KTRACE(lcLink) << "udpSocketFor41237 joinMulticastGroup"
                   << m_udpSocketFor41237->joinMulticastGroup(QHostAddress(QLatin1String(link::kEventGroup)));

    sendNotify(true);
    // Devices see the announcement before the scan, as they expect; a single-shot timer
    // keeps that order without blocking the window for the 15 ms.
    // A later login's scan replaces this one's.
    QTimer::singleShot(15, Qt::PreciseTimer, this, [this, login = m_loginCount] {
        if (login != m_loginCount)
            return;
        ServerScanNode();
        const QByteArray getDev = link::requestEnvelope(QStringLiteral("GetDev"));
        KTRACE(lcLink) << "GetDev" << getDev;
        for (const link::Destination &d : link::hostRequest())
            m_hostSendSocket->writeDatagram(getDev, d.address, d.port);
    });
}

void ImServerApi::sendUdpData(const QByteArray &data, const QString &address, quint16 port)
{
    KTRACE(lcLink) << "sendUdpData" << address << port << data;
    const QHostAddress to(link::deviceAddress(address));
    if (to.isNull()) {
        KWARN(lcLink) << "not an address:" << address;
        return;
    }
    m_sendSocket->writeDatagram(data, to, port);
}

void ImServerApi::sendTo(const QList<link::Destination> &destinations, const QByteArray &data)
{
    link::Sender::sendTo(destinations, data);
}

void ImServerApi::sendUdp(const QByteArray &data, const QString &address, quint16 port)
{
    sendUdpData(data, address, port);
}

void ImServerApi::sendTcp(const QByteArray &data, const QString &address, quint16 port)
{
    sendTcpData(data, address, port);
}

void ImServerApi::sendTcpData(const QByteArray &data, const QString &address, quint16 port)
{
    m_tcpQueue.append({data, link::deviceAddress(address), port});
    if (m_tcpQueue.size() > 64) { // a dead peer must not make the queue grow without end
        KWARN(lcLink) << "tcp queue full, dropping a command for" << m_tcpQueue.first().address;
        m_tcpQueue.removeFirst();
    }
    if (!m_tcpConnectTimer) {
        m_tcpConnectTimer = new QTimer(this);
        m_tcpConnectTimer->setSingleShot(true);
        connect(m_tcpConnectTimer, &QTimer::timeout, this, [this] {
            KWARN(lcLink) << "tcp connect timeout" << m_tcpSocket->peerName() << m_tcpSocket->peerPort();
            m_tcpSocket->abort();
            // The command waiting for this peer is dropped; the next one tries again.
            if (!m_tcpQueue.isEmpty())
                m_tcpQueue.removeFirst();
            pumpTcp();
        });
        connect(m_tcpSocket, &QTcpSocket::connected, this, [this] {
            m_tcpConnectTimer->stop();
            pumpTcp();
        });
    }
    pumpTcp();
}

void ImServerApi::pumpTcp()
{
    while (!m_tcpQueue.isEmpty()) {
        const PendingTcp &next = m_tcpQueue.first();
        const bool sameTarget = m_tcpSocket->peerName() == next.address && m_tcpSocket->peerPort() == next.port;
        const auto state = m_tcpSocket->state();
        if (state == QAbstractSocket::ConnectedState && sameTarget) {
            const qint64 written = m_tcpSocket->write(next.data);
            KTRACE(lcLink) << "tcp" << next.address << next.port << "written" << written << next.data;
            if (!m_tcpSocket->flush() && written < 0)
                KWARN(lcLink) << "Failed to flush data";
            m_tcpQueue.removeFirst();
            continue;
        }
        if (sameTarget && (state == QAbstractSocket::ConnectingState || state == QAbstractSocket::HostLookupState))
            return; // the connected signal or the timeout goes on
        m_tcpSocket->abort();
        m_tcpSocket->connectToHost(next.address, next.port);
        m_tcpConnectTimer->start(200);
        return;
    }
}

void ImServerApi::tcpSocketError()
{
    KTRACE(lcLink) << "socketDisconnet:" << m_tcpSocket->error() << m_tcpSocket->errorString();
}
