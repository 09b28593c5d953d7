#include "link/link.h"

#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace kora::link {

namespace {

// The interface that has `address`; invalid when none has it.
QNetworkInterface interfaceOf(const QHostAddress &address)
{
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry &e : i.addressEntries()) {
            if (e.ip() == address)
                return i;
        }
    }
    return {};
}

QString senderText(const QNetworkDatagram &datagram)
{
    return QHostAddress(datagram.senderAddress().toIPv4Address()).toString();
}

constexpr auto kShared = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;

// The datagrams waiting on `socket`, in arrival order, at most kMaxDatagramsPerRead in one
// turn of the event loop: the rest are read in the next one, so that a flood from anyone on
// the network cannot hold the window's thread. A read error leaves the rest for the next
// readyRead.
template<typename Take>
void readEach(QUdpSocket *socket, Take take)
{
    for (int n = 0; socket->hasPendingDatagrams(); ++n) {
        if (n == Link::kMaxDatagramsPerRead) {
            QTimer::singleShot(0, socket, [socket, take] { readEach(socket, take); });
            return;
        }
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        take(datagram);
    }
}

} // namespace

QString chooseLocalIp(const QList<QHostAddress> &addresses)
{
    QString chosen;
    for (const QHostAddress &address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const QString text = address.toString();
        if (!text.contains(QLatin1String("127.0.")) && !text.contains(QLatin1String("169.254.")))
            chosen = text;
    }
    return chosen;
}

QString keptLocalIp(const QString &saved, const QList<QHostAddress> &addresses)
{
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() == saved)
            return saved;
    }
    return chooseLocalIp(addresses);
}

Link::Link(QObject *parent)
    : QObject(parent)
    , m_commands(new QUdpSocket(this))
    , m_scan(new QUdpSocket(this))
    , m_host(new QUdpSocket(this))
    , m_events(new QUdpSocket(this))
    , m_tcp(new QTcpSocket(this))
    , m_tcpConnectTimer(new QTimer(this))
{
    connect(m_commands, &QUdpSocket::readyRead, this, &Link::readCommands);
    connect(m_scan, &QUdpSocket::readyRead, this, [this] {
        readEach(m_scan, [this](const QNetworkDatagram &d) { emit scanReplyReceived(d.data(), senderText(d)); });
    });
    connect(m_host, &QUdpSocket::readyRead, this, [this] {
        readEach(m_host, [this](const QNetworkDatagram &d) { emit hostMessageReceived(senderText(d), d.data()); });
    });
    connect(m_events, &QUdpSocket::readyRead, this, [this] {
        readEach(m_events, [this](const QNetworkDatagram &d) {
            emit eventReceived(d.data(), QHostAddress(d.senderAddress().toIPv4Address()), quint16(d.senderPort()));
        });
    });

    connect(m_tcp, &QTcpSocket::errorOccurred, this, [this] {
        KTRACE(lcLink) << "tcp:" << m_tcp->error() << m_tcp->errorString();
        // Refused, unreachable or closed by the peer; our own abort() raises none.
        tcpTargetIs(true, m_tcp->error() == QAbstractSocket::RemoteHostClosedError ? "closed by the peer" : "cannot connect");
    });
    m_tcpConnectTimer->setSingleShot(true);
    connect(m_tcpConnectTimer, &QTimer::timeout, this, [this] {
        KWARN(lcLink) << "tcp connect timeout" << m_tcp->peerName() << m_tcp->peerPort();
        m_tcp->abort();
        tcpTargetIs(true, "no answer");
        // The command waiting for this peer is dropped; the next one tries again.
        if (!m_tcpQueue.isEmpty())
            m_tcpQueue.removeFirst();
        pumpTcp();
    });
    connect(m_tcp, &QTcpSocket::connected, this, [this] {
        m_tcpConnectTimer->stop();
        pumpTcp();
    });
}

void Link::open()
{
    const bool bound = m_commands->bind(QHostAddress::AnyIPv4, kCommandPort, kShared);
    KINFO(lcLink) << "command socket bind:" << bound;
    m_scan->writeDatagram(QByteArrayLiteral("start"), QHostAddress::Broadcast, kCommandPort);
}

void Link::bindTo(const QString &localIp)
{
    const QHostAddress local(localIp);
    const QHostAddress wallGroup{QLatin1String(kWallGroup)};

    m_commands->abort();
    const bool commandsBound = m_commands->bind(local, kCommandPort, kShared);
    KINFO(lcLink) << "command socket bind:" << commandsBound << m_commands->errorString();
    const bool commandsJoined = m_commands->joinMulticastGroup(wallGroup);
    m_commands->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    m_commands->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4000000);
    KINFO(lcLink) << "command socket joins the wall group:" << commandsJoined << m_commands->multicastInterface().name();

    m_scan->abort();
    m_scan->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 400000);
    const bool scanBound = m_scan->bind(local, 0);
    KINFO(lcLink) << "scan socket bind:" << scanBound << m_scan->localAddress().toString() << m_scan->localPort();
    const bool scanJoined = m_scan->joinMulticastGroup(wallGroup);
    m_scan->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    KINFO(lcLink) << "scan socket joins the wall group:" << scanJoined;

    m_host->abort();
    KINFO(lcLink) << "host socket bind" << m_host->bind(local, 0);

    // Alarms arrive on the event group. Linux gives a socket bound to a unicast address no
    // group datagrams, so this one takes the any-address (41237 carries no other group) and
    // joins and sends on the interface of the local address.
    m_events->abort();
    KINFO(lcLink) << "event socket bind" << m_events->bind(QHostAddress::AnyIPv4, kEventPort, kShared);
    const QHostAddress eventGroup{QLatin1String(kEventGroup)};
    const QNetworkInterface eventInterface = interfaceOf(local);
    const bool eventsJoined = eventInterface.isValid() ? m_events->joinMulticastGroup(eventGroup, eventInterface)
                                                       : m_events->joinMulticastGroup(eventGroup);
    if (eventInterface.isValid())
        m_events->setMulticastInterface(eventInterface);
    // Our own answer to the group would read as another client's and close our alarms.
    m_events->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    KINFO(lcLink) << "event socket joins the event group" << eventsJoined << eventInterface.name();
}

void Link::readCommands()
{
    QList<Datagram> batch;
    while (m_commands->hasPendingDatagrams()) {
        if (batch.size() == kMaxDatagramsPerRead) {
            QTimer::singleShot(0, this, &Link::readCommands);
            break;
        }
        const QNetworkDatagram datagram = m_commands->receiveDatagram();
        if (!datagram.isValid())
            break; // a read error; what is left comes with the next readyRead
        batch.append({datagram.data(), senderText(datagram)});
    }
    if (!batch.isEmpty())
        emit commandsReceived(batch);
}

void Link::sendUdp(const QByteArray &data, const QString &address, quint16 port)
{
    KTRACE(lcLink) << "send" << address << port << data;
    const QHostAddress to(deviceAddress(address));
    if (to.isNull()) {
        KWARN(lcLink) << "not an address:" << address;
        return;
    }
    m_commands->writeDatagram(data, to, port);
}

qintptr Link::commandDescriptor() const
{
    return m_commands->socketDescriptor();
}

void Link::sendVia(Socket socket, const Destinations &destinations, const QByteArray &data)
{
    switch (socket) {
    case Socket::Commands: sendTo(destinations, data); return;
    case Socket::Host: writeEach(m_host, "host socket", destinations, data); return;
    case Socket::Events: writeEach(m_events, "event socket", destinations, data); return;
    // Its port is where the scan's answers come back to.
    case Socket::Scan: writeEach(m_scan, "scan socket", destinations, data); return;
    }
}

void Link::writeEach(QUdpSocket *socket, const char *name, const Destinations &destinations, const QByteArray &data)
{
    for (const Destination &d : destinations) {
        const qint64 written = socket->writeDatagram(data, d.address, d.port);
        KTRACE(lcLink) << name << d.address.toString() << d.port << data << "written" << written;
    }
}

void Link::sendTcp(const QByteArray &data, const QString &address, quint16 port)
{
    m_tcpQueue.append({data, deviceAddress(address), port});
    if (m_tcpQueue.size() > kMaxTcpQueue) {
        KWARN(lcLink) << "tcp queue full, dropping a command for" << m_tcpQueue.first().address;
        m_tcpQueue.removeFirst();
    }
    pumpTcp();
}

void Link::pumpTcp()
{
    while (!m_tcpQueue.isEmpty()) {
        const PendingTcp &next = m_tcpQueue.first();
        const bool sameTarget = m_tcp->peerName() == next.address && m_tcp->peerPort() == next.port;
        const auto state = m_tcp->state();
        if (state == QAbstractSocket::ConnectedState && sameTarget) {
            const qint64 written = m_tcp->write(next.data);
            KTRACE(lcLink) << "tcp" << next.address << next.port << "written" << written << next.data;
            if (!m_tcp->flush() && written < 0)
                KWARN(lcLink) << "tcp: cannot write to" << next.address << m_tcp->errorString();
            else
                tcpTargetIs(false, "written");
            m_tcpQueue.removeFirst();
            continue;
        }
        if (sameTarget && (state == QAbstractSocket::ConnectingState || state == QAbstractSocket::HostLookupState))
            return; // the connected signal or the timeout goes on
        m_tcp->abort();
        m_tcpTarget = next.address + QLatin1Char(':') + QString::number(next.port);
        m_tcp->connectToHost(next.address, next.port);
        m_tcpConnectTimer->start(kTcpConnectMs);
        return;
    }
}

void Link::tcpTargetIs(bool down, const char *why)
{
    if (m_tcpTarget.isEmpty() || m_tcpDown.contains(m_tcpTarget) == down)
        return;
    if (down) {
        m_tcpDown.insert(m_tcpTarget);
        KWARN(lcLink) << "tcp" << m_tcpTarget << "down:" << why;
    } else {
        m_tcpDown.remove(m_tcpTarget);
        KINFO(lcLink) << "tcp" << m_tcpTarget << "up again";
    }
    QStringList targets(m_tcpDown.begin(), m_tcpDown.end());
    targets.sort();
    emit tcpDownChanged(targets);
}

} // namespace kora::link
