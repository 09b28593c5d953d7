#pragma once
// The one object behind "ImApi": the pages' invokables, properties and signals. It is a
// facade that owns and connects one object per concern and forwards to them:
//   login::Session (login/session.h)           the whole road of a login, filling m_project
//   design::Announcer (design/announcer.h)     the built design handed to the pages
//   walls::WallControl, scenes::SceneControl   wall and scene senders, polling, cycle groups
//   controls::ControlSender (controls/)        designed buttons, sliders, matrices, control states
//   devices::DeviceControl, HostRegistry       KVM, cameras, marking, encoders, alarms; KVM hosts
//   upload::UploadThread, osd::OsdControl      paced file uploads; subtitles, input labels, clocks
//   upload::BackgroundUpload (upload/)         wall background pictures
//   levels::Listeners (levels/)                the data dockers' listeners
//   video::Snapshots (video/)                  snapshot readers
// What stays here: the model the concerns read (m_project and the design's walls, stacks and
// values), the selected wall and page, turning the built design and the dispatcher's actions
// into the pages' signals, and the design command language.
// Source files: imserverapi.cpp (construction, properties, reset, settings, pages),
// imserverapi_dispatch.cpp (replies, design commands), imserverapi_catalogue.cpp.
//
// What reaches outside the process comes from the application (kora::app::Client builds it):
// the sender every datagram leaves through, the local files, the clock and the screen. The
// sockets' datagrams come in through handleReplies(), session() and analyzHostMsg().
//
// Threads: everything here belongs to the main thread, the concern objects and their timers
// included, except the workers these own in threads of their own: the listeners ("listen
// <uuid>"), the uploader ("upload") and the snapshot readers. They reach this object only
// through queued signals and touch nothing of the pages; shutdown() stops and joins the
// listeners and readers before the QML engine goes, the uploader's thread goes with m_uploads.
// Members are declared in the order they may be built and destroyed: the model first, then
// each concern after what it reads.
#include "catalogue/catalogue.h"
#include "controls/controlcommands.h"
#include "controls/controlsender.h"
#include "design/announcer.h"
#include "design/designbuild.h"
#include "devices/devicecontrol.h"
#include "devices/hostregistry.h"
#include "dispatch/replies.h"
#include "levels/listenthread.h"
#include "link/link.h"
#include "link/routes.h"
#include "log/throttle.h"
#include "login/session.h"
#include "model/project.h"
#include "model/records.h"
#include "osd/osdcontrol.h"
#include "scenes/scenecontrol.h"
#include "settings/store.h"
#include "upload/background.h"
#include "upload/uploader.h"
#include "video/snapshots.h"
#include "walls/wallcommands.h"
#include "walls/wallcontrol.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

namespace kora::package {
struct LegacyConfig;
}

class ImServerApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version CONSTANT)
    // Walls on the current page: it changes with the page.
    Q_PROPERTY(int panelNum READ panelNum NOTIFY currentPageChanged)
    Q_PROPERTY(int system READ system CONSTANT)
    // Read from the settings once, at construction.
    Q_PROPERTY(int windowFlag READ windowFlag CONSTANT)
    Q_PROPERTY(QSize windowSize READ windowSize NOTIFY windowSizeChanged)
    Q_PROPERTY(int currentPage READ currentPage WRITE setCurrentPage NOTIFY currentPageChanged)
    Q_PROPERTY(QString selPanel READ selPanel WRITE setSelPanel NOTIFY selPanelChanged)
    // The designed equipment's TCP peers down now ("address:port"): their buttons show a mark.
    Q_PROPERTY(QStringList tcpDown READ tcpDown NOTIFY tcpDownChanged) // the link reports it
    // The decoders that did not answer their wall's window query, until heard from again:
    // the walls mark those outputs.
    Q_PROPERTY(QStringList silentOutputs READ silentOutputs NOTIFY silentOutputsChanged)
    Q_PROPERTY(bool flgLine READ flgLine WRITE setFlgLine NOTIFY flgLineChanged)
    Q_PROPERTY(bool flgRemb READ flgRemb WRITE setFlgRemb NOTIFY flgRembChanged)
    Q_PROPERTY(int mode READ mode WRITE setMode NOTIFY modeChanged)

public:
    // Seconds since 1970, for the lock-out.
    using Clock = std::function<qint64()>;
    static constexpr char kVersion[] = "v1.9.1";

    // `link` and `store` (loaded) outlive this object; `screenAspect` is the primary screen's
    // width / height, the design is chosen for it.
    ImServerApi(kora::link::Sender &link, kora::settings::Store &store, Clock clock, float screenAspect,
                QObject *parent = nullptr);
    ~ImServerApi() override;

    // Stops and joins the listeners and the snapshot readers; called before the QML engine is
    // destroyed.
    void shutdown();

    QString version() const { return QString::fromLatin1(kVersion); }
    int panelNum() const;
    int system() const { return 0; }
    int windowFlag() const { return m_store.values.windowFlag; }
    QSize windowSize() const { return m_windowSize; }
    // The setters store the value and signal only a change.
    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);
    QString selPanel() const { return m_selPanel; }
    QStringList tcpDown() const { return m_tcpDown; }
    QStringList silentOutputs() const { return m_wallControl.silentOutputs(); }
    void setTcpDown(const QStringList &targets);
    void setSelPanel(const QString &panel);
    bool flgLine() const { return m_flgLine; }
    void setFlgLine(bool flg);
    bool flgRemb() const { return m_store.values.flgRemb; }
    void setFlgRemb(bool flg);
    int mode() const { return m_store.values.mode; }
    void setMode(int mode);

    // Read-only views for the start-up code and tests.
    const kora::ControlSettings &settings() const { return m_store.values; }
    QString dataDir() const { return m_store.dataDir(); }
    QString localIp() const { return m_store.values.localIp; }
    QString picMd5() const { return m_store.values.picMd5; }
    float aspectRatio() const { return m_aspectRatio; }
    bool enableLog() const { return m_store.values.enableLog; }
    std::shared_ptr<kora::video::PreviewTable> previewTable() const { return m_snapshots.table(); }
    kora::video::Snapshots &snapshots() { return m_snapshots; }
    const kora::download::PackageDownload &download() const { return m_session.download(); }

    // The model the login fills (tests fill it themselves).
    std::vector<kora::PageRecord> &pages() { return m_project.pages; }
    std::vector<kora::SignalRecord> &signalList() { return m_project.devices.signalList; }
    const std::vector<kora::OutputRecord> &outputs() const { return m_project.devices.outputs; }
    const std::vector<kora::SignalGroupRecord> &signalGroups() const { return m_project.devices.groups; }
    void setCurrentUser(const kora::UserRecord &user) { m_project.currentUser = user; }
    const kora::UserRecord *currentUser() const { return m_project.user(); }
    const kora::TranslationTable &translations() const { return m_project.translations; }
    const QList<kora::design::WallRecord> &walls() const { return m_walls; }
    const QMap<QString, QString> &variables() const { return m_values.variables; }

    // The concerns the application connects the sockets to.
    kora::login::Session &session() { return m_session; }
    const kora::login::Session &session() const { return m_session; }
    kora::upload::UploadThread &uploads() { return m_uploads; }
    // A KVM host's message on the host socket, and the hosts known so far.
    void analyzHostMsg(const QString &ip, const QByteArray &data) { m_hosts.add(ip, data); }
    const QList<kora::devices::HostTree> &hosts() const { return m_hosts.hosts(); }
    // One datagram of the event socket.
    void handleEvent(const QByteArray &data, const QHostAddress &sender, quint16 port) { m_devices.handleEvent(data, sender, port); }

    // Datagrams of the command socket, one read's worth: each from its sender (address text)
    // is parsed, then turned into the model's changes, the pages' signals and the follow-up
    // requests. Signal lists count only from context.signalSources (the controller and the
    // host); the rest is refused and counted. The dispatcher's benchmark calls handleReply.
    void handleReplies(const QList<kora::link::Datagram> &batch);
    void handleReply(const QByteArray &datagram, const QString &sender, const kora::dispatch::Context &context);
    kora::dispatch::Context dispatchContext() const;

    // The design command language, from designed buttons and the controller.
    void analyzCustomProtocol(const QByteArray &command);

    // Reset before a new login or project: the model, the pages' walls, the readers and the
    // listeners of the last one go.
    void initialization();

public slots:
    // Settings and local files.
    void SaveConfig() { m_store.save(); }
    void SaveSignalConfig();
    QString language(const QString &str) const { return kora::translate(m_project.translations, str); }
    QString toImagePath(const QString &str) const { return str.isEmpty() ? QString() : QStringLiteral("file:") + str; }
    bool clearCache();
    QString codec2String(const QByteArray &bytes) const;

    // Login.
    bool ServerLogin(const QString &user, const QString &password, const QString &ip, const QString &serverIp,
                     const QString &downIp)
    {
        return m_session.login(user, password, ip, serverIp, downIp);
    }
    void LoadLocalfile();

    // Small operations of the pages.
    QString getSysMessage(const QString &value) const;
    QStringList pageNames() const;
    void setCurrentPageFromPrivate(int index);
    double getCurrentCpu() const { return 0.0; }
    void vibrate(int duration) { Q_UNUSED(duration) }
    void ServerSwitchPage(int index) { Q_UNUSED(index) }
    bool ServerSwitchLayer(int p, int wId, int value) { Q_UNUSED(p) Q_UNUSED(wId) Q_UNUSED(value) return false; }

    // Wall windows, layers and docks of the selected wall unless the page names one (the
    // sending in walls/wallcontrol.h, the docks' composers in walls/wallcommands.h).
    void ServerSetWindows(const QString &panel_id, const QString &cmd) { m_wallControl.setWindows(panel_id, cmd); }
    void ServerGetWindows(const QString &panelId) { m_wallControl.getWindows(panelId); }
    bool ServerRefresh() { return m_wallControl.getWindows(m_selPanel), true; }
    bool ServerClearWall() { return m_wallControl.clearWall(m_selPanel), true; }
    void ServerSetAudios(const QString &ip, const QString &cmd) { m_wallControl.setAudios(ip, cmd); }
    QList<int> callRectMask(const QVariantList &list) const { return kora::walls::WallControl::hiddenWindows(list); }
    QStringList getPanelDocks() const;
    QStringList getPanelDocksV2() const;
    QVariantList getPanelDock(int index) const;
    QVariantList getPanelDockV2(int index) const;
    QVariantMap getPanelMsg(int index) const;
    QString getPanelIDFromIP(const QString &outIp) const { return kora::walls::wallOfOutput(m_project.devices.outputs, outIp); }
    // Kept for the pages; the walls have no such settings.
    bool ServerSetModel(const QList<int> &model) { Q_UNUSED(model) return true; }
    bool ServerSetPredraw(int p, bool flg) { Q_UNUSED(p) Q_UNUSED(flg) return false; }
    bool ServerSetPanelFline(int col, int row) { Q_UNUSED(col) Q_UNUSED(row) return false; }
    bool ServerSetRefresh(int p) { Q_UNUSED(p) return false; }

    // Scenes, scene polling and cycle groups of the selected wall (scenes/scenecontrol.h).
    void ServerGetScenes() { m_sceneControl.getSceneNames(m_selPanel); }
    void ServerGetScenesMsg(const QString &panelId) { m_sceneControl.getScenes(panelId); }
    void ServerSaveScene(const QString &sceneId, const QString &name) { m_sceneControl.saveScene(m_selPanel, sceneId, name); }
    void ServerEditScene(const QString &sceneId, const QString &name) { m_sceneControl.saveScene(m_selPanel, sceneId, name); }
    void ServerDelScene(const QString &sceneId) { m_sceneControl.deleteScene(m_selPanel, sceneId); }
    void ServerCallScene(const QString &sceneId, bool flg_yt) { m_sceneControl.callScene(m_selPanel, sceneId, flg_yt); }
    void ServerQueryScene(const QString &sceneId, const QString &panelId) { m_sceneControl.queryScene(panelId, sceneId); }
    void ServerCallSceneCycle(const QStringList &sceneIds, const QString &secs) { m_sceneControl.startPolling(m_selPanel, sceneIds, secs); }
    void ServerCloseSceneCycle() { m_sceneControl.stopPolling(m_selPanel); }
    bool serverAddCycleGroup(const QString &name, int time, const QStringList &sceneIds, const QStringList &sceneNames)
    {
        return m_sceneControl.addCycleGroup(m_selPanel, name, time, sceneIds, sceneNames);
    }
    bool serverEditCycleGroup(const QString &id, const QString &newName, int time, const QStringList &sceneIds,
                              const QStringList &sceneNames)
    {
        return m_sceneControl.editCycleGroup(m_selPanel, id, newName, time, sceneIds, sceneNames);
    }
    bool serverDelCycleGroup(const QString &name) { return m_sceneControl.deleteCycleGroup(m_selPanel, name); }
    QVariantMap serverGetCycleGroup(const QString &id) const { return m_sceneControl.cycleGroup(m_selPanel, id); }
    QVariantList serverGetCycleGroupList() const { return m_sceneControl.cycleGroupList(m_selPanel); }
    void serverStartCycleGroup(const QString &panelId, const QString &name) { m_sceneControl.startCycleGroup(panelId, name); }

    // Designed buttons, sliders, matrices and control states (controls/controlsender.h).
    void ServerButtonCmd(const QStringList &Cmd) { m_controls.button(Cmd); }
    void ServerVX2ButtonCmd(const QVariantMap &cmdMap) { m_controls.vx2Button(cmdMap); }
    void ServerSliderCmd(const QString &uuid, const QString &Cmd, float value, int type) { m_controls.slider(uuid, Cmd, value, type); }
    void ServerVX2SliderCmd(const QString &uuid, const QJsonObject &cmdJosn, float value, int type)
    {
        m_controls.vx2Slider(uuid, cmdJosn, value, type);
    }
    void ServerMatrixCmd(const QString &Cmd, const QString &xValue, const QString &yValue) { m_controls.matrix(Cmd, xValue, yValue); }
    void ServerSaveMatrixPreset(const QString &uuid, const QString &name, const QString &data)
    {
        m_controls.saveMatrixPreset(uuid, name, data);
    }
    void ServerDelMatrixPreset(const QString &uuid, int index, const QString &data) { m_controls.deleteMatrixPreset(uuid, index, data); }
    QStringList ServerCallMatrixPreset(const QString &uuid, int index) { return m_controls.callMatrixPreset(uuid, index); }
    void ServerSetStatus(const QString &uuid, const QString &data) { m_controls.setStatus(uuid, data); }
    void ServerGetStatus(const QString &uuid) { m_controls.getStatus(uuid); }
    void listenValue(const QString &uuid, int value) { emit callQmlRefreshListen(uuid, value); }

    // Single devices: KVM seats, cameras, marking, encoders, KVM hosts' files and alarm
    // answers (devices/devicecontrol.h). The wheel has no place in the seat's mouse packet.
    void serverKVMMouseEvent(const QString &ip, int button, int x, int y, int wheel)
    {
        Q_UNUSED(wheel)
        m_devices.kvmMouse(ip, button, x, y);
    }
    void serverKVMKeyEvent(const QString &ip, int key, int modifiers) { m_devices.kvmKey(ip, key, modifiers); }
    void serverKVMKeyReleasedEvent(const QString &ip) { m_devices.kvmKeyReleased(ip); }
    void controlIPCMove(const QString &cameraId, int direction) { m_devices.cameraMove(cameraId, direction); }
    void controlIPCZoom(const QString &cameraId, int direction) { m_devices.cameraZoom(cameraId, direction); }
    void controlIPCPresets(const QString &cameraId, const QString &name, int save) { m_devices.cameraPreset(cameraId, name, save); }
    void serverInLabelStartEvent(const QString &ip) { m_devices.markStart(ip); }
    void serverInLabelClearEvent(const QString &ip) { m_devices.markClear(ip); }
    void serverInLabelEndEvent(const QString &ip) { m_devices.markEnd(ip); }
    void serverInLabelStartPtEvent(const QString &ip, int x, int y, int w, const QString &clr) { m_devices.markStroke(ip, x, y, w, clr); }
    void serverInLabelToPtEvent(const QString &ip, int x, int y) { m_devices.markTo(ip, x, y); }
    void serverInLabelRectEvent(const QString &ip, int x, int y, int w, int h) { m_devices.markFrame(ip, x, y, w, h); }
    void serverCropSignal(const QString &sId, int x, int y, int w, int h) { m_devices.crop(sId, x, y, w, h); }
    void serverSetSignalSnapDip(const QString &sId, int type) { m_devices.snapshotSize(sId, type); }
    void serverGetSignalMsg(const QString &sId) { m_devices.queryConfig(sId); }
    void serverGetHostFileInfo(const QString &vencIp) { m_devices.requestHostTree(vencIp); }
    QJsonArray serverQueryHostFileInfo(const QString &vencIp, const QString &pid) const { return m_devices.hostFiles(vencIp, pid); }
    QString serverQueryHostIpFromVenc(const QString &vencIp) const { return m_devices.hostAddress(vencIp); }
    void serverControlHostFile(int type, const QString &id, const QString &cmd, const QString &ip)
    {
        m_devices.controlHostFile(type, id, cmd, ip);
    }
    void serverAudioEvent(const QString &eventID, bool select, int time) { m_devices.answerAudioEvent(eventID, select, time); }
    void serverVideoEvent(const QString &srcIP, int time, const QString &ip, int port) { m_devices.answerInputEvent(srcIP, time, ip, port); }

    // On-screen text of the selected wall, input labels and clocks (osd/osdcontrol.h).
    void makeOSDImage(const QVariantMap &osdMap) { m_osd.makeImage(m_selPanel, osdMap); }
    void showOSD(const QVariantMap &osdMap) { m_osd.show(kora::osd::Form::Image, m_selPanel, osdMap); }
    void closeOSD(const QVariantMap &osdMap) { m_osd.close(kora::osd::Form::Image, m_selPanel, osdMap); }
    void makeOSDImageV2(const QVariantMap &osdMap) { m_osd.show(kora::osd::Form::Text, m_selPanel, osdMap); }
    void showOSDV2(const QVariantMap &osdMap) { m_osd.show(kora::osd::Form::Text, m_selPanel, osdMap); }
    void closeOSDV2(const QVariantMap &osdMap) { m_osd.close(kora::osd::Form::Text, m_selPanel, osdMap); }
    void ServerSetInNodeOSD(const QVariantMap &osdMap) { m_osd.inputLabel(osdMap); }
    void serverSetClocks(const QVariantList &list) { m_osd.setClocks(m_selPanel, list); }
    void serverGetClocks(const QString &panel_id) { m_osd.getClocks(panel_id); }
    // A picture the operator chooses becomes the selected wall's background, one piece per
    // output; `path` is not used (the dialog asks).
    void upLoadBackgroundImage(const QString &path);

    // Signal catalogue (imserverapi_catalogue.cpp; the rules in catalogue/catalogue.h).
    QVariant getSignalNum(int group) const;
    QVariant getMultiSignalNum(int group) const;
    QVariantList getSignalNumByName(const QString &str) const;
    QVariantMap getSignalMsg(int index) const { return kora::catalogue::signalMessage(catalogueLists(), index); }
    QVariantMap getMultiSignalMsg(int index) const { return kora::catalogue::multiSignalMessage(catalogueLists(), index); }
    QStringList getSignalIp(int group) const { return kora::catalogue::groupSignalIps(catalogueLists(), group); }
    QStringList getSignalNames(int group) const;
    QStringList getSignalUrl(int group) const { return kora::catalogue::groupSignalUrls(catalogueLists(), group); }
    QString getSignalUrl2(const QString &sId) const { return kora::catalogue::subUrlOf(catalogueLists(), sId); }
    QString getSignalGroupName(int index) const;
    QString getSignalName(const QString &ip) const { return kora::catalogue::signalNameOf(catalogueLists(), ip); }
    QVariant searchSignal(const QStringList &groups, const QString &str) const;
    QVariant searchSignalOfGroup(const QString &group, const QString &str) const;
    void setSignalStar(const QString &ip, bool star);
    bool isStar(const QString &ip) const;
    bool hasStar() const { return m_project.devices.hasFavourites; }
    bool checkPermission(const QString &panel_id) const;
    bool checkSignalPermission(const QString &group_name) const;
    QJsonArray serverRefreshTreeModel(const QJsonArray &treeArray) const;

signals:
    void tcpDownChanged();
    void silentOutputsChanged();
    // Login, load and progress.
    void callQmlLogin(bool flg);
    void callQmlLoad(bool flg, int sysEN);
    void callLoginMsgError(QString msg);
    void callQmlLastMsg(QVariantMap msgMap);
    void callQmlSetLogin(QVariantMap loginMap);
    void callQmlInitPanel();
    void callDownProgress(QString filename, float percent);
    void callLoadBKImage(int current, int total);
    void callShowVersion(QString ver);
    void modeChanged();
    void windowSizeChanged();
    void currentPageChanged();
    void selPanelChanged();
    void flgLineChanged();
    void flgRembChanged();

    // Design 1.0 page building.
    void callQmlCreatePage(QString pageId);
    void callQmlCreatePanel(int pageIndex, QVariantMap panelMap);
    void callQmlCreateButton(int pageIndex, QVariantMap buttonMap, QVariantMap buttonState0Map,
                             QVariantMap buttonState1Map);
    void callQmlCreatePreview(int pageIndex, QStringList groups, QVariantMap previewMap);
    void callQmlCreateRect(int pageIndex, QVariantMap rectMap);
    void callQmlCreateSlider(int pageIndex, QVariantMap sliderMap);
    void callQmlCreateListen(int pageIndex, QVariantMap listenMap);
    void callQmlCreateText(int pageIndex, QVariantMap textMap);
    void callQmlCreateList(int pageIndex, QVariantMap listMap);
    void callQmlCreateMatrix(int pageIndex, QVariantMap matrixMap);
    void callQmlCreateSearchBox(int pageIndex, QVariantMap searchMap);
    void callQmlCreateLogin(QVariantMap _Map);

    // Design 2.0 page building.
    void callQmlCreateVX2Page(QVariantMap pageMap);
    void callQmlCreateVX2Screen(QString pageId, QVariantMap panelMap);
    void callQmlCreateVX2Button(QString pageId, QVariantMap buttonMap);
    void callQmlCreateVX2Text(QString pageId, QVariantMap textMap);
    void callQmlCreateVX2Date(QString pageId, QVariantMap textMap);
    void callQmlCreateVX2Rect(QString pageId, QVariantMap rectMap);
    void callQmlCreateVX2InputBox(QString pageId, QVariantMap inputBoxMap);
    void callQmlCreateVX2Preview(QString pageId, QVariantMap previewMap);
    void callQmlCreateVX2Slider(QString pageId, QVariantMap sliderMap);
    void callQmlCreateVX2TreeView(QString pageId, QVariantMap treeViewMap);
    void callQmlCreateVX2Docker(QString pageId, QVariantMap dockerMap);
    void callQmlCreateVX2Monitor(QString pageId, QVariantMap monitorMap);
    void callQmlCreateVX2Web(QString pageId, QVariantMap webMap);
    void callQmlCreateVX2Stack(QString pageId, QVariantMap stackMap);
    void callQmlSetLoginVX2InputBox(QVariantMap inputBoxMap);
    void callQmlSetLoginVX2Button(QVariantMap buttonMap);
    void callQmlCreateVX2Line(QString pageId, QVariantMap lineMap);
    void callQmlCreateVX2List(int pageIndex, QVariantMap listMap);
    void callQmlCreateVX2Matrix(int pageIndex, QVariantMap matrixMap);
    void callQmlCreateVX2SearchBox(QString pageId, QVariantMap searchMap);
    void callQmlCreateVX2Login(QVariantMap _Map);

    // Controller replies and events.
    void callQmlRefreshSlider(QVariantMap sliderMap);
    void callQmlRefreshButton(QVariantMap buttonMap);
    void callQmlRefreshButtonAct(QVariantMap buttonMap);
    void callQmlRefreshMatrix(QVariantMap _map);
    void callQmlRefreshOSD(QString _map);
    void callQmlRefreshCycle(QJsonObject json_obj);
    void callQmlRefreshScene(QString panelId, QString sceneId);
    void callQmlScenesMsg(QJsonObject sceneObject);
    void callQmlAddScenes(QString panelId, QStringList sceneIds, QStringList sceneNames);
    void callQmlAddBlock(QString panelId, QVariantMap blockMap);
    void callQmlClearBlock(QString panelId);
    void callQmlSignalMsg(QVariantMap signalMap);
    void callQmlRefreshIPCList(int group);
    void callRefreshClocks(QVariantList clockMap);
    void callQmlRefreshCycleGroups();
    void callQmlRefreshListen(QString uuid, int value);
    void callQmlRefeshSignalStar(QJsonArray starNode);
    void callCustomProtocol(QString func, QStringList params);
    void callSetWidgetVisible(QJsonArray objNameArray, bool flg);
    void callQmlAudioEvent(QString eventName, QString eventID, int nextTime);
    // srcIp: the input the alarm is about, for serverVideoEvent's answer.
    void callQmlVideoEvent(QString eventName, int nextTime, QString ip, int port, QString srcIp);
    void callQmlEventOver(QString cmd);

    // Declared for the pages; the client itself never emits them.
    void callQmlRefeshPanel(int p);
    void callQmlSwitchPanel(int p);
    void callQmlUpdateSignalGroup();
    void callQmlClearPanel();
    void callQmlAddScene(QVariantMap sceneMap);
    void callQmlMoveBlock(int p, int wId, int x, int y, int w, int h);
    void putfile(QString file_name, QByteArray file_data, QString ip);

private:
    // What the wall, scene and on-screen text commands read of the settings and the model.
    kora::walls::Installation installation() const;
    void setWindowSize(const QSize &size);
    void loadSnapshots();
    // The design the login accepted: its pages, walls, stacks and listeners; the login ends
    // once the announcer has handed every widget to the pages.
    void analyzNewDesignJson(const QByteArray &data);
    void announce(const kora::design::Announcement &announcement);
    // An older project's pages: one page-building signal per widget block, in its older form
    // and as the Design 2.0 items the page host builds.
    void buildOlderPages(const kora::package::LegacyConfig &config);
    // One page text of the older form; page -1 holds the global widgets of the "UI" block,
    // `pageId` names the page of its walls.
    void analyzWidgetFromStr(int pageIndex, const QString &text, const QString &pageId);
    void apply(const kora::dispatch::Action &action);
    void addResourceSignals(const kora::dispatch::Action &action);
    kora::catalogue::Lists catalogueLists() const
    {
        return {m_project.devices.signalList, m_project.devices.groups, m_project.devices.multiSignals};
    }

    // From the application; they outlive this object.
    kora::link::Sender &m_link;
    kora::settings::Store &m_store; // the local files; the settings in use are m_store.values
    const float m_aspectRatio;

    // The model, emptied by initialization(); the concerns below read it.
    kora::Project m_project;
    QList<kora::design::WallRecord> m_walls;
    QList<kora::design::StackRecord> m_stacks;
    kora::dispatch::State m_dispatchState; // what replies remember (matrix presets)
    kora::controls::Values m_values;       // data dockers' values and the design's variables
    kora::devices::HostRegistry m_hosts;   // KVM hosts that announced themselves
    int m_wholeListGroup = -1;             // the group the controller's whole signal list fills
    kora::LogThrottle m_refusals;          // refused datagrams and list entries: a line per kind and interval
    quint64 m_refusedSignals = 0;          // listed signals the caps left out

    // The pages' state.
    int m_currentPage = 0;
    QString m_selPanel;
    QStringList m_tcpDown;
    bool m_flgLine = true;
    QSize m_windowSize;

    // The concerns, each after what it reads.
    kora::video::Snapshots m_snapshots;                   // snapshot readers: stopped and joined on reset
    kora::login::Session m_session;                       // the login, filling m_project
    kora::design::Announcer m_announcer;                  // the built design, widget by widget
    kora::walls::WallControl m_wallControl;               // wall senders and their follow-ups
    kora::scenes::SceneControl m_sceneControl;            // scenes, polling and the cycle groups
    kora::controls::ControlSender m_controls;             // designed controls and control states
    kora::devices::DeviceControl m_devices;               // KVM, cameras, marking, encoders, alarms
    kora::upload::UploadThread m_uploads;                 // file uploads, paced in their own thread
    kora::osd::OsdControl m_osd;                          // subtitles, input labels, clocks
    kora::upload::BackgroundUpload m_backgrounds;         // wall background pictures
    kora::levels::Listeners m_listeners;                  // data dockers' listener threads
};
