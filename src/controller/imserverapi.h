#pragma once
// The one object behind "ImApi": the pages' invokables, properties and signals. It is a
// facade that owns and connects one object per concern and forwards to them:
//   settings::Store (settings/store.h)         local folders, control.ini, signal.ini
//   link::Link (link/link.h)                   the sockets; the link::Sender everything sends through
//   login::LoginFlow (login/loginflow.h)       the login's states and timers
//   download::PackageDownload (download/)      file requests, MD5 checks, the cache
//   design::Announcer (design/announcer.h)     the built design handed to the pages
//   walls::WallControl, scenes::SceneControl   wall and scene senders, polling, cycle groups
//   controls::ControlSender (controls/)        designed buttons, sliders, matrices, control states
//   devices::DeviceControl (devices/)          KVM, cameras, marking, encoders, KVM hosts, alarms
//   upload::UploadThread, osd::OsdControl      paced file uploads; subtitles, input labels, clocks
//   upload::BackgroundUpload (upload/)         wall background pictures
//   video::Snapshots (video/)                  snapshot readers
// What stays here: the project model the concerns read (pages, walls, the device model), the
// selected wall and page, and the glue: the node scan choosing the host, reading the package,
// turning the dispatcher's actions into the pages' signals.
// One source file per part: imserverapi.cpp (construction, properties, reset),
// imserverapi_settings.cpp, imserverapi_login.cpp (login, lock-out), imserverapi_scan.cpp
// (node scan, discovery), imserverapi_download.cpp (reading the package),
// imserverapi_legacy.cpp (the older package), imserverapi_design.cpp, imserverapi_walls.cpp,
// imserverapi_controls.cpp, imserverapi_devices.cpp, imserverapi_dispatch.cpp, imserverapi_commands.cpp (the design
// command language, host messages), imserverapi_catalogue.cpp (the catalogue's queries).
//
// Threads: everything here belongs to the main thread, the concern objects and their timers
// included, except
//  - the download's receiver, a thread of its own that reaches it only through queued signals;
//  - the discovery worker, in the thread "discovery", reached only by queued calls;
// shutdown() stops and joins both before the object (or the QML engine) goes away.
//  - the uploader, in a thread m_uploads owns, stopped and joined when this object goes; it
//    touches nothing of the pages.
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <vector>

#include "design/announcer.h"
#include "devices/hostregistry.h"
#include "discovery/discovery.h"
#include "design/designbuild.h"
#include "download/packagedownload.h"
#include "catalogue/catalogue.h"
#include "commands/hostmessages.h"
#include "controls/controlcommands.h"
#include "dispatch/replies.h"
#include "link/routes.h"
#include "link/link.h"
#include "link/scanreply.h"
#include "login/loginflow.h"
#include "model/devicefile.h"
#include "model/records.h"
#include "settings/store.h"
#include "settings/translations.h"
#include "log/throttle.h"
#include "walls/wallcommands.h"
#include "video/snapshots.h"

class QTextCodec;

namespace kora::controls {
class ControlSender;
}
namespace kora::devices {
class DeviceControl;
}
namespace kora::levels {
class Listeners;
}
namespace kora::osd {
class OsdControl;
}
namespace kora::upload {
class BackgroundUpload;
class UploadThread;
}
namespace kora::walls {
class WallControl;
}
namespace kora::scenes {
class SceneControl;
}

namespace kora {
// The address the client binds to: the last IPv4 address that is neither loopback
// ("127.0.") nor link-local ("169.254."); empty when there is none.
QString chooseLocalIp(const QList<QHostAddress> &addresses);
// The stored address while it is one of this machine's IPv4 addresses; else the chosen one.
QString keptLocalIp(const QString &saved, const QList<QHostAddress> &addresses);
} // namespace kora

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
    Q_PROPERTY(bool flgLine READ flgLine WRITE setFlgLine NOTIFY flgLineChanged)
    Q_PROPERTY(bool flgRemb READ flgRemb WRITE setFlgRemb NOTIFY flgRembChanged)
    Q_PROPERTY(int mode READ mode WRITE setMode NOTIFY modeChanged)

public:
    // A download without progress for this long ends the login.
    static constexpr int kWatchdogMs = 2000;

    explicit ImServerApi(QObject *parent = nullptr);
    ~ImServerApi() override;

    // Quits and joins the worker threads; called before the QML engine is destroyed.
    void shutdown();

    QString version() const { return m_version; }
    int panelNum() const;
    int system() const { return 0; }
    int windowFlag() const { return m_store.values.windowFlag; }
    QSize windowSize() const { return m_windowSize; }
    // The setters store the value and signal only a change.
    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);
    QString selPanel() const { return m_selPanel; }
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
    QString imageDir() const { return m_store.imageDir(); }
    QString logDir() const { return m_store.logDir(); }
    QString localIp() const { return m_store.values.localIp; }
    std::shared_ptr<kora::video::PreviewTable> previewTable() const { return m_snapshots->table(); }
    kora::video::Snapshots &snapshots() { return *m_snapshots; }
    QString picMd5() const { return m_store.values.picMd5; }
    float aspectRatio() const { return m_aspectRatio; }
    bool enableLog() const { return m_store.values.enableLog; }
    const kora::download::PackageDownload &download() const { return *m_download; }

    // Loaders of the project model fill these (and tests, until those loaders exist).
    std::vector<kora::PageRecord> &pages() { return m_pages; }
    std::vector<kora::SignalRecord> &signalList() { return m_model.signalList; }
    std::vector<kora::UserRecord> &users() { return m_model.users; }
    const std::vector<kora::OutputRecord> &outputs() const { return m_model.outputs; }
    const std::vector<kora::SignalGroupRecord> &signalGroups() const { return m_model.groups; }
    void setCurrentUser(std::unique_ptr<kora::UserRecord> user);
    const kora::UserRecord *currentUser() const { return m_currentUser.get(); }
    const kora::TranslationTable &translations() const { return m_translations; }
    const QList<kora::design::WallRecord> &walls() const { return m_walls; }

    // The controller link, for the senders and for tests.
    struct NodeEntry {
        QString address;
        QString hostTag;
    };
    const QList<NodeEntry> &nodes() const { return m_nodes; }
    int hostIndex() const { return m_hostIndex; }
    const QList<kora::discovery::Peer> &foundPeers() const { return m_discovery->peers(); }
    bool loginTimerActive() const;
    // Seconds since 1970 for the lock-out; tests put in their own clock.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // The sockets; tests send through them as the concerns do.
    kora::link::Link &link() { return *m_link; }
    bool checkAccount();

    // One datagram of the command socket from `sender` (address text): parsed, then turned
    // into the model's changes, the pages' signals and the follow-up requests. Signal lists
    // count only from context.signalSources (the controller and the host); the rest is
    // refused and counted. The socket's slot calls it with one context per read; so does the
    // dispatcher's benchmark.
    void handleReply(const QByteArray &datagram, const QString &sender, const kora::dispatch::Context &context);
    kora::dispatch::Context dispatchContext() const;

    // The design command language, from designed buttons and the controller
    // (imserverapi_commands.cpp).
    void analyzCustomProtocol(const QByteArray &command);
    // A KVM host's message on the host socket.
    void analyzHostMsg(const QString &ip, const QByteArray &data) { m_hosts.add(ip, data); }
    const QList<kora::devices::HostTree> &hosts() const { return m_hosts.hosts(); }
    const QMap<QString, QString> &variables() const { return m_values.variables; }

public slots:
    // Settings and local files.
    void SaveConfig();
    void SaveSignalConfig();
    void LoadSignalConfig();
    QString language(const QString &str) const;
    QString toImagePath(const QString &str) const;
    bool clearCache();
    QString codec2String(const QByteArray &bytes) const;

    // Login.
    bool ServerLogin(const QString &user, const QString &password, const QString &ip,
                     const QString &serverIp, const QString &downIp);
    void LoadLocalfile();
    // The cached design that suits the screen best ("client0_W_H.jui"), or empty.
    QString findJuiFile() const;
    // "data/image.zip" into "image/"; the old pictures stay unless the whole archive is good.
    bool unzipImage();

    // Small operations of the pages.
    QString getSysMessage(const QString &value) const;
    QStringList pageNames() const;
    void setCurrentPageFromPrivate(int index);
    double getCurrentCpu() const { return 0.0; }
    void vibrate(int duration) { Q_UNUSED(duration) }
    void ServerSwitchPage(int index) { Q_UNUSED(index) }
    bool ServerSwitchLayer(int p, int wId, int value);

    // Wall windows, layers and docks (imserverapi_walls.cpp; the sending in walls/wallcontrol.h).
    void ServerSetWindows(const QString &panel_id, const QString &cmd);
    void ServerGetWindows(const QString &panelId);
    bool ServerRefresh();
    bool ServerClearWall();
    void ServerSetAudios(const QString &ip, const QString &cmd);
    QList<int> callRectMask(const QVariantList &list) const;
    QStringList getPanelDocks() const;
    QStringList getPanelDocksV2() const;
    QVariantList getPanelDock(int index) const;
    QVariantList getPanelDockV2(int index) const;
    QVariantMap getPanelMsg(int index) const;
    QString getPanelIDFromIP(const QString &outIp) const;
    // Kept for the pages; the walls have no such settings.
    bool ServerSetModel(const QList<int> &model) { Q_UNUSED(model) return true; }
    bool ServerSetPredraw(int p, bool flg) { Q_UNUSED(p) Q_UNUSED(flg) return false; }
    bool ServerSetPanelFline(int col, int row) { Q_UNUSED(col) Q_UNUSED(row) return false; }
    bool ServerSetRefresh(int p) { Q_UNUSED(p) return false; }

    // Scenes, scene polling and cycle groups of the selected wall (imserverapi_walls.cpp; the
    // sending and the cycle groups in scenes/scenecontrol.h).
    void ServerGetScenes();
    void ServerGetScenesMsg(const QString &panelId);
    void ServerSaveScene(const QString &sceneId, const QString &name);
    void ServerEditScene(const QString &sceneId, const QString &name);
    void ServerDelScene(const QString &sceneId);
    void ServerCallScene(const QString &sceneId, bool flg_yt);
    void ServerQueryScene(const QString &sceneId, const QString &panelId);
    void ServerCallSceneCycle(const QStringList &sceneIds, const QString &secs);
    void ServerCloseSceneCycle();
    bool serverAddCycleGroup(const QString &name, int time, const QStringList &sceneIds, const QStringList &sceneNames);
    bool serverEditCycleGroup(const QString &id, const QString &newName, int time, const QStringList &sceneIds,
                              const QStringList &sceneNames);
    bool serverDelCycleGroup(const QString &name);
    QVariantMap serverGetCycleGroup(const QString &id) const;
    QVariantList serverGetCycleGroupList() const;
    void serverStartCycleGroup(const QString &panelId, const QString &name);

    // Designed buttons, sliders, matrices and control states (forwards to controls/controlsender.h).
    void ServerButtonCmd(const QStringList &Cmd);
    void ServerVX2ButtonCmd(const QVariantMap &cmdMap);
    void ServerSliderCmd(const QString &uuid, const QString &Cmd, float value, int type);
    void ServerVX2SliderCmd(const QString &uuid, const QJsonObject &cmdJosn, float value, int type);
    void ServerMatrixCmd(const QString &Cmd, const QString &xValue, const QString &yValue);
    void ServerSaveMatrixPreset(const QString &uuid, const QString &name, const QString &data);
    void ServerDelMatrixPreset(const QString &uuid, int index, const QString &data);
    QStringList ServerCallMatrixPreset(const QString &uuid, int index);
    void ServerSetStatus(const QString &uuid, const QString &data);
    void ServerGetStatus(const QString &uuid);
    void listenValue(const QString &uuid, int value) { emit callQmlRefreshListen(uuid, value); }

    // Single devices: KVM seats, cameras, marking, encoders, KVM hosts' files and alarm
    // answers (forwards to devices/devicecontrol.h, in imserverapi_devices.cpp).
    void serverKVMMouseEvent(const QString &ip, int button, int x, int y, int wheel);
    void serverKVMKeyEvent(const QString &ip, int key, int modifiers);
    void serverKVMKeyReleasedEvent(const QString &ip);
    void controlIPCMove(const QString &cameraId, int direction);
    void controlIPCZoom(const QString &cameraId, int direction);
    void controlIPCPresets(const QString &cameraId, const QString &name, int save);
    void serverInLabelStartEvent(const QString &ip);
    void serverInLabelClearEvent(const QString &ip);
    void serverInLabelEndEvent(const QString &ip);
    void serverInLabelStartPtEvent(const QString &ip, int x, int y, int w, const QString &clr);
    void serverInLabelToPtEvent(const QString &ip, int x, int y);
    void serverInLabelRectEvent(const QString &ip, int x, int y, int w, int h);
    void serverCropSignal(const QString &sId, int x, int y, int w, int h);
    void serverSetSignalSnapDip(const QString &sId, int type);
    void serverGetSignalMsg(const QString &sId);
    void serverGetHostFileInfo(const QString &vencIp);
    QJsonArray serverQueryHostFileInfo(const QString &vencIp, const QString &pid) const;
    QString serverQueryHostIpFromVenc(const QString &vencIp) const;
    void serverControlHostFile(int type, const QString &id, const QString &cmd, const QString &ip);
    void serverAudioEvent(const QString &eventID, bool select, int time);
    void serverVideoEvent(const QString &srcIP, int time, const QString &ip, int port);

    // On-screen text of the selected wall, input labels and clocks (forwards to
    // osd/osdcontrol.h, in imserverapi_devices.cpp).
    void makeOSDImage(const QVariantMap &osdMap);
    void showOSD(const QVariantMap &osdMap);
    void closeOSD(const QVariantMap &osdMap);
    void makeOSDImageV2(const QVariantMap &osdMap);
    void showOSDV2(const QVariantMap &osdMap);
    void closeOSDV2(const QVariantMap &osdMap);
    void ServerSetInNodeOSD(const QVariantMap &osdMap);
    void serverSetClocks(const QVariantList &list);
    void serverGetClocks(const QString &panel_id);
    // A picture the operator chooses becomes the selected wall's background, one piece per
    // output; `path` is not used (the dialog asks).
    void upLoadBackgroundImage(const QString &path);

    // Signal catalogue (imserverapi_catalogue.cpp).
    QVariant getSignalNum(int group) const;
    QVariant getMultiSignalNum(int group) const;
    QVariantList getSignalNumByName(const QString &str) const;
    QVariantMap getSignalMsg(int index) const;
    QVariantMap getMultiSignalMsg(int index) const;
    QStringList getSignalIp(int group) const;
    QStringList getSignalNames(int group) const;
    QStringList getSignalUrl(int group) const;
    QString getSignalUrl2(const QString &sId) const;
    QString getSignalGroupName(int index) const;
    QString getSignalName(const QString &ip) const;
    // The image source of a signal's snapshot for a page's refresh tick: it marks the signal as
    // wanted, and changes only when a new picture arrived, so an unchanged tile loads nothing.
    QString getSnapshotSource(const QString &ip) const;
    QVariant searchSignal(const QStringList &groups, const QString &str) const;
    QVariant searchSignalOfGroup(const QString &group, const QString &str) const;
    void setSignalStar(const QString &ip, bool star);
    bool isStar(const QString &ip) const;
    bool hasStar() const { return m_model.hasFavourites; }
    bool checkPermission(const QString &panel_id) const;
    bool checkSignalPermission(const QString &group_name) const;
    QJsonArray serverRefreshTreeModel(const QJsonArray &treeArray) const;

    void initialization();

    void InitSocket();
    void ServerScanNode();
    void DownloadFile(const QString &name);
    void DownloadFile();

signals:
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

private slots:
    // What the sockets and discovery receive.
    void handleReplies(const QList<kora::link::Datagram> &batch);
    void loginTimeout();
    void scanTimeout();

private:
    // What the wall, scene and on-screen text commands read of the settings and the model.
    kora::walls::Installation installation() const;
    // The design canvas, set by the project loaders.
    void setWindowSize(const QSize &size);
    void handleScanReply(const QByteArray &datagram, const QString &sender);
    void getIPCfromServer();
    // Every listed file is on disk: the package is read and the account checked.
    void readPackage();
    void analyzNewProjectJson(const QByteArray &data);
    void analyzNewDeviceJson(const QByteArray &data);
    void loadSnapshots();
    void analyzLegacyConfig(const QByteArray &data);
    // The older page reader: one page-building signal per widget block of `text`; page -1
    // holds the global widgets of the "UI" block, `pageId` names the page of its walls.
    void analyzWidgetFromStr(int pageIndex, QString text, const QString &pageId = QString());
    void apply(const kora::dispatch::Action &action);
    kora::catalogue::Lists catalogueLists() const;
    void addResourceSignals(const kora::dispatch::Action &action);
    // Builds the design's pages and announces them; `then` runs after the last announcement.
    void analyzNewDesignJson(const QByteArray &data, std::function<void()> then);
    void announce(const kora::design::Announcement &announcement);
    void checkDeviceAccount(const QByteArray &designData);
    void countLoginFailure();
    // Every way out of a download that does not log in ends here: the login flow's timers stop,
    // late fragments count for nothing (the flow left downloading), and the page is told.
    void failLogin(const QString &why);

    // Main thread.
    QString m_version;
    kora::settings::Store m_store; // the local files; the settings in use are m_store.values
    float m_aspectRatio = 0.0f;
    int m_currentPage = 0;
    QString m_selPanel;
    bool m_flgLine = true;
    QSize m_windowSize;
    QString m_title;
    QTextCodec *m_gbk = nullptr;
    kora::TranslationTable m_translations;

    kora::link::Link *m_link = nullptr;                   // the sockets
    kora::login::LoginFlow *m_login = nullptr; // the login's state and its timers
    kora::walls::WallControl *m_wallControl = nullptr;    // wall senders and their follow-ups
    kora::scenes::SceneControl *m_sceneControl = nullptr; // scenes, polling and the cycle groups
    kora::controls::ControlSender *m_controls = nullptr;   // designed controls and control states
    kora::download::PackageDownload *m_download = nullptr; // requests, checks and the cache of the package
    kora::devices::DeviceControl *m_devices = nullptr;     // KVM, cameras, marking, encoders, alarms
    kora::upload::UploadThread *m_uploads = nullptr;       // file uploads, paced in their own thread
    kora::osd::OsdControl *m_osd = nullptr;                // subtitles, input labels, clocks
    kora::upload::BackgroundUpload *m_backgrounds = nullptr; // wall background pictures
    kora::levels::Listeners *m_listeners = nullptr;          // data dockers' listener threads

    // Model, emptied by initialization().
    std::vector<kora::PageRecord> m_pages;
    kora::DeviceModel m_model; // outputs, signals, multi-signals, groups, roles, users, favourites
    std::unique_ptr<kora::UserRecord> m_currentUser;
    QList<kora::design::WallRecord> m_walls;
    kora::dispatch::State m_dispatchState; // what replies remember (matrix presets)
    kora::controls::Values m_values;       // data dockers' values and the design's variables
    QList<kora::design::StackRecord> m_stacks;
    kora::devices::HostRegistry m_hosts;   // KVM hosts that announced themselves
    int m_wholeListGroup = -1;             // the group the controller's whole signal list fills
    kora::LogThrottle m_refusals;          // refused datagrams and list entries: a line per kind and interval
    quint64 m_refusedSignals = 0;          // listed signals the caps left out
    QList<kora::PictureRecord> m_pictures; // "pic.dat" of an older host, named by its configuration
    kora::video::Snapshots *m_snapshots = nullptr; // snapshot readers: stopped and joined on reset

    // Controller link (main thread).
    QList<NodeEntry> m_nodes;
    int m_hostIndex = -1;
    QString m_projectMark;          // an older host's picture mark, kept across logins
    bool m_picturesChanged = false; // the mark changed, and "pic.dat" has not arrived since
    bool m_encryptedPasswords = false;
    QString m_macAddress;
    QElapsedTimer m_loginElapsed;
    quint64 m_loginCount = 0; // logins started: what an earlier one scheduled sees it changed
    std::function<qint64()> m_clock;

    // Design announcements in progress (main thread).
    kora::design::Announcer *m_announcer = nullptr;
    std::function<void()> m_afterAnnouncing; // what the login does once the pages are built

    kora::discovery::Discovery *m_discovery = nullptr; // its worker in the thread "discovery"
};
