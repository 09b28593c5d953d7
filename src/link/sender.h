#pragma once
// Where datagrams go out. The senders of each concern compose bytes and destinations and
// hand them to a Sender; the client's is backed by its sockets, a test's records them.
#include "link/routes.h"

#include <QByteArray>
#include <QString>

namespace kora::link {

// The sockets a datagram may leave from: a peer answers to the port it came from.
enum class Socket { Commands, Host, Events, Scan };

class Sender
{
public:
    virtual ~Sender() = default;

    // One datagram; an address that is none is refused with a log line.
    virtual void sendUdp(const QByteArray &data, const QString &address, quint16 port) = 0;
    // One command over the command connection to address:port.
    virtual void sendTcp(const QByteArray &data, const QString &address, quint16 port) = 0;

    // One datagram to each destination of a route, in order; an empty route is traced.
    void sendTo(const Destinations &destinations, const QByteArray &data);
    // The same from another socket: the host service's and the event group's peers answer
    // to theirs.
    virtual void sendVia(Socket socket, const Destinations &destinations, const QByteArray &data) = 0;
};

} // namespace kora::link
