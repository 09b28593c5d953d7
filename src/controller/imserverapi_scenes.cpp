// Scenes, scene polling and cycle groups: the senders call the composers of
// scenes/scenecommands.h and act on the selected wall unless told a wall.
#include "controller/imserverapi.h"

#include "log/categories.h"
#include "log/trace.h"
#include "scenes/scenecommands.h"

#include <QTimer>

using namespace kora;

namespace {
// A saved or deleted scene is in the wall's list this long after the command.
constexpr int kSceneListMs = 10;
// A polling that runs is stopped this long before the new one is sent.
constexpr int kPollingStopMs = 16;
// A called scene is on the wall this long after the command.
constexpr int kSceneSettleMs = 30;
} // namespace

void ImServerApi::ServerGetScenes()
{
    sendCommands(scenes::getSceneNames(installation(), m_selPanel));
}

void ImServerApi::ServerGetScenesMsg(const QString &panelId)
{
    sendCommands(scenes::getScenes(installation(), panelId));
}

void ImServerApi::ServerSaveScene(const QString &sceneId, const QString &name)
{
    const QString wall = m_selPanel;
    if (sendCommands(scenes::saveScene(installation(), wall, sceneId, name))) {
        // The scene list is asked for once the wall holds the new scene.
        QTimer::singleShot(kSceneListMs, Qt::PreciseTimer, this, [this, wall] { ServerGetScenesMsg(wall); });
    }
}

void ImServerApi::ServerEditScene(const QString &sceneId, const QString &name)
{
    // Saving under an existing id overwrites that scene.
    ServerSaveScene(sceneId, name);
}

void ImServerApi::ServerDelScene(const QString &sceneId)
{
    const QString wall = m_selPanel;
    if (sendCommands(scenes::deleteScene(installation(), wall, sceneId))) {
        // The scene list is asked for once the wall has dropped the scene.
        QTimer::singleShot(kSceneListMs, Qt::PreciseTimer, this, [this, wall] { ServerGetScenesMsg(wall); });
    }
}

void ImServerApi::ServerCallScene(const QString &sceneId, bool flg_yt)
{
    const QString wall = m_selPanel;
    if (flg_yt) {
        // Preview mode: the scene's layout is only fetched for display.
        sendCommands(scenes::previewScene(installation(), wall, sceneId));
        return;
    }
    if (!sendCommands(scenes::callScene(installation(), wall, sceneId)))
        return;
    // The windows are asked for once the wall shows the scene; the encoders' key frame
    // follows, so that the new windows start with a full picture.
    QTimer::singleShot(kSceneSettleMs, Qt::PreciseTimer, this, [this, wall] {
        ServerGetWindows(wall);
        sendCommands(scenes::sceneKeyFrame());
    });
}

void ImServerApi::ServerQueryScene(const QString &sceneId, const QString &panelId)
{
    sendCommands(scenes::queryScene(installation(), panelId, sceneId));
}

void ImServerApi::ServerCallSceneCycle(const QStringList &sceneIds, const QString &secs)
{
    callSceneCycle(m_selPanel, sceneIds, secs);
}

void ImServerApi::callSceneCycle(const QString &wallId, const QStringList &sceneIds, const QString &secs)
{
    const walls::Installation in = installation();
    const QString refusal = scenes::sceneCycleRefusal(in, wallId, sceneIds, secs);
    if (!refusal.isEmpty()) {
        KWARN(lcApi) << refusal;
        return;
    }
    sendCommands(scenes::closeSceneCycle(in, wallId));
    // The running polling has stopped before the new one arrives.
    QTimer::singleShot(kPollingStopMs, Qt::PreciseTimer, this, [this, wallId, sceneIds, secs] {
        // The wall's cycle state is published and kept by the installation, so every client
        // sees the polling.
        if (sendCommands(scenes::sceneCycle(installation(), wallId, sceneIds, secs)))
            ServerSetStatus(scenes::cycleStateKey(wallId), scenes::cycleStateText(wallId, secs, sceneIds));
    });
}

void ImServerApi::ServerCloseSceneCycle()
{
    sendCommands(scenes::closeSceneCycle(installation(), m_selPanel));
}

design::WallRecord *ImServerApi::wallRecord(const QString &wallId)
{
    for (design::WallRecord &wall : m_walls) {
        if (wall.id == wallId)
            return &wall;
    }
    return nullptr;
}

void ImServerApi::saveCycleGroups(const QString &wallId)
{
    sendCommands(scenes::saveCycleGroups(installation(), wallId));
}

bool ImServerApi::serverAddCycleGroup(const QString &name, int time, const QStringList &sceneIds,
                                      const QStringList &sceneNames)
{
    design::WallRecord *wall = wallRecord(m_selPanel);
    QString why = QStringLiteral("no wall %1").arg(m_selPanel);
    if (!wall || !scenes::addCycleGroup(wall->cycleGroups, name, time, sceneIds, sceneNames, &why)) {
        KWARN(lcApi) << "cycle group not added:" << why;
        return false;
    }
    saveCycleGroups(m_selPanel);
    return true;
}

bool ImServerApi::serverEditCycleGroup(const QString &id, const QString &newName, int time,
                                       const QStringList &sceneIds, const QStringList &sceneNames)
{
    design::WallRecord *wall = wallRecord(m_selPanel);
    QString why = QStringLiteral("no wall %1").arg(m_selPanel);
    if (!wall || !scenes::editCycleGroup(wall->cycleGroups, id, newName, time, sceneIds, sceneNames, &why)) {
        KWARN(lcApi) << "cycle group not changed:" << why;
        return false;
    }
    saveCycleGroups(m_selPanel);
    return true;
}

bool ImServerApi::serverDelCycleGroup(const QString &name)
{
    design::WallRecord *wall = wallRecord(m_selPanel);
    QString why = QStringLiteral("no wall %1").arg(m_selPanel);
    if (!wall || !scenes::deleteCycleGroup(wall->cycleGroups, name, &why)) {
        KWARN(lcApi) << "cycle group not deleted:" << why;
        return false;
    }
    saveCycleGroups(m_selPanel);
    return true;
}

QVariantMap ImServerApi::serverGetCycleGroup(const QString &id) const
{
    const design::WallRecord *wall = walls::findWall(m_walls, m_selPanel);
    const QVariantMap map = wall ? scenes::cycleGroupMap(wall->cycleGroups, id) : QVariantMap();
    KTRACE(lcApi) << "serverGetCycleGroup" << m_selPanel << id << map;
    return map;
}

QVariantList ImServerApi::serverGetCycleGroupList() const
{
    const design::WallRecord *wall = walls::findWall(m_walls, m_selPanel);
    return wall ? scenes::cycleGroupList(wall->cycleGroups) : QVariantList();
}

void ImServerApi::serverStartCycleGroup(const QString &panelId, const QString &name)
{
    const design::WallRecord *wall = walls::findWall(m_walls, panelId);
    const design::CycleGroup *group = wall ? scenes::findCycleGroupByName(wall->cycleGroups, name) : nullptr;
    if (!group) {
        KWARN(lcApi) << "no cycle group" << name << "on wall" << panelId;
        return;
    }
    // The group's scenes belong to its own wall, so that wall polls them.
    callSceneCycle(panelId, group->sceneIds, QString::number(group->time));
}
