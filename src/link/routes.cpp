#include "link/routes.h"

#include "link/messages.h"

namespace kora::link {
namespace {
Destinations to(const QString &address, quint16 port)
{
    const QHostAddress a(deviceAddress(address));
    if (a.isNull() || a.protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    return {{a, port}};
}
} // namespace

Destinations serverRelay(const QString &serverIp)
{
    return serverIp.isEmpty() ? Destinations{} : to(serverIp, kControllerPort);
}

Destinations wallMulticast()
{
    return {{QHostAddress(QLatin1String(kWallGroup)), kCommandPort}};
}

Destinations wallUnicast(const QStringList &nodes)
{
    Destinations out;
    for (const QString &node : nodes)
        out += to(node, kCommandPort);
    return out;
}

Destinations wallRoute(const QString &serverIp, bool multicast, const QString &wallId, const QStringList &nodes)
{
    if (!serverIp.isEmpty())
        return serverRelay(serverIp);
    if (multicast || wallId == QLatin1String("100"))
        return wallMulticast();
    return wallUnicast(nodes);
}

Destinations wallHost(const QList<QPair<QString, QString>> &hostsAndWalls, const QString &wallId)
{
    for (const auto &entry : hostsAndWalls) {
        if (entry.second == wallId)
            return to(entry.first, kCommandPort);
    }
    return {};
}

Destinations queryRoute(const QString &serverIp, const QString &wallId, const QList<QPair<QString, QString>> &hostsAndWalls)
{
    if (!serverIp.isEmpty())
        return serverRelay(serverIp);
    if (wallId == QLatin1String("100"))
        return wallMulticast();
    return wallHost(hostsAndWalls, wallId);
}

Destinations outputRoute(const QString &serverIp, const QList<QPair<QString, QString>> &hostsAndWalls, const QString &wallId)
{
    const Destinations host = wallHost(hostsAndWalls, wallId);
    if (host.isEmpty())
        return {};
    return serverIp.isEmpty() ? host : serverRelay(serverIp);
}

Destinations selectedHost(const QStringList &hosts, int index)
{
    if (index < 0 || index >= hosts.size())
        return {};
    return to(hosts.at(index), kCommandPort);
}

Destinations hostRequest(const QString &host)
{
    if (host.isEmpty())
        return {{QHostAddress::Broadcast, kHostServicePort}};
    return to(host, kHostServicePort);
}

Destinations nodeControl(const QString &node)
{
    return to(node, kNodePort);
}

} // namespace kora::link
