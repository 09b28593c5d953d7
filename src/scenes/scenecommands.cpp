#include "scenes/scenecommands.h"

#include "link/messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>

namespace kora::scenes {

using walls::addressableWall;
using walls::unaddressable;
using walls::outputHosts;
using walls::refuse;
using walls::single;
using walls::wallDestinations;

namespace {

// A scene id travels as a sub-value: a ";" or "," would shift the fields, a brace would end
// the command early.
bool usableSceneId(const QString &id)
{
    return !id.isEmpty() && !id.contains(QLatin1Char(';')) && !id.contains(QLatin1Char(','))
           && !id.contains(QLatin1Char('{')) && !id.contains(QLatin1Char('}'));
}

// The name is the last sub-value: commas stay inside it, fields and braces may not.
bool usableSceneName(const QString &name)
{
    return !name.contains(QLatin1Char(';')) && !name.contains(QLatin1Char('{')) && !name.contains(QLatin1Char('}'));
}

QString quoted(const QJsonObject &o)
{
    return QLatin1Char('"') + QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('"');
}

// A step by the wall route.
Commands byWallRoute(const Installation &in, const QString &wallId, const QByteArray &data, const QString &what)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, what + QStringLiteral(" not sent")));
    return single(data, wallDestinations(in, wallId), QStringLiteral("wall %1 has no decoders: %2 not sent").arg(wallId, what));
}

// A step by the output route (the controller, or the host output that serves the wall).
Commands byOutputRoute(const Installation &in, const QString &wallId, const QByteArray &data, const QString &what)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, what + QStringLiteral(" not sent")));
    return single(data, link::outputRoute(in.serverIp, outputHosts(in.outputs), wallId),
                  QStringLiteral("no output serves wall %1: %2 not sent").arg(wallId, what));
}

int nameIndex(const QList<CycleGroup> &groups, const QString &name)
{
    for (int i = 0; i < groups.size(); ++i) {
        if (groups.at(i).name == name)
            return i;
    }
    return -1;
}

int idIndex(const QList<CycleGroup> &groups, const QString &id)
{
    for (int i = 0; i < groups.size(); ++i) {
        if (groups.at(i).id == id)
            return i;
    }
    return -1;
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// A group's contents: a time, a scene list and one name per scene.
bool usableContents(int time, const QStringList &sceneIds, const QStringList &sceneNames, QString *why)
{
    if (time < 1)
        return fail(why, QStringLiteral("cycle interval %1 s: not a positive number of seconds").arg(time));
    if (sceneIds.isEmpty())
        return fail(why, QStringLiteral("cycle group without scenes"));
    if (sceneIds.size() != sceneNames.size())
        return fail(why, QStringLiteral("%1 scene ids but %2 scene names").arg(sceneIds.size()).arg(sceneNames.size()));
    return true;
}

} // namespace

QByteArray sceneNamesQuery(const QString &wallId)
{
    return link::textCommand(QStringLiteral("GetSceneNames"), {wallId});
}

QByteArray scenesQuery(const QString &wallId)
{
    return link::textCommand(QStringLiteral("GetScenes"), {wallId});
}

QByteArray saveSceneText(const QString &wallId, const QString &sceneId, const QString &name)
{
    return link::textCommand(QStringLiteral("SaveScene"), {wallId, sceneId + QLatin1Char(',') + name},
                             QTextCodec::codecForName("GBK"));
}

QByteArray deleteSceneText(const QString &wallId, const QString &sceneId)
{
    return link::textCommand(QStringLiteral("DeleteScene"), {wallId, sceneId});
}

QByteArray callSceneText(const QString &wallId, const QString &sceneId)
{
    return link::textCommand(QStringLiteral("CallScene"), {wallId, sceneId});
}

QByteArray sceneQuery(const QString &wallId, const QString &sceneId)
{
    return link::textCommand(QStringLiteral("GetScene"), {wallId, sceneId});
}

QByteArray pollingText(const QString &wallId, const QString &secs, const QStringList &sceneIds)
{
    QStringList fields{wallId, secs};
    if (!sceneIds.isEmpty())
        fields.append(sceneIds.join(QLatin1Char(',')));
    return link::textCommand(QStringLiteral("SetScenesPolling"), fields);
}

QByteArray pollingStopText(const QString &wallId)
{
    return link::textCommand(QStringLiteral("SetScenesPolling"), {wallId, QStringLiteral("0")});
}

QByteArray keyFrameCommand()
{
    return walls::encoderCommand(QStringLiteral("insertIDR"));
}

QString cycleStateKey(const QString &wallId)
{
    return wallId + QStringLiteral("_cycle");
}

QString cycleStateText(const QString &wallId, const QString &secs, const QStringList &sceneIds)
{
    return quoted(QJsonObject{{QStringLiteral("obj"), QStringLiteral("cycle")},
                              {QStringLiteral("uuid"), wallId},
                              {QStringLiteral("time"), secs},
                              {QStringLiteral("memb"), QJsonArray::fromStringList(sceneIds)}});
}

QString cycleGroupsKey(const QString &wallId)
{
    return wallId + QStringLiteral("_cycleGroups");
}

QString cycleGroupStore(const QString &wallId, const QList<CycleGroup> &groups)
{
    QJsonArray data;
    for (const CycleGroup &g : groups) {
        data.append(QJsonObject{{QStringLiteral("id"), g.id},
                                {QStringLiteral("name"), g.name},
                                {QStringLiteral("time"), g.time},
                                {QStringLiteral("hotkey"), g.hotkey},
                                {QStringLiteral("isCall"), false},
                                {QStringLiteral("sceneIds"), QJsonArray::fromStringList(g.sceneIds)},
                                {QStringLiteral("sceneNames"), QJsonArray::fromStringList(g.sceneNames)}});
    }
    return quoted(QJsonObject{{QStringLiteral("obj"), QStringLiteral("cycleGroups")},
                              {QStringLiteral("id"), wallId},
                              {QStringLiteral("data"), data}});
}

QByteArray saveClientInfoText(const QString &key, const QString &text)
{
    return link::textCommand(QStringLiteral("SaveClientInfo"), {key + QLatin1Char(',') + text},
                             QTextCodec::codecForName("UTF-8"));
}

Commands getSceneNames(const Installation &in, const QString &wallId)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("scene names not asked for")));
    const link::Destinations to = in.serverIp.isEmpty() ? link::wallHost(outputHosts(in.outputs), wallId)
                                                        : link::serverRelay(in.serverIp);
    return single(sceneNamesQuery(wallId), to, QStringLiteral("no output serves wall %1: scene names not asked for").arg(wallId));
}

Commands getScenes(const Installation &in, const QString &wallId)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("scenes not asked for")));
    // The scenes are read from the wall's host output, also when there is a controller.
    return single(scenesQuery(wallId), link::wallHost(outputHosts(in.outputs), wallId),
                  QStringLiteral("no output serves wall %1: scenes not asked for").arg(wallId));
}

Commands saveScene(const Installation &in, const QString &wallId, const QString &sceneId, const QString &name)
{
    if (!usableSceneId(sceneId))
        return refuse(QStringLiteral("scene id \"%1\" cannot be sent: scene not saved").arg(sceneId));
    if (!usableSceneName(name))
        return refuse(QStringLiteral("scene name \"%1\" holds \";\" or a brace: scene not saved").arg(name));
    return byWallRoute(in, wallId, saveSceneText(wallId, sceneId, name), QStringLiteral("SaveScene"));
}

Commands deleteScene(const Installation &in, const QString &wallId, const QString &sceneId)
{
    if (!usableSceneId(sceneId))
        return refuse(QStringLiteral("scene id \"%1\" cannot be sent: scene not deleted").arg(sceneId));
    return byWallRoute(in, wallId, deleteSceneText(wallId, sceneId), QStringLiteral("DeleteScene"));
}

Commands callScene(const Installation &in, const QString &wallId, const QString &sceneId)
{
    if (!usableSceneId(sceneId))
        return refuse(QStringLiteral("scene id \"%1\" cannot be sent: scene not called").arg(sceneId));
    return byWallRoute(in, wallId, callSceneText(wallId, sceneId), QStringLiteral("CallScene"));
}

Commands previewScene(const Installation &in, const QString &wallId, const QString &sceneId)
{
    Commands c = queryScene(in, wallId, sceneId);
    if (!c.refused())
        c.items += sceneKeyFrame().items;
    return c;
}

Commands queryScene(const Installation &in, const QString &wallId, const QString &sceneId)
{
    if (!usableSceneId(sceneId))
        return refuse(QStringLiteral("scene id \"%1\" cannot be sent: scene not asked for").arg(sceneId));
    return byOutputRoute(in, wallId, sceneQuery(wallId, sceneId), QStringLiteral("GetScene"));
}

Commands sceneKeyFrame()
{
    return single(keyFrameCommand(), link::nodeControl(QLatin1String(link::kWallGroup)), QString());
}

Commands closeSceneCycle(const Installation &in, const QString &wallId)
{
    return byWallRoute(in, wallId, pollingStopText(wallId), QStringLiteral("SetScenesPolling"));
}

QString sceneCycleRefusal(const Installation &in, const QString &wallId, const QStringList &sceneIds,
                          const QString &secs)
{
    if (!addressableWall(wallId))
        return unaddressable(wallId, QStringLiteral("scene polling not started"));
    // An empty list is sent too: the wall id and the interval only.
    for (const QString &id : sceneIds) {
        if (!usableSceneId(id))
            return QStringLiteral("scene id \"%1\" cannot be sent: scene polling not started").arg(id);
    }
    // The interval goes out as given (the controller decides what 0 or less means); it only
    // has to be a whole number, so that it cannot break the command.
    bool number = false;
    secs.toInt(&number);
    if (!number)
        return QStringLiteral("polling interval \"%1\" is not a whole number of seconds").arg(secs);
    if (sceneCycle(in, wallId, sceneIds, secs).refused())
        return QStringLiteral("no output serves wall %1: scene polling not started").arg(wallId);
    return {};
}

Commands sceneCycle(const Installation &in, const QString &wallId, const QStringList &sceneIds, const QString &secs)
{
    // The controller and the wall's host output both hear it.
    const link::Destinations to = link::serverRelay(in.serverIp) + link::wallHost(outputHosts(in.outputs), wallId);
    return single(pollingText(wallId, secs, sceneIds), to,
                  QStringLiteral("no output serves wall %1: scene polling not sent").arg(wallId));
}

Commands saveCycleGroups(const Installation &in, const QString &wallId)
{
    if (!walls::findWall(in.walls, wallId))
        return refuse(QStringLiteral("no wall %1: cycle groups not saved").arg(wallId));
    QList<CycleGroup> groups;
    for (const design::WallRecord &wall : in.walls) {
        if (wall.id == wallId)
            groups += wall.cycleGroups;
    }
    return single(saveClientInfoText(cycleGroupsKey(wallId), cycleGroupStore(wallId, groups)), link::wallMulticast(),
                  QString());
}

bool addCycleGroup(QList<CycleGroup> &groups, const QString &name, int time, const QStringList &sceneIds,
                   const QStringList &sceneNames, QString *why)
{
    if (name.isEmpty())
        return fail(why, QStringLiteral("cycle group without a name"));
    // The new group's id is its name: it may match neither a name nor the id of a renamed group.
    if (nameIndex(groups, name) >= 0 || idIndex(groups, name) >= 0)
        return fail(why, QStringLiteral("cycle group \"%1\" exists").arg(name));
    if (!usableContents(time, sceneIds, sceneNames, why))
        return false;
    groups.append({name, QString(), time, name, sceneIds, sceneNames});
    return true;
}

bool editCycleGroup(QList<CycleGroup> &groups, const QString &id, const QString &newName, int time,
                    const QStringList &sceneIds, const QStringList &sceneNames, QString *why)
{
    const int index = idIndex(groups, id);
    if (index < 0)
        return fail(why, QStringLiteral("no cycle group with id \"%1\"").arg(id));
    if (newName.isEmpty())
        return fail(why, QStringLiteral("cycle group without a name"));
    const int named = nameIndex(groups, newName);
    // Deleting goes by name: two groups of one name would make it ambiguous.
    if (named >= 0 && named != index)
        return fail(why, QStringLiteral("another cycle group is called \"%1\"").arg(newName));
    if (!usableContents(time, sceneIds, sceneNames, why))
        return false;
    CycleGroup &g = groups[index];
    g.name = newName;
    g.time = time;
    g.sceneIds = sceneIds;
    g.sceneNames = sceneNames;
    return true;
}

bool deleteCycleGroup(QList<CycleGroup> &groups, const QString &name, QString *why)
{
    const int index = nameIndex(groups, name);
    if (index < 0)
        return fail(why, QStringLiteral("no cycle group called \"%1\"").arg(name));
    groups.removeAt(index);
    return true;
}

QVariantMap cycleGroupMap(const QList<CycleGroup> &groups, const QString &id)
{
    const int index = idIndex(groups, id);
    if (index < 0)
        return {};
    const CycleGroup &g = groups.at(index);
    return QVariantMap{{QStringLiteral("id"), g.id},
                       {QStringLiteral("name"), g.name},
                       {QStringLiteral("time"), g.time},
                       {QStringLiteral("sceneIds"), g.sceneIds},
                       {QStringLiteral("sceneNames"), g.sceneNames}};
}

QVariantList cycleGroupList(const QList<CycleGroup> &groups)
{
    QVariantList out;
    for (const CycleGroup &g : groups)
        out.append(QVariantMap{{QStringLiteral("name"), g.name}, {QStringLiteral("id"), g.id}});
    return out;
}

const CycleGroup *findCycleGroupByName(const QList<CycleGroup> &groups, const QString &name)
{
    const int index = nameIndex(groups, name);
    return index < 0 ? nullptr : &groups.at(index);
}

} // namespace kora::scenes
