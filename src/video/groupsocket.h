#pragma once
// Binding a socket that receives one multicast group. Linux hands a group's datagrams to a
// socket bound to the group address and to the any-address alike, so a socket bound to the
// any-address on a port several groups share would get every group this host joined: bind to
// the group itself. Windows cannot bind to a group address; there a socket gets only the
// groups it joined, so the any-address does (not tested here: the project runs on Linux).
#include <QHostAddress>
#include <QNetworkInterface>
#include <QUdpSocket>

namespace kora::video {

inline bool bindToGroup(QUdpSocket &socket, const QHostAddress &group, quint16 port)
{
#ifdef Q_OS_WIN
    const QHostAddress address(QHostAddress::AnyIPv4);
#else
    const QHostAddress &address = group;
#endif
    return group.isMulticast() && socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

// A stream's socket: a multicast stream binds its group as above. A unicast stream is one
// pushed to us (the controller re-points a signal to the client's own address) or one an
// encoder sends to whoever registered: the first binds that address of ours, the second the
// port on every address.
inline bool bindStreamSocket(QUdpSocket &socket, const QHostAddress &address, quint16 port)
{
    if (address.isMulticast())
        return bindToGroup(socket, address, port);
    const bool ours = QNetworkInterface::allAddresses().contains(address);
    return socket.bind(ours ? address : QHostAddress(QHostAddress::AnyIPv4), port,
                       QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

} // namespace kora::video
