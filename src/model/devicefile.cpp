#include "model/devicefile.h"

#include "cipher/storagecipher.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kora {

QString signalIdFromIp(const QString &ip)
{
    const QString base = ip.section(QLatin1Char('('), 0, 0);
    if (ip.contains(QLatin1String("(0)")))
        return base + QStringLiteral("-0");
    if (ip.contains(QLatin1String("(1)")))
        return base + QStringLiteral("-1");
    return ip;
}

QString encodeDevicePassword(const QString &password)
{
    return QString::fromLatin1(encipherForStorage(password.toLatin1()).toBase64());
}

namespace {
QString text(const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toString(); }

void readOutputs(const QJsonArray &list, DeviceModel &m)
{
    m.outputs.clear();
    QHash<QString, size_t> byAddress;
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        const QString address = text(o, "IP").section(QLatin1Char('('), 0, 0);
        const QString wall = text(o, "Panel");
        const auto found = byAddress.constFind(address);
        if (found != byAddress.constEnd()) {
            if (m.outputs[*found].wallId == QLatin1String("-1"))
                m.outputs[*found].wallId = wall;
            continue;
        }
        byAddress.insert(address, m.outputs.size());
        m.outputs.push_back({address, wall});
    }
}

void readSignals(const QJsonArray &list, DeviceModel &m)
{
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        SignalRecord s;
        const QString ip = text(o, "IP");
        s.name = text(o, "NodeName");
        s.ip = signalIdFromIp(ip);
        if (ip.contains(QLatin1String("(1)")))
            s.name = o.value(QStringLiteral("InNodeNames")).toObject().value(QStringLiteral("1")).toString();
        if (s.name.contains(QLatin1String("-IPC")))
            s.ip += QStringLiteral("-IPC");
        s.mainUrl = text(o, "MainUrl");
        s.subUrl = text(o, "Sub0Url");
        s.platform = text(o, "Platform");
        s.snapshotUrl = text(o, "JpegUrl");
        m.signalList.push_back(s);
    }
}

int findSignal(const DeviceModel &m, const QString &id, bool orIpc)
{
    for (size_t i = 0; i < m.signalList.size(); ++i) {
        const QString &have = m.signalList[i].ip;
        if (have == id || (orIpc && have == id + QStringLiteral("-IPC")))
            return int(i);
    }
    return -1;
}
} // namespace

bool parseDeviceFile(const QByteArray &data, DeviceModel &m, QString *error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.errorString();
        return false;
    }
    const QJsonObject root = doc.object();
    for (const QJsonValue &entry : root.value(QStringLiteral("device")).toArray()) {
        const QJsonObject e = entry.toObject();
        const QString kind = text(e, "device");
        if (kind == QLatin1String("output"))
            readOutputs(e.value(QStringLiteral("list")).toArray(), m);
        else if (kind == QLatin1String("signal"))
            readSignals(e.value(QStringLiteral("list")).toArray(), m);
    }
    for (const QJsonValue &entry : root.value(QStringLiteral("multi_signal")).toArray()) {
        const QJsonObject e = entry.toObject();
        MultiSignalRecord multi;
        multi.name = text(e, "name");
        const QString type = text(e, "type");
        multi.columns = type.section(QLatin1Char('x'), 0, 0).toInt();
        multi.rows = type.section(QLatin1Char('x'), 1, 1).toInt();
        for (const QJsonValue &cell : e.value(QStringLiteral("list")).toArray()) {
            const QString id = cell.toString();
            if (id.isEmpty()) {
                multi.ids.append(QString());
                multi.mainUrls.append(QString());
                multi.subUrls.append(QString());
                continue;
            }
            const int s = findSignal(m, id, false);
            if (s < 0)
                continue;
            multi.ids.append(m.signalList[size_t(s)].ip);
            multi.mainUrls.append(m.signalList[size_t(s)].mainUrl);
            multi.subUrls.append(m.signalList[size_t(s)].subUrl);
        }
        m.multiSignals.push_back(multi);
    }
    for (const QJsonValue &entry : root.value(QStringLiteral("signal_group")).toArray()) {
        const QJsonObject e = entry.toObject();
        SignalGroupRecord group;
        group.name = text(e, "name");
        m.hasFavourites = m.hasFavourites || group.name == QStringLiteral("收藏");
        for (const QJsonValue &member : e.value(QStringLiteral("list")).toArray()) {
            const QString element = member.toString();
            const int s = findSignal(m, signalIdFromIp(element), true);
            if (s >= 0) {
                group.signalIndexes.append(s);
                group.members.append({s, 0});
            }
            for (size_t i = 0; i < m.multiSignals.size(); ++i) {
                if (m.multiSignals[i].name == element) {
                    group.multiSignalIndexes.append(int(i));
                    group.members.append({int(i), 1});
                    break;
                }
            }
        }
        m.groups.push_back(group);
    }
    for (const QJsonValue &entry : root.value(QStringLiteral("roles")).toArray()) {
        const QJsonObject e = entry.toObject();
        RoleRecord role;
        role.name = text(e, "name");
        role.level = e.value(QStringLiteral("level")).toInt();
        role.sharedLogin = e.value(QStringLiteral("sharedLogin")).toBool();
        role.tagging = e.value(QStringLiteral("tagging")).toBool();
        for (const QJsonValue &page : e.value(QStringLiteral("pageList")).toArray())
            role.pageList.append(page.toString());
        for (const QJsonValue &group : e.value(QStringLiteral("signalGroupList")).toArray())
            role.signalGroupNames.append(group.toObject().value(QStringLiteral("groupName")).toString());
        m.roles.push_back(role);
    }
    for (const QJsonValue &entry : root.value(QStringLiteral("users")).toArray()) {
        const QJsonObject e = entry.toObject();
        UserRecord user;
        user.name = text(e, "name");
        user.password = text(e, "passwd");
        for (const RoleRecord &role : m.roles) {
            if (role.name == text(e, "role")) {
                user.role = role.name;
                user.pageIds = role.pageList;
                user.signalGroups = role.signalGroupNames;
                break;
            }
        }
        m.users.push_back(user);
    }
    return true;
}

} // namespace kora
