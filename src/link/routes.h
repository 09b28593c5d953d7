#pragma once
// Where a message goes: the delivery routes as plain functions of the settings and the
// model, so that senders and tests agree on every destination without a socket.
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace kora::link {

struct Destination {
    QHostAddress address;
    quint16 port = 0;
    bool operator==(const Destination &o) const { return address == o.address && port == o.port; }
};
using Destinations = QList<Destination>;

// The controller at serverIp:41235; nothing without a controller.
Destinations serverRelay(const QString &serverIp);
// 224.168.1.1:41234.
Destinations wallMulticast();
// Each node of the wall at :41234, in list order.
Destinations wallUnicast(const QStringList &nodes);
// A wall command: the controller when one is configured, else the group (multicast on, or
// the all-walls id "100"), else every node of the wall.
Destinations wallRoute(const QString &serverIp, bool multicast, const QString &wallId, const QStringList &nodes);
// The host that serves the wall (hosts found by discovery pair an address with a wall id).
Destinations wallHost(const QList<QPair<QString, QString>> &hostsAndWalls, const QString &wallId);
// A window query: the controller when one is configured, else the group for the all-walls
// id "100", else the host that serves the wall.
Destinations queryRoute(const QString &serverIp, const QString &wallId, const QList<QPair<QString, QString>> &hostsAndWalls);
// A question about one wall's scenes: nothing when no host serves the wall, else the
// controller when one is configured, else that host.
Destinations outputRoute(const QString &serverIp, const QList<QPair<QString, QString>> &hostsAndWalls, const QString &wallId);
// The selected host at :41234; nothing while none is selected.
Destinations selectedHost(const QStringList &hosts, int index);
// The host service at :3210; the broadcast address when no host is named.
Destinations hostRequest(const QString &host = QString());
// A node envelope to :12345.
Destinations nodeControl(const QString &node);

} // namespace kora::link
