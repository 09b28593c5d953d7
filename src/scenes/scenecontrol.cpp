#include "scenes/scenecontrol.h"

#include "log/categories.h"
#include "log/trace.h"
#include "scenes/scenecommands.h"

#include <QTimer>

namespace kora::scenes {

SceneControl::SceneControl(walls::WallControl &walls, const SceneTimings &timings, QObject *parent)
    : QObject(parent)
    , m_walls(walls)
    , m_timings(timings)
{
}

void SceneControl::getSceneNames(const QString &wallId)
{
    m_walls.sendCommands(scenes::getSceneNames(m_walls.installation(), wallId));
}

void SceneControl::getScenes(const QString &wallId)
{
    m_walls.sendCommands(scenes::getScenes(m_walls.installation(), wallId));
}

void SceneControl::saveScene(const QString &wallId, const QString &sceneId, const QString &name)
{
    if (m_walls.sendCommands(scenes::saveScene(m_walls.installation(), wallId, sceneId, name)))
        QTimer::singleShot(m_timings.sceneListMs, Qt::PreciseTimer, this, [this, wallId] { getScenes(wallId); });
}

void SceneControl::deleteScene(const QString &wallId, const QString &sceneId)
{
    if (m_walls.sendCommands(scenes::deleteScene(m_walls.installation(), wallId, sceneId)))
        QTimer::singleShot(m_timings.sceneListMs, Qt::PreciseTimer, this, [this, wallId] { getScenes(wallId); });
}

void SceneControl::callScene(const QString &wallId, const QString &sceneId, bool preview)
{
    if (preview) {
        m_walls.sendCommands(scenes::previewScene(m_walls.installation(), wallId, sceneId));
        return;
    }
    if (!m_walls.sendCommands(scenes::callScene(m_walls.installation(), wallId, sceneId)))
        return;
    // The key frame follows the window query, so that the new windows start with a full picture.
    QTimer::singleShot(m_timings.sceneSettleMs, Qt::PreciseTimer, this, [this, wallId] {
        m_walls.getWindows(wallId);
        m_walls.sendCommands(scenes::sceneKeyFrame());
    });
}

void SceneControl::queryScene(const QString &wallId, const QString &sceneId)
{
    m_walls.sendCommands(scenes::queryScene(m_walls.installation(), wallId, sceneId));
}

void SceneControl::getScenesLater(const QString &wallId)
{
    QTimer::singleShot(m_timings.afterAckMs, this, [this, wallId] { getScenes(wallId); });
}

void SceneControl::startPolling(const QString &wallId, const QStringList &sceneIds, const QString &secs)
{
    const walls::Installation in = m_walls.installation();
    const QString refusal = sceneCycleRefusal(in, wallId, sceneIds, secs);
    if (!refusal.isEmpty()) {
        KWARN(lcApi) << refusal;
        return;
    }
    m_walls.sendCommands(closeSceneCycle(in, wallId));
    QTimer::singleShot(m_timings.pollingStopMs, Qt::PreciseTimer, this, [this, wallId, sceneIds, secs] {
        // The installation may have changed during the pause: composed again, and published
        // only when it went out.
        if (m_walls.sendCommands(sceneCycle(m_walls.installation(), wallId, sceneIds, secs)))
            emit stateToStore(cycleStateKey(wallId), cycleStateText(wallId, secs, sceneIds));
    });
}

void SceneControl::stopPolling(const QString &wallId)
{
    m_walls.sendCommands(closeSceneCycle(m_walls.installation(), wallId));
}

bool SceneControl::hasWall(const QString &wallId) const
{
    return walls::findWall(m_walls.installation().walls, wallId) != nullptr;
}

bool SceneControl::editGroups(const QString &wallId, const char *what,
                              const std::function<bool(QList<design::CycleGroup> &, QString *)> &change)
{
    QString why = QStringLiteral("no wall %1").arg(wallId);
    if (!hasWall(wallId) || !change(m_cycleGroups[wallId], &why)) {
        KWARN(lcApi) << (QByteArray("cycle group not ") + what + ':').constData() << why;
        return false;
    }
    saveCycleGroups(wallId);
    return true;
}

bool SceneControl::addCycleGroup(const QString &wallId, const QString &name, int time, const QStringList &sceneIds,
                                 const QStringList &sceneNames)
{
    return editGroups(wallId, "added", [&](QList<design::CycleGroup> &groups, QString *why) {
        return scenes::addCycleGroup(groups, name, time, sceneIds, sceneNames, why);
    });
}

bool SceneControl::editCycleGroup(const QString &wallId, const QString &id, const QString &newName, int time,
                                  const QStringList &sceneIds, const QStringList &sceneNames)
{
    return editGroups(wallId, "changed", [&](QList<design::CycleGroup> &groups, QString *why) {
        return scenes::editCycleGroup(groups, id, newName, time, sceneIds, sceneNames, why);
    });
}

bool SceneControl::deleteCycleGroup(const QString &wallId, const QString &name)
{
    return editGroups(wallId, "deleted", [&](QList<design::CycleGroup> &groups, QString *why) {
        return scenes::deleteCycleGroup(groups, name, why);
    });
}

void SceneControl::saveCycleGroups(const QString &wallId)
{
    // The store is composed from the wall records: the first record with the id carries the
    // wall's groups.
    walls::Installation in = m_walls.installation();
    bool first = true;
    for (design::WallRecord &wall : in.walls) {
        if (wall.id != wallId)
            continue;
        wall.cycleGroups = first ? m_cycleGroups.value(wallId) : QList<design::CycleGroup>();
        first = false;
    }
    m_walls.sendCommands(scenes::saveCycleGroups(in, wallId));
}

QVariantMap SceneControl::cycleGroup(const QString &wallId, const QString &id) const
{
    const QVariantMap map = cycleGroupMap(m_cycleGroups.value(wallId), id);
    KTRACE(lcApi) << wallId << id << map;
    return map;
}

QVariantList SceneControl::cycleGroupList(const QString &wallId) const
{
    return scenes::cycleGroupList(m_cycleGroups.value(wallId));
}

void SceneControl::startCycleGroup(const QString &wallId, const QString &name)
{
    const auto groups = m_cycleGroups.constFind(wallId);
    const CycleGroup *group = groups != m_cycleGroups.cend() ? findCycleGroupByName(*groups, name) : nullptr;
    if (!group) {
        KWARN(lcApi) << "no cycle group" << name << "on wall" << wallId;
        return;
    }
    startPolling(wallId, group->sceneIds, QString::number(group->time));
}

void SceneControl::setCycleGroups(const QString &wallId, const QVariantList &stored)
{
    if (!hasWall(wallId)) {
        KTRACE(lcApi) << "cycle groups of wall" << wallId << "ignored: the design does not name it";
        return;
    }
    QList<design::CycleGroup> groups;
    for (const QVariant &v : stored) {
        const QVariantMap m = v.toMap();
        groups.append({m.value(QStringLiteral("name")).toString(), m.value(QStringLiteral("hotkey")).toString(),
                       m.value(QStringLiteral("time")).toInt(), m.value(QStringLiteral("id")).toString(),
                       m.value(QStringLiteral("sceneIds")).toStringList(),
                       m.value(QStringLiteral("sceneNames")).toStringList()});
    }
    m_cycleGroups.insert(wallId, groups);
}

} // namespace kora::scenes
