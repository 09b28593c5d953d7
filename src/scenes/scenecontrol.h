#pragma once
// The scene senders with their state: scenes, scene polling and the walls' cycle groups.
// Commands are composed by scenes/scenecommands.h and go out through the wall control (one
// way out, one log); the follow-ups that wait for a wall run on the object's own timers.
//
// Cycle groups live here, per wall id: the installation's stored copy fills them
// (setCycleGroups), the operator's edits change them and store the whole list again.
// A wall's polling is published as a control state (stateToStore), so every client sees it.
//
// Every operation names the wall it acts on. Threads: main thread only.
#include "design/designbuild.h"
#include "walls/wallcontrol.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>

namespace kora::scenes {

struct SceneTimings {
    // A saved or deleted scene is in the wall's list this long after the command.
    int sceneListMs = 10;
    // A polling that runs is stopped this long before the new one is sent.
    int pollingStopMs = 16;
    // A called scene is on the wall this long after the command.
    int sceneSettleMs = 30;
    // After an acknowledgement the wall needs this long before its scene list is asked for.
    int afterAckMs = 30;
};

class SceneControl : public QObject
{
    Q_OBJECT
public:
    SceneControl(walls::WallControl &walls, const SceneTimings &timings = {}, QObject *parent = nullptr);

    void getSceneNames(const QString &wallId);
    void getScenes(const QString &wallId);
    // Saving under an existing id overwrites that scene (editing). The scene list is asked for
    // again once the wall holds the change.
    void saveScene(const QString &wallId, const QString &sceneId, const QString &name);
    void deleteScene(const QString &wallId, const QString &sceneId);
    // Calls the scene; once it is on the wall the windows are asked for and the encoders send
    // a key frame. A preview only fetches the scene's layout.
    void callScene(const QString &wallId, const QString &sceneId, bool preview);
    void queryScene(const QString &wallId, const QString &sceneId);
    // The wall acknowledged a change: its scene list is asked for after a moment.
    void getScenesLater(const QString &wallId);

    // Polling: the running one stops, the new one follows after a pause and is published.
    // A request that cannot be sent is refused whole, before the stop.
    void startPolling(const QString &wallId, const QStringList &sceneIds, const QString &secs);
    void stopPolling(const QString &wallId);

    // Cycle groups of a wall the design names; each edit stores the wall's list again.
    bool addCycleGroup(const QString &wallId, const QString &name, int time, const QStringList &sceneIds,
                       const QStringList &sceneNames);
    bool editCycleGroup(const QString &wallId, const QString &id, const QString &newName, int time,
                        const QStringList &sceneIds, const QStringList &sceneNames);
    bool deleteCycleGroup(const QString &wallId, const QString &name);
    QVariantMap cycleGroup(const QString &wallId, const QString &id) const;
    QVariantList cycleGroupList(const QString &wallId) const;
    QList<design::CycleGroup> cycleGroups(const QString &wallId) const { return m_cycleGroups.value(wallId); }
    // Polls the group's scenes on the group's own wall.
    void startCycleGroup(const QString &wallId, const QString &name);
    // The installation's stored list for a wall (maps "name", "hotkey", "id", "time",
    // "sceneIds", "sceneNames"); it replaces what was there. Ignored for a wall the design
    // does not name.
    void setCycleGroups(const QString &wallId, const QVariantList &stored);
    // A new model: every wall's groups are forgotten.
    void clear() { m_cycleGroups.clear(); }

signals:
    // A control state for the installation to publish and keep (a wall's polling).
    void stateToStore(const QString &key, const QString &text);

private:
    bool hasWall(const QString &wallId) const;
    // The wall's groups, if its edit `change` succeeds: then the list is stored again.
    bool editGroups(const QString &wallId, const char *what,
                    const std::function<bool(QList<design::CycleGroup> &, QString *)> &change);
    void saveCycleGroups(const QString &wallId);

    walls::WallControl &m_walls;
    const SceneTimings m_timings;
    QHash<QString, QList<design::CycleGroup>> m_cycleGroups; // by wall id
};

} // namespace kora::scenes
