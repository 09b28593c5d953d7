#include "labconfig.h"

#include "media/codec.h"

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

bool LabConfig::isStreamingEncoder(int host) const
{
    return host >= firstEncoder && host < firstEncoder + encoderCount && host != camera;
}

QList<int> LabConfig::allHosts() const
{
    QList<int> hosts{hostNode, spareNode, hostService, discovery, equipment, eventSource};
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
bool readInt(const QJsonValue &value, int &out, int lowest, int highest)
{
    if (!value.isDouble() || value.toDouble() != double(value.toInt()))
        return false;
    out = value.toInt();
    return out >= lowest && out <= highest;
}
// "1920x1080": even sides from 16 to 4096, as the encoders take them.
bool readSize(const QJsonValue &value, QSize &size)
{
    const QStringList parts = value.toString().split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 || h % 2)
        return false;
    size = QSize(w, h);
    return true;
}
// {"31": "h265"}: hosts to codec names.
bool readCodecs(const QJsonValue &value, QHash<int, QString> &codecs)
{
    if (!value.isObject())
        return false;
    codecs.clear();
    const QJsonObject o = value.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool ok = false;
        const int host = it.key().toInt(&ok);
        Codec codec;
        if (!ok || host < 1 || host > 254 || !parseCodec(it.value().toString(), &codec))
            return false;
        codecs.insert(host, it.value().toString());
    }
    return true;
}
// [{"group": "239.10.9.1", "port": 31000, "slots": [30, 31, "", ...]}], at most 9 slots.
bool readMosaics(const QJsonValue &value, QList<LabConfig::Mosaic> &mosaics)
{
    if (!value.isArray())
        return false;
    mosaics.clear();
    for (const QJsonValue &m : value.toArray()) {
        const QJsonObject o = m.toObject();
        LabConfig::Mosaic mosaic;
        mosaic.group = QHostAddress(o.value(QStringLiteral("group")).toString());
        int port = 0;
        if (!mosaic.group.isMulticast() || !readInt(o.value(QStringLiteral("port")), port, 1, 65535)
            || o.size() != 3 || !o.value(QStringLiteral("slots")).isArray())
            return false;
        mosaic.port = quint16(port);
        const QJsonArray cells = o.value(QStringLiteral("slots")).toArray();
        if (cells.size() > 9)
            return false;
        for (const QJsonValue &cell : cells) {
            int host = 0;
            if (cell.isNull() || (cell.isString() && cell.toString().isEmpty()))
                host = 0;
            else if (!readHost(cell, host))
                return false;
            mosaic.cells.append(host);
        }
        while (mosaic.cells.size() < 9)
            mosaic.cells.append(0);
        mosaics.append(mosaic);
    }
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
        else if (key == QLatin1String("eventSource")) ok = readHost(v, c.eventSource);
        else if (key == QLatin1String("equipmentUdpPorts")) ok = readPorts(v, c.equipmentUdpPorts);
        else if (key == QLatin1String("equipmentTcpPorts")) ok = readPorts(v, c.equipmentTcpPorts);
        else if (key == QLatin1String("firstEncoder")) ok = readHost(v, c.firstEncoder);
        else if (key == QLatin1String("encoderCount")) { c.encoderCount = v.toInt(-1); ok = c.encoderCount >= 0 && c.encoderCount <= 200; }
        else if (key == QLatin1String("fragmentSize")) { c.fragmentSize = v.toInt(-1); ok = c.fragmentSize >= 1 && c.fragmentSize <= 65000; }
        else if (key == QLatin1String("fragmentGapUs")) { c.fragmentGapUs = v.toInt(-1); ok = c.fragmentGapUs >= 0 && c.fragmentGapUs <= 1000000; }
        else if (key == QLatin1String("mainCodecs")) ok = readCodecs(v, c.mainCodecs);
        else if (key == QLatin1String("subCodecs")) ok = readCodecs(v, c.subCodecs);
        else if (key == QLatin1String("mainSize")) ok = readSize(v, c.mainSize);
        else if (key == QLatin1String("subSize")) ok = readSize(v, c.subSize);
        else if (key == QLatin1String("snapshotSize")) ok = readSize(v, c.snapshotSize);
        else if (key == QLatin1String("mosaicSize")) ok = readSize(v, c.mosaicSize);
        else if (key == QLatin1String("cameraMainSize")) ok = readSize(v, c.cameraMainSize);
        else if (key == QLatin1String("mainFps")) ok = readInt(v, c.mainFps, 1, 120);
        else if (key == QLatin1String("subFps")) ok = readInt(v, c.subFps, 1, 120);
        else if (key == QLatin1String("snapshotFps")) ok = readInt(v, c.snapshotFps, 1, 30);
        else if (key == QLatin1String("loopSeconds")) ok = readInt(v, c.loopSeconds, 1, 10);
        else if (key == QLatin1String("previewHoldMs")) ok = readInt(v, c.previewHoldMs, 100, 600000);
        else if (key == QLatin1String("snapshotHoldMs")) ok = readInt(v, c.snapshotHoldMs, 100, 600000);
        else if (key == QLatin1String("streamPayload")) ok = readInt(v, c.streamPayload, 1, 65000);
        else if (key == QLatin1String("mediaCacheMB")) ok = readInt(v, c.mediaCacheMB, 16, 4096);
        else if (key == QLatin1String("journalFrames")) { c.journalFrames = v.toBool(); ok = v.isBool(); }
        else if (key == QLatin1String("mosaics")) ok = readMosaics(v, c.mosaics);
        else if (key == QLatin1String("camera")) { ok = readInt(v, c.camera, 0, 254); }
        else if (key == QLatin1String("rtspPort")) ok = readInt(v, c.rtspPort, 1, 65535);
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
