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

QByteArray composeNotify(const QString &server, const QString &usn, bool alive)
{
    const QJsonObject o{{"type", "notify"}, {"nt", QLatin1String(kServiceType)},
                        {"nts", alive ? QStringLiteral("alive") : QStringLiteral("byebye")},
                        {"server", server}, {"usn", usn}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray composeAnswer(const QString &server, const QString &usn)
{
    const QJsonObject o{{"type", "rsearch"}, {"st", QLatin1String(kServiceType)}, {"server", server}, {"usn", usn}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

Message classify(const QByteArray &datagram, bool onSearchSocket)
{
    Message m;
    if (datagram.size() > 8192) // discovery messages are a few hundred bytes
        return m;
    const QJsonDocument doc = QJsonDocument::fromJson(datagram);
    if (!doc.isObject())
        return m;
    const QJsonObject o = doc.object();
    const QString type = o.value(QStringLiteral("type")).toString();
    if (onSearchSocket) {
        if (type == QLatin1String("rsearch"))
            m.kind = Kind::Answer;
    } else if (type == QLatin1String("notify")) {
        m.kind = Kind::Notify;
    } else if (type == QLatin1String("search") && o.value(QStringLiteral("st")).toString() == QLatin1String(kServiceType)) {
        m.kind = Kind::Search;
    }
    if (m.kind != Kind::Other)
        m.object = o;
    return m;
}

QString uuidFromUsn(const QString &usn)
{
    QString uuid;
    for (const QString &part : usn.split(QStringLiteral("::"))) {
        const int at = part.indexOf(QLatin1String("uuid:"));
        if (part.contains(QLatin1String("uuid")))
            uuid = at >= 0 ? part.mid(at + 5) : QString();
    }
    return uuid;
}

int answerDelayMs(quint32 random, int mx)
{
    if (mx <= 0)
        return 0;
    mx = qMin(mx, 120); // a hostile "mx" must not park an answer for days
    return int((quint64(random) * quint64(mx) * 1000u) >> 32);
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
    KINFO(lcDiscovery) << "ssdp bind" << recvBound << sendBound << "join" << joined;
}

void SsdpThread::search(const QString &serviceType)
{
    sendData(discovery::composeSearch(serviceType), QLatin1String(discovery::kGroup), discovery::kPort);
}

void SsdpThread::sendData(const QByteArray &data, const QString &ip, quint16 port)
{
    if (!m_sendSocket)
        return;
    KTRACE(lcDiscovery) << "send" << ip << port << data;
    m_sendSocket->writeDatagram(data, QHostAddress(ip), port);
}

void SsdpThread::recvFromRecvSocket()
{
    while (m_recvSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_recvSocket->receiveDatagram(65536);
        const discovery::Message m = discovery::classify(datagram.data(), false);
        const QString sender = QHostAddress(datagram.senderAddress().toIPv4Address()).toString();
        if (m.kind == discovery::Kind::Other)
            KTRACE(lcDiscovery) << "ignored" << datagram.data().size() << "bytes from" << sender;
        else
            emit recvData(m.object, sender, quint16(datagram.senderPort()));
    }
}

void SsdpThread::recvFromSendSocket()
{
    while (m_sendSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_sendSocket->receiveDatagram(65536);
        const discovery::Message m = discovery::classify(datagram.data(), true);
        const QString sender = QHostAddress(datagram.senderAddress().toIPv4Address()).toString();
        if (m.kind == discovery::Kind::Answer)
            emit recvDataFromSearch(m.object, sender);
        else
            KTRACE(lcDiscovery) << "ignored" << datagram.data().size() << "bytes from" << sender;
    }
}
