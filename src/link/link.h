#pragma once
// The client's sockets: where datagrams go out and where they come in.
//  - commands (41234): every command and the replies to them; it joins the wall group;
//  - scan (any port): the node scan to the wall group and its answers (Socket::Scan);
//  - host (any port): the host service's requests and its announcements;
//  - events (41237): alarm requests of the event group and the answers to them;
//  - one TCP connection for designed commands to equipment.
// Everything here belongs to the thread that created the object (the main thread).
#include "link/sender.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace kora::link {

// The address the client binds to: the last IPv4 address that is neither loopback
// ("127.0.") nor link-local ("169.254."); empty when there is none.
QString chooseLocalIp(const QList<QHostAddress> &addresses);
// The stored address while it is one of this machine's IPv4 addresses; else the chosen one.
QString keptLocalIp(const QString &saved, const QList<QHostAddress> &addresses);

struct Datagram {
    QByteArray data;
    QString sender; // IPv4 text
};

class Link : public QObject, public Sender
{
    Q_OBJECT
public:
    // Datagrams taken from one socket in one turn of the event loop; the rest
    // waits for the next turn, so a flood cannot starve the window.
    static constexpr int kMaxDatagramsPerRead = 256;
    // Designed commands waiting for their connection; a dead peer must not grow it further.
    static constexpr int kMaxTcpQueue = 64;
    static constexpr int kTcpConnectMs = 200;

    explicit Link(QObject *parent = nullptr);

    // Binds the command socket to any address and tells devices that a client came up
    // ("start" broadcast), before any login.
    void open();
    // Binds every socket to the local address and joins the groups, as a login begins.
    void bindTo(const QString &localIp);

    // From the command socket; an address that is none is refused with a log line.
    void sendUdp(const QByteArray &data, const QString &address, quint16 port) override;
    // Designed commands over TCP: one connection, reused while the target stays the same.
    // Never blocks the window: a peer that does not accept in time costs its command and a
    // log line, and the next command tries again. A peer that refused, did not accept in
    // time or closed the connection is down until a command is written to it again.
    void sendTcp(const QByteArray &data, const QString &address, quint16 port) override;
    void sendVia(Socket socket, const Destinations &destinations, const QByteArray &data) override;
    // The command socket's descriptor (-1 before it is bound), for a thread that only
    // writes from it; a new bind gives a new one.
    qintptr commandDescriptor() const;

signals:
    // At most kMaxDatagramsPerRead datagrams of the command socket, in arrival order.
    void commandsReceived(const QList<kora::link::Datagram> &batch);
    void scanReplyReceived(const QByteArray &data, const QString &sender);
    void hostMessageReceived(const QString &sender, const QByteArray &data);
    // One datagram of the event socket, with where it came from (the answer goes back there).
    void eventReceived(const QByteArray &data, const QHostAddress &sender, quint16 senderPort);
    // The TCP peers down now, "address:port", sorted; once per change.
    void tcpDownChanged(const QStringList &targets);

private:
    void readCommands();
    void pumpTcp();
    void tcpTargetIs(bool down, const char *why); // the peer connected to or tried
    static void writeEach(QUdpSocket *socket, const char *name, const Destinations &destinations, const QByteArray &data);

    QUdpSocket *m_commands = nullptr;
    QUdpSocket *m_scan = nullptr;
    QUdpSocket *m_host = nullptr;
    QUdpSocket *m_events = nullptr;
    QTcpSocket *m_tcp = nullptr;
    QTimer *m_tcpConnectTimer = nullptr;
    struct PendingTcp {
        QByteArray data;
        QString address;
        quint16 port = 0;
    };
    QList<PendingTcp> m_tcpQueue;
    QString m_tcpTarget;   // "address:port" of the last connection tried
    QSet<QString> m_tcpDown;
};

} // namespace kora::link
