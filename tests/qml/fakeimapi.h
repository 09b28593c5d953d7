#pragma once
// The controller object as the pages see it, for the QML tests: every operation the items
// call is recorded in `calls` as {name, args}; answers come from the writable properties.
// Signals are those of the controller that the page host listens to; tests emit them.
// tst_fakeapi.cpp holds every member here against ImServerApi; the members that only record
// and steer the fake are listed there.
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSize>
#include <QVariantList>
#include <QVariantMap>

class FakeImApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList calls MEMBER m_calls NOTIFY callsChanged)
    Q_PROPERTY(QStringList permitted MEMBER m_permitted)
    Q_PROPERTY(QStringList signalPermitted MEMBER m_signalPermitted)
    // The catalogue: signals [{ip, url, url2, name}], mosaics [{name, row, col, ip, url, url2}],
    // groups {name: [{index, type}]}.
    Q_PROPERTY(QVariantList signalList MEMBER m_signalList)
    Q_PROPERTY(QVariantList mosaics MEMBER m_mosaics)
    Q_PROPERTY(QVariantMap groups MEMBER m_groups)
    // Wall dialogs: the selected wall's cycle groups ([{id, name, time, sceneIds, sceneNames}])
    // and the answer of add, edit and delete.
    Q_PROPERTY(QVariantList cycleGroups MEMBER m_cycleGroups)
    Q_PROPERTY(bool cycleAnswer MEMBER m_cycleAnswer)
    Q_PROPERTY(bool flgLine MEMBER m_flgLine NOTIFY flgLineChanged)
    Q_PROPERTY(int currentPage MEMBER m_currentPage NOTIFY currentPageChanged)
    Q_PROPERTY(QString selPanel MEMBER m_selPanel NOTIFY selPanelChanged)
    Q_PROPERTY(QStringList tcpDown READ tcpDown NOTIFY tcpDownChanged)
    Q_PROPERTY(QStringList silentOutputs READ silentOutputs NOTIFY silentOutputsChanged)
    Q_PROPERTY(int mode MEMBER m_mode NOTIFY modeChanged)
    Q_PROPERTY(QString version MEMBER m_version CONSTANT)
    Q_PROPERTY(QSize windowSize READ windowSize NOTIFY windowSizeChanged)

public:
    using QObject::QObject;

    QSize windowSize() const { return m_windowSize; }

    QStringList silentOutputs() const { return m_silentOutputs; }
    QStringList tcpDown() const { return m_tcpDown; }
    Q_INVOKABLE void setTcpDown(const QStringList &targets) { m_tcpDown = targets, emit tcpDownChanged(); }
    Q_INVOKABLE void silence(const QStringList &outputs) { m_silentOutputs = outputs, emit silentOutputsChanged(); }
    Q_INVOKABLE void reset()
    {
        m_calls.clear();
        m_permitted.clear();
        m_signalPermitted.clear();
        m_signalList.clear();
        m_mosaics.clear();
        m_groups.clear();
        m_cycleGroups.clear();
        m_cycleAnswer = true;
        setProperty("flgLine", true);
        setTcpDown({});
        silence({});
        // Through the properties, so a change is signalled as the controller's setters do.
        setProperty("currentPage", 0);
        setProperty("selPanel", QString());
        emit callsChanged();
    }
    // The recorded calls of one operation, each as its argument list.
    Q_INVOKABLE QVariantList named(const QString &name) const
    {
        QVariantList out;
        for (const QVariant &c : m_calls) {
            const QVariantMap m = c.toMap();
            if (m.value(QStringLiteral("name")) == name)
                out.append(m.value(QStringLiteral("args")));
        }
        return out;
    }

    Q_INVOKABLE bool checkPermission(const QString &id) { return record("checkPermission", {id}), m_permitted.contains(id); }
    Q_INVOKABLE bool checkSignalPermission(const QString &g) const { return m_signalPermitted.contains(g); }
    Q_INVOKABLE void setCurrentPageFromPrivate(int index) { record("setCurrentPageFromPrivate", {index}); setProperty("currentPage", index); }
    Q_INVOKABLE QString toImagePath(const QString &) const { return QString(); }
    Q_INVOKABLE QString language(const QString &text) const { return text; }
    Q_INVOKABLE QString getSignalName(const QString &ip) const { return ip; }
    Q_INVOKABLE QStringList getPanelDocksV2() const { return {}; }
    Q_INVOKABLE QVariantList getPanelDockV2(int index) { return record("getPanelDockV2", {index, m_selPanel}), QVariantList(); }
    Q_INVOKABLE QJsonArray serverRefreshTreeModel(const QJsonArray &model) { record("serverRefreshTreeModel", {}); return model; }
    Q_INVOKABLE QStringList ServerCallMatrixPreset(const QString &uuid, int n) { return record("ServerCallMatrixPreset", {uuid, n}), QStringList(); }
    Q_INVOKABLE QVariantMap getSignalMsg(int index) const { return m_signalList.value(index).toMap(); }
    Q_INVOKABLE QVariantMap getMultiSignalMsg(int index) const { return m_mosaics.value(index).toMap(); }
    Q_INVOKABLE QVariantList getSignalNumByName(const QString &group) const { return m_groups.value(group).toList(); }
    Q_INVOKABLE QString getSignalGroupName(int n) const { return m_groups.keys().value(n); }
    Q_INVOKABLE QVariant searchSignalOfGroup(const QString &group, const QString &text)
    {
        record("searchSignalOfGroup", {group, text});
        return QVariantList{0};
    }
    Q_INVOKABLE QString getPanelIDFromIP(const QString &ip) const { return QStringLiteral("wall-of-") + ip; }
    Q_INVOKABLE QList<int> callRectMask(const QVariantList &topFirst) { return record("callRectMask", {QVariant(topFirst)}), QList<int>(); }
    Q_INVOKABLE void ServerSetWindows(const QString &id, const QString &text) { record("ServerSetWindows", {id, text}); }
    Q_INVOKABLE void serverSetSignalSnapDip(const QString &ip, int flag) { record("serverSetSignalSnapDip", {ip, flag}); }
    Q_INVOKABLE void upLoadBackgroundImage(const QString &path) { record("upLoadBackgroundImage", {path}); }
    Q_INVOKABLE void ServerSetAudios(const QString &ip, const QString &text) { record("ServerSetAudios", {ip, text}); }
    Q_INVOKABLE void vibrate(int ms) { record("vibrate", {ms}); }
    Q_INVOKABLE void ServerVX2ButtonCmd(const QVariantMap &map) { record("ServerVX2ButtonCmd", {map}); }
    Q_INVOKABLE void ServerVX2SliderCmd(const QString &uuid, const QJsonObject &event, float value, int type)
    {
        record("ServerVX2SliderCmd", {uuid, event.toVariantMap(), value, type});
    }
    Q_INVOKABLE void ServerSliderCmd(const QString &uuid, const QString &cmd, float value, int type)
    {
        record("ServerSliderCmd", {uuid, cmd, value, type});
    }
    Q_INVOKABLE void ServerMatrixCmd(const QString &cmd, const QString &x, const QString &y) { record("ServerMatrixCmd", {cmd, x, y}); }
    Q_INVOKABLE void ServerSetStatus(const QString &uuid, const QString &data) { record("ServerSetStatus", {uuid, data}); }
    Q_INVOKABLE void ServerGetStatus(const QString &uuid) { record("ServerGetStatus", {uuid}); }
    Q_INVOKABLE void ServerSaveMatrixPreset(const QString &uuid, const QString &name, const QString &data)
    {
        record("ServerSaveMatrixPreset", {uuid, name, data});
    }
    Q_INVOKABLE void ServerDelMatrixPreset(const QString &uuid, int n, const QString &data) { record("ServerDelMatrixPreset", {uuid, n, data}); }
    Q_INVOKABLE void ServerGetWindows(const QString &id) { record("ServerGetWindows", {id}); }
    Q_INVOKABLE bool ServerClearWall() { return record("ServerClearWall", {}), true; }
    Q_INVOKABLE bool ServerRefresh() { return record("ServerRefresh", {}), true; }
    Q_INVOKABLE void ServerCallScene(const QString &id, bool yt) { record("ServerCallScene", {id, yt}); }
    Q_INVOKABLE void ServerSaveScene(const QString &id, const QString &name) { record("ServerSaveScene", {id, name}); }
    Q_INVOKABLE void ServerEditScene(const QString &id, const QString &name) { record("ServerEditScene", {id, name}); }
    Q_INVOKABLE void ServerDelScene(const QString &id) { record("ServerDelScene", {id}); }
    Q_INVOKABLE void SaveConfig() { record("SaveConfig", {}); }

    // The signal settings dialog: url2 from `signalList`; no favourites, no host files.
    Q_INVOKABLE QString getSignalUrl2(const QString &sId) const
    {
        for (const QVariant &s : m_signalList) {
            if (s.toMap().value(QStringLiteral("ip")).toString() == sId)
                return s.toMap().value(QStringLiteral("url2")).toString();
        }
        return QString();
    }
    Q_INVOKABLE bool hasStar() const { return false; }
    Q_INVOKABLE bool isStar(const QString &) const { return false; }
    Q_INVOKABLE void setSignalStar(const QString &ip, bool star) { record("setSignalStar", {ip, star}); }
    Q_INVOKABLE void serverKVMMouseEvent(const QString &ip, int button, int x, int y, int wheel)
    {
        record("serverKVMMouseEvent", {ip, button, x, y, wheel});
    }
    Q_INVOKABLE void serverKVMKeyEvent(const QString &ip, int key, int modifiers) { record("serverKVMKeyEvent", {ip, key, modifiers}); }
    Q_INVOKABLE void serverKVMKeyReleasedEvent(const QString &ip) { record("serverKVMKeyReleasedEvent", {ip}); }
    Q_INVOKABLE void controlIPCMove(const QString &id, int direction) { record("controlIPCMove", {id, direction}); }
    Q_INVOKABLE void controlIPCZoom(const QString &id, int direction) { record("controlIPCZoom", {id, direction}); }
    Q_INVOKABLE void controlIPCPresets(const QString &id, const QString &name, int save) { record("controlIPCPresets", {id, name, save}); }
    Q_INVOKABLE void serverInLabelStartEvent(const QString &ip) { record("serverInLabelStartEvent", {ip}); }
    Q_INVOKABLE void serverInLabelClearEvent(const QString &ip) { record("serverInLabelClearEvent", {ip}); }
    Q_INVOKABLE void serverInLabelEndEvent(const QString &ip) { record("serverInLabelEndEvent", {ip}); }
    Q_INVOKABLE void serverInLabelStartPtEvent(const QString &ip, int x, int y, int w, const QString &clr)
    {
        record("serverInLabelStartPtEvent", {ip, x, y, w, clr});
    }
    Q_INVOKABLE void serverInLabelToPtEvent(const QString &ip, int x, int y) { record("serverInLabelToPtEvent", {ip, x, y}); }
    Q_INVOKABLE void serverInLabelRectEvent(const QString &ip, int x, int y, int w, int h)
    {
        record("serverInLabelRectEvent", {ip, x, y, w, h});
    }
    Q_INVOKABLE void serverCropSignal(const QString &sId, int x, int y, int w, int h) { record("serverCropSignal", {sId, x, y, w, h}); }
    Q_INVOKABLE void serverGetSignalMsg(const QString &sId) { record("serverGetSignalMsg", {sId}); }
    Q_INVOKABLE void serverGetHostFileInfo(const QString &vencIp) { record("serverGetHostFileInfo", {vencIp}); }
    Q_INVOKABLE QJsonArray serverQueryHostFileInfo(const QString &vencIp, const QString &pid)
    {
        return record("serverQueryHostFileInfo", {vencIp, pid}), QJsonArray();
    }
    Q_INVOKABLE QString serverQueryHostIpFromVenc(const QString &vencIp)
    {
        return record("serverQueryHostIpFromVenc", {vencIp}), QString();
    }
    Q_INVOKABLE void serverControlHostFile(int type, const QString &id, const QString &cmd, const QString &ip)
    {
        record("serverControlHostFile", {type, id, cmd, ip});
    }
    Q_INVOKABLE void ServerSetInNodeOSD(const QVariantMap &osdMap) { record("ServerSetInNodeOSD", {osdMap}); }

    // Wall dialogs: scene polling, cycle groups, reference lines, list views.
    Q_INVOKABLE QStringList pageNames() const { return {}; }
    Q_INVOKABLE void ServerGetScenes() { record("ServerGetScenes", {m_selPanel}); }
    Q_INVOKABLE void ServerCallSceneCycle(const QStringList &ids, const QString &secs) { record("ServerCallSceneCycle", {ids, secs}); }
    Q_INVOKABLE void ServerCloseSceneCycle() { record("ServerCloseSceneCycle", {m_selPanel}); }
    Q_INVOKABLE bool serverAddCycleGroup(const QString &name, int time, const QStringList &ids, const QStringList &names)
    {
        return record("serverAddCycleGroup", {name, time, ids, names}), m_cycleAnswer;
    }
    Q_INVOKABLE bool serverEditCycleGroup(const QString &id, const QString &name, int time, const QStringList &ids,
                                          const QStringList &names)
    {
        return record("serverEditCycleGroup", {id, name, time, ids, names}), m_cycleAnswer;
    }
    Q_INVOKABLE bool serverDelCycleGroup(const QString &name) { return record("serverDelCycleGroup", {name}), m_cycleAnswer; }
    Q_INVOKABLE QVariantMap serverGetCycleGroup(const QString &id) const
    {
        for (const QVariant &g : m_cycleGroups) {
            if (g.toMap().value(QStringLiteral("id")).toString() == id)
                return g.toMap();
        }
        return {};
    }
    Q_INVOKABLE QVariantList serverGetCycleGroupList() const
    {
        QVariantList out;
        for (const QVariant &g : m_cycleGroups)
            out.append(QVariantMap{{QStringLiteral("name"), g.toMap().value(QStringLiteral("name"))},
                                   {QStringLiteral("id"), g.toMap().value(QStringLiteral("id"))}});
        return out;
    }
    Q_INVOKABLE void serverStartCycleGroup(const QString &panelId, const QString &name) { record("serverStartCycleGroup", {panelId, name}); }
    Q_INVOKABLE bool ServerSetPanelFline(int col, int row) { return record("ServerSetPanelFline", {col, row}), false; }
    // Alarms, on-screen text and clocks.
    Q_INVOKABLE void serverAudioEvent(const QString &eventID, bool select, int time) { record("serverAudioEvent", {eventID, select, time}); }
    Q_INVOKABLE void serverVideoEvent(const QString &srcIP, int time, const QString &ip, int port)
    {
        record("serverVideoEvent", {srcIP, time, ip, port});
    }
    Q_INVOKABLE void makeOSDImage(const QVariantMap &osdMap) { record("makeOSDImage", {osdMap}); }
    Q_INVOKABLE void showOSD(const QVariantMap &osdMap) { record("showOSD", {osdMap}); }
    Q_INVOKABLE void closeOSD(const QVariantMap &osdMap) { record("closeOSD", {osdMap}); }
    Q_INVOKABLE void makeOSDImageV2(const QVariantMap &osdMap) { record("makeOSDImageV2", {osdMap}); }
    Q_INVOKABLE void showOSDV2(const QVariantMap &osdMap) { record("showOSDV2", {osdMap}); }
    Q_INVOKABLE void closeOSDV2(const QVariantMap &osdMap) { record("closeOSDV2", {osdMap}); }
    Q_INVOKABLE void serverSetClocks(const QVariantList &list) { record("serverSetClocks", {QVariant(list)}); }

signals:
    void callsChanged();
    void currentPageChanged();
    void selPanelChanged();
    void tcpDownChanged();
    void silentOutputsChanged();
    void modeChanged();
    void windowSizeChanged();
    void flgLineChanged();
    void callQmlRefreshCycle(QJsonObject json_obj);
    void callQmlRefreshCycleGroups();
    void callQmlCreateVX2Page(QVariantMap pageMap);
    void callQmlCreateVX2Screen(QString pageId, QVariantMap map);
    void callQmlCreateVX2Button(QString pageId, QVariantMap map);
    void callQmlCreateVX2Rect(QString pageId, QVariantMap map);
    void callQmlCreateVX2Text(QString pageId, QVariantMap map);
    void callQmlCreateVX2Date(QString pageId, QVariantMap map);
    void callQmlCreateVX2InputBox(QString pageId, QVariantMap map);
    void callQmlCreateVX2Web(QString pageId, QVariantMap map);
    void callQmlCreateVX2Preview(QString pageId, QVariantMap map);
    void callQmlCreateVX2Slider(QString pageId, QVariantMap map);
    void callQmlCreateVX2TreeView(QString pageId, QVariantMap map);
    void callQmlCreateVX2Docker(QString pageId, QVariantMap map);
    void callQmlCreateVX2Monitor(QString pageId, QVariantMap map);
    void callQmlCreateList(int pageIndex, QVariantMap map);
    void callQmlCreateMatrix(int pageIndex, QVariantMap map);
    void callQmlAddBlock(QString panelId, QVariantMap map);
    void callQmlClearBlock(QString panelId);
    void callQmlRefreshSlider(QVariantMap map);
    void callQmlRefreshListen(QString uuid, int value);
    void callQmlRefreshMatrix(QVariantMap map);
    void callQmlRefreshButton(QVariantMap map);
    void callQmlRefreshButtonAct(QVariantMap map);
    void callQmlRefreshOSD(QString text);
    void callQmlRefeshSignalStar(QJsonArray nodes);
    void callQmlRefreshScene(QString panelId, QString sceneId);
    void callQmlAddScenes(QString panelId, QStringList ids, QStringList names);
    void callQmlRefreshIPCList(int group);
    void callQmlScenesMsg(QJsonObject object);
    void callSetWidgetVisible(QJsonArray names, bool flag);
    void callCustomProtocol(QString func, QStringList params);
    void callQmlInitPanel();
    void callQmlSignalMsg(QVariantMap signalMap);
    void callRefreshClocks(QVariantList clockMap);
    void callQmlAudioEvent(QString eventName, QString eventID, int nextTime);
    void callQmlVideoEvent(QString eventName, int nextTime, QString ip, int port, QString srcIp);
    void callQmlEventOver(QString cmd);
    void callLoadBKImage(int current, int total);

private:
    void record(const char *name, const QVariantList &args)
    {
        m_calls.append(QVariantMap{{QStringLiteral("name"), QString::fromLatin1(name)}, {QStringLiteral("args"), args}});
        emit callsChanged();
    }

    QVariantList m_calls;
    QStringList m_permitted, m_signalPermitted;
    QVariantList m_signalList, m_mosaics;
    QVariantMap m_groups;
    QVariantList m_cycleGroups;
    bool m_cycleAnswer = true;
    bool m_flgLine = true;
    int m_currentPage = 0;
    QString m_selPanel;
    QStringList m_tcpDown, m_silentOutputs;
    int m_mode = 0;
    QString m_version = QStringLiteral("test");
    QSize m_windowSize{1920, 1080};
};
