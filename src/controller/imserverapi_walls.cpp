// Walls and scenes of the pages: the senders forward to the wall and scene controls with the
// wall they act on (the selected one unless the page names one); the dock layouts and wall
// descriptions are read from the model by the composers of walls/wallcommands.h.
#include "controller/imserverapi.h"

#include "log/categories.h"
#include "log/trace.h"
#include "scenes/scenecontrol.h"
#include "walls/wallcontrol.h"

using namespace kora;

void ImServerApi::ServerSetWindows(const QString &panel_id, const QString &cmd)
{
    m_wallControl->setWindows(panel_id, cmd);
}

void ImServerApi::ServerGetWindows(const QString &panelId)
{
    m_wallControl->getWindows(panelId);
}

bool ImServerApi::ServerRefresh()
{
    m_wallControl->getWindows(m_selPanel);
    return true;
}

bool ImServerApi::ServerClearWall()
{
    m_wallControl->clearWall(m_selPanel);
    return true;
}

void ImServerApi::ServerSetAudios(const QString &ip, const QString &cmd)
{
    m_wallControl->setAudios(ip, cmd);
}

QList<int> ImServerApi::callRectMask(const QVariantList &list) const
{
    return walls::WallControl::hiddenWindows(list);
}

QStringList ImServerApi::getPanelDocks() const
{
    return walls::dockNames(m_walls, m_selPanel, m_translations, walls::DockGeneration::First);
}

QStringList ImServerApi::getPanelDocksV2() const
{
    const QStringList names = walls::dockNames(m_walls, m_selPanel, m_translations, walls::DockGeneration::Second);
    KTRACE(lcApi) << "getPanelDocksV2" << m_selPanel << names;
    return names;
}

QVariantList ImServerApi::getPanelDock(int index) const
{
    return walls::dockWindows(m_walls, m_selPanel, index, walls::DockGeneration::First);
}

QVariantList ImServerApi::getPanelDockV2(int index) const
{
    const QVariantList windows = walls::dockWindows(m_walls, m_selPanel, index, walls::DockGeneration::Second);
    KTRACE(lcApi) << "getPanelDockV2" << m_selPanel << index << windows;
    return windows;
}

QVariantMap ImServerApi::getPanelMsg(int index) const
{
    const QVariantMap map = walls::panelMessage(m_pages, m_walls, m_currentPage, index);
    KTRACE(lcApi) << "getPanelMsg" << m_currentPage << index << map;
    return map;
}

QString ImServerApi::getPanelIDFromIP(const QString &outIp) const
{
    return walls::wallOfOutput(m_model.outputs, outIp);
}

void ImServerApi::ServerGetScenes()
{
    m_sceneControl->getSceneNames(m_selPanel);
}

void ImServerApi::ServerGetScenesMsg(const QString &panelId)
{
    m_sceneControl->getScenes(panelId);
}

void ImServerApi::ServerSaveScene(const QString &sceneId, const QString &name)
{
    m_sceneControl->saveScene(m_selPanel, sceneId, name);
}

void ImServerApi::ServerEditScene(const QString &sceneId, const QString &name)
{
    m_sceneControl->saveScene(m_selPanel, sceneId, name);
}

void ImServerApi::ServerDelScene(const QString &sceneId)
{
    m_sceneControl->deleteScene(m_selPanel, sceneId);
}

void ImServerApi::ServerCallScene(const QString &sceneId, bool flg_yt)
{
    m_sceneControl->callScene(m_selPanel, sceneId, flg_yt);
}

void ImServerApi::ServerQueryScene(const QString &sceneId, const QString &panelId)
{
    m_sceneControl->queryScene(panelId, sceneId);
}

void ImServerApi::ServerCallSceneCycle(const QStringList &sceneIds, const QString &secs)
{
    m_sceneControl->startPolling(m_selPanel, sceneIds, secs);
}

void ImServerApi::ServerCloseSceneCycle()
{
    m_sceneControl->stopPolling(m_selPanel);
}

bool ImServerApi::serverAddCycleGroup(const QString &name, int time, const QStringList &sceneIds,
                                      const QStringList &sceneNames)
{
    return m_sceneControl->addCycleGroup(m_selPanel, name, time, sceneIds, sceneNames);
}

bool ImServerApi::serverEditCycleGroup(const QString &id, const QString &newName, int time,
                                       const QStringList &sceneIds, const QStringList &sceneNames)
{
    return m_sceneControl->editCycleGroup(m_selPanel, id, newName, time, sceneIds, sceneNames);
}

bool ImServerApi::serverDelCycleGroup(const QString &name)
{
    return m_sceneControl->deleteCycleGroup(m_selPanel, name);
}

QVariantMap ImServerApi::serverGetCycleGroup(const QString &id) const
{
    return m_sceneControl->cycleGroup(m_selPanel, id);
}

QVariantList ImServerApi::serverGetCycleGroupList() const
{
    return m_sceneControl->cycleGroupList(m_selPanel);
}

void ImServerApi::serverStartCycleGroup(const QString &panelId, const QString &name)
{
    m_sceneControl->startCycleGroup(panelId, name);
}
