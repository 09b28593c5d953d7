#pragma once
// Scene, scene polling and cycle group commands as pure functions: the exact bytes, their
// destinations and their order, plus the cycle group list rules. The controller object
// sends what these return and waits where a step says so.
#include "design/designbuild.h"
#include "walls/wallcommands.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace kora::scenes {

using design::CycleGroup;
using walls::Commands;
using walls::Installation;

// Texts; all Latin-1 except the scene name of "SaveScene" (GBK) and the client info (UTF-8).
QByteArray sceneNamesQuery(const QString &wallId);                                            // {GetSceneNames;W}
QByteArray scenesQuery(const QString &wallId);                                                // {GetScenes;W}
QByteArray saveSceneText(const QString &wallId, const QString &sceneId, const QString &name); // {SaveScene;W;id,name}
QByteArray deleteSceneText(const QString &wallId, const QString &sceneId);                    // {DeleteScene;W;id}
QByteArray callSceneText(const QString &wallId, const QString &sceneId);                      // {CallScene;W;id}
QByteArray sceneQuery(const QString &wallId, const QString &sceneId);                         // {GetScene;W;id}
// {SetScenesPolling;W;secs;id,id}; without ids {SetScenesPolling;W;secs}.
QByteArray pollingText(const QString &wallId, const QString &secs, const QStringList &sceneIds);
QByteArray pollingStopText(const QString &wallId);                                            // {SetScenesPolling;W;0}
QByteArray keyFrameCommand(); // {"Function":"insertIDR","Type":"System","Value":0}
// The control state of a wall's polling: the JSON {"obj":"cycle",...} in double quotes.
QString cycleStateKey(const QString &wallId);
QString cycleStateText(const QString &wallId, const QString &secs, const QStringList &sceneIds);
// The store of a wall's cycle groups: the JSON {"obj":"cycleGroups",...} in double quotes.
QString cycleGroupsKey(const QString &wallId);
QString cycleGroupStore(const QString &wallId, const QList<CycleGroup> &groups);
QByteArray saveClientInfoText(const QString &key, const QString &text); // {SaveClientInfo;key,text}, UTF-8

// Senders, one step each; wallId is the selected wall unless the operation names one.
Commands getSceneNames(const Installation &in, const QString &wallId);
Commands getScenes(const Installation &in, const QString &wallId);
// Saving (also editing: the same id overwrites) and deleting; the scene list is asked for
// again after a pause.
Commands saveScene(const Installation &in, const QString &wallId, const QString &sceneId, const QString &name);
Commands deleteScene(const Installation &in, const QString &wallId, const QString &sceneId);
// Calling a scene; after a pause the windows are asked for, then the key frame follows.
Commands callScene(const Installation &in, const QString &wallId, const QString &sceneId);
// Preview: only the scene's layout is fetched, then the key frame.
Commands previewScene(const Installation &in, const QString &wallId, const QString &sceneId);
Commands queryScene(const Installation &in, const QString &wallId, const QString &sceneId);
Commands sceneKeyFrame();
Commands closeSceneCycle(const Installation &in, const QString &wallId);
// Checks a polling request before anything is sent (also before the closing command): an
// addressable wall, scene ids that fit the command (none is fine), a whole number of
// seconds, and somewhere to send it.
QString sceneCycleRefusal(const Installation &in, const QString &wallId, const QStringList &sceneIds,
                          const QString &secs);
// The polling itself, sent after the closing command and a pause.
Commands sceneCycle(const Installation &in, const QString &wallId, const QStringList &sceneIds, const QString &secs);
// The cycle group store of the wall (of every wall record with that id) to the group.
Commands saveCycleGroups(const Installation &in, const QString &wallId);

// Cycle group lists. Names and ids are unique across a wall's groups; the id is fixed at
// creation. Each returns false (and leaves the list unchanged) with `why` filled on refusal.
bool addCycleGroup(QList<CycleGroup> &groups, const QString &name, int time, const QStringList &sceneIds,
                   const QStringList &sceneNames, QString *why = nullptr);
bool editCycleGroup(QList<CycleGroup> &groups, const QString &id, const QString &newName, int time,
                    const QStringList &sceneIds, const QStringList &sceneNames, QString *why = nullptr);
bool deleteCycleGroup(QList<CycleGroup> &groups, const QString &name, QString *why = nullptr);
// "id", "name", "time", "sceneIds", "sceneNames" of the group with that id; empty when none.
QVariantMap cycleGroupMap(const QList<CycleGroup> &groups, const QString &id);
// {"name", "id"} per group, in list order.
QVariantList cycleGroupList(const QList<CycleGroup> &groups);
const CycleGroup *findCycleGroupByName(const QList<CycleGroup> &groups, const QString &name);

} // namespace kora::scenes
