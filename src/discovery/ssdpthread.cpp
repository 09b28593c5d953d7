#include "discovery/ssdpthread.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace kora::discovery {

QByteArray composeSearch(const QString &serviceType)
{
    QJsonObject search;
    search.insert(QStringLiteral("type"), QStringLiteral("search"));
    search.insert(QStringLiteral("st"), serviceType);
    search.insert(QStringLiteral("mx"), 1);
    return QJsonDocument(search).toJson(QJsonDocument::Compact);
}

} // namespace kora::discovery

using namespace kora;

SsdpThread::SsdpThread(const QString &localIp, QObject *parent)
    : QObject(parent)
    , m_localIp(localIp)
{
}

SsdpThread::~SsdpThread() = default;

void SsdpThread::start()
{
    m_recvSocket = new QUdpSocket(this);
    const bool recvBound = m_recvSocket->bind(QHostAddress::AnyIPv4, discovery::kPort,
                                              QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(m_recvSocket, &QUdpSocket::readyRead, this, &SsdpThread::recvFromRecvSocket);

    m_sendSocket = new QUdpSocket(this);
    const QHostAddress local = m_localIp.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                   : QHostAddress(m_localIp);
    const bool sendBound = m_sendSocket->bind(local, 0);
    const bool joined = m_sendSocket->joinMulticastGroup(QHostAddress(QLatin1String(discovery::kGroup)));
    connect(m_sendSocket, &QUdpSocket::readyRead, this, &SsdpThread::recvFromSendSocket);
    KTRACE(lcDiscovery) << "ssdp bind" << recvBound << sendBound << "join" << joined;
}

void SsdpThread::search(const QString &serviceType)
{
    if (!m_sendSocket)
        return;
    const QByteArray data = discovery::composeSearch(serviceType);
    KTRACE(lcDiscovery) << "search" << data;
    m_sendSocket->writeDatagram(data, QHostAddress(QLatin1String(discovery::kGroup)), discovery::kPort);
}

void SsdpThread::recvFromRecvSocket()
{
    while (m_recvSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_recvSocket->receiveDatagram();
        const QJsonObject obj = QJsonDocument::fromJson(datagram.data()).object();
        const QString type = obj.value(QStringLiteral("type")).toString();
        const bool wanted = type == QLatin1String("notify")
                            || (type == QLatin1String("search")
                                && obj.value(QStringLiteral("st")).toString() == QLatin1String(discovery::kServiceType));
        if (wanted)
            emit recvData(obj, datagram.senderAddress().toString(), quint16(datagram.senderPort()));
    }
}

void SsdpThread::recvFromSendSocket()
{
    while (m_sendSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_sendSocket->receiveDatagram();
        const QJsonObject obj = QJsonDocument::fromJson(datagram.data()).object();
        if (obj.value(QStringLiteral("type")).toString() == QLatin1String("rsearch"))
            emit recvDataFromSearch(obj, datagram.senderAddress().toString());
    }
}
