#pragma once
// A simulated device: given one datagram it received, it says what it sends back.
// Peers hold no sockets; the engine binds their addresses, journals every datagram in
// and out, applies delays and faults, and sends the answers from the peer's address.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace lab {

struct Datagram {
    QByteArray data;
    QHostAddress sender;
    quint16 senderPort = 0;
    QHostAddress destination; // the peer's own address, a multicast group or the broadcast address
    quint16 destinationPort = 0;
    qint64 receivedMs = 0; // steady clock, the same as takeEvents() is given
};

struct Outgoing {
    QByteArray data;
    QHostAddress to;
    quint16 port = 0;
    quint16 fromPort = 0; // 0: the port the request came in on
    int delayMs = 0;      // sent after this delay (replies keep their order per peer)
    bool bulk = false;    // download fragments: sent at full speed, never delayed or mangled
};

// Where a peer listens. Unicast endpoints are bound on the peer's address; a group
// endpoint receives datagrams sent to that multicast group (or 255.255.255.255).
struct Endpoint {
    QHostAddress address;
    quint16 port = 0;
};

class Peer
{
public:
    virtual ~Peer() = default;
    virtual QString name() const = 0;          // journal name, e.g. "decoder-1.2"
    virtual QHostAddress address() const = 0;  // replies leave from here
    virtual QList<quint16> udpPorts() const = 0;
    virtual QList<Endpoint> groups() const { return {}; }
    virtual QList<Outgoing> handle(const Datagram &in) = 0;
    virtual QList<Outgoing> announce() { return {}; } // sent once when the lab is up
    // What the peer noticed that no single datagram shows (a file received, or given up
    // on), journaled as its events. Asked after every datagram it handles and about once a
    // second, so it can notice silence; `nowMs` is a steady clock.
    virtual QStringList takeEvents(qint64 nowMs)
    {
        Q_UNUSED(nowMs)
        return {};
    }
};

} // namespace lab
