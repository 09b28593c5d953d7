#include "labconfig.h"

#include <QJsonArray>
#include <QNetworkInterface>

namespace lab {

QHostAddress LabConfig::address(int host) const
{
    return QHostAddress(net + QLatin1Char('.') + QString::number(host));
}

QList<WallConfig> LabConfig::wallConfigs() const
{
    QList<WallConfig> out;
    for (const Wall &wall : walls) {
        WallConfig config;
        config.id = wall.id;
        for (int host : wall.nodes)
            config.nodes.append(address(host));
        out.append(config);
    }
    return out;
}

QList<int> LabConfig::allHosts() const
{
    QList<int> hosts{hostNode, spareNode, hostService, discovery, equipment};
    if (controllerEnabled)
        hosts.append(controller);
    for (const Wall &wall : walls)
        hosts.append(wall.nodes);
    for (int i = 0; i < encoderCount; ++i)
        hosts.append(firstEncoder + i);
    return hosts;
}

namespace {
bool readPorts(const QJsonValue &value, QList<quint16> &ports)
{
    if (!value.isArray())
        return false;
    ports.clear();
    for (const QJsonValue &v : value.toArray()) {
        const int port = v.toInt(-1);
        if (port <= 0 || port > 65535)
            return false;
        ports.append(quint16(port));
    }
    return true;
}
bool readHost(const QJsonValue &value, int &host)
{
    const int h = value.toInt(-1);
    if (h < 1 || h > 254)
        return false;
    host = h;
    return true;
}
} // namespace

bool LabConfig::fromJson(const QJsonObject &json, LabConfig &c, QString *error)
{
    for (auto it = json.begin(); it != json.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        bool ok = true;
        if (key == QLatin1String("net")) { c.net = v.toString(); ok = v.isString(); }
        else if (key == QLatin1String("projectDir")) { c.projectDir = v.toString(); ok = v.isString(); }
        else if (key == QLatin1String("projectName")) { c.projectName = v.toString(); ok = v.isString() && !c.projectName.isEmpty(); }
        else if (key == QLatin1String("hostTag")) { c.hostTag = v.toString(); ok = v.isString() && !c.hostTag.isEmpty(); }
        else if (key == QLatin1String("hostNode")) ok = readHost(v, c.hostNode);
        else if (key == QLatin1String("spareNode")) ok = readHost(v, c.spareNode);
        else if (key == QLatin1String("controllerEnabled")) { c.controllerEnabled = v.toBool(); ok = v.isBool(); }
        else if (key == QLatin1String("controller")) ok = readHost(v, c.controller);
        else if (key == QLatin1String("hostService")) ok = readHost(v, c.hostService);
        else if (key == QLatin1String("discovery")) ok = readHost(v, c.discovery);
        else if (key == QLatin1String("equipment")) ok = readHost(v, c.equipment);
        else if (key == QLatin1String("equipmentUdpPorts")) ok = readPorts(v, c.equipmentUdpPorts);
        else if (key == QLatin1String("equipmentTcpPorts")) ok = readPorts(v, c.equipmentTcpPorts);
        else if (key == QLatin1String("firstEncoder")) ok = readHost(v, c.firstEncoder);
        else if (key == QLatin1String("encoderCount")) { c.encoderCount = v.toInt(-1); ok = c.encoderCount >= 0 && c.encoderCount <= 200; }
        else if (key == QLatin1String("fragmentSize")) { c.fragmentSize = v.toInt(-1); ok = c.fragmentSize >= 1 && c.fragmentSize <= 65000; }
        else if (key == QLatin1String("fragmentGapUs")) { c.fragmentGapUs = v.toInt(-1); ok = c.fragmentGapUs >= 0 && c.fragmentGapUs <= 1000000; }
        else if (key == QLatin1String("walls")) {
            ok = v.isArray();
            c.walls.clear();
            for (const QJsonValue &w : v.toArray()) {
                Wall wall;
                wall.id = w.toObject().value(QStringLiteral("id")).toString();
                for (const QJsonValue &n : w.toObject().value(QStringLiteral("nodes")).toArray()) {
                    int host = 0;
                    ok = ok && readHost(n, host);
                    wall.nodes.append(host);
                }
                ok = ok && !wall.id.isEmpty() && !wall.nodes.isEmpty();
                c.walls.append(wall);
            }
        } else {
            if (error)
                *error = QStringLiteral("unknown key \"%1\"").arg(key);
            return false;
        }
        if (!ok) {
            if (error)
                *error = QStringLiteral("bad value for \"%1\"").arg(key);
            return false;
        }
    }
    if (c.firstEncoder + c.encoderCount > 255) {
        if (error)
            *error = QStringLiteral("encoders do not fit in the subnet");
        return false;
    }
    return true;
}

QString detectNet()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address.isLoopback())
            continue;
        const QStringList octets = address.toString().split(QLatin1Char('.'));
        if (octets.size() == 4)
            return octets.mid(0, 3).join(QLatin1Char('.'));
    }
    return QString();
}

} // namespace lab
