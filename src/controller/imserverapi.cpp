// Construction, properties, the small operations of the pages, the model reset, the local
// files, and the pages a login's design becomes.
#include "controller/imserverapi.h"

#include "log/categories.h"
#include "log/trace.h"
#include "package/legacyconfig.h"
#include "package/legacyitems.h"
#include "package/legacywidgets.h"
#include "settings/translations.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextCodec>
#include <QThread>
#include <algorithm>

using namespace kora;

ImServerApi::ImServerApi(link::Sender &link, settings::Store &store, Clock clock, float screenAspect, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_store(store)
    , m_aspectRatio(screenAspect)
    , m_session(link, store, m_project, std::move(clock))
    // Walls and scenes read the installation as it is when each command is composed.
    , m_wallControl(link, [this] { return installation(); })
    , m_sceneControl(m_wallControl)
    // Control states are kept by the host the node scan chose.
    , m_controls(link, m_values, m_dispatchState.matrixPresets, [this] {
        QStringList hosts;
        for (const login::Session::Node &node : m_session.nodes())
            hosts.append(node.address);
        return link::selectedHost(hosts, m_session.hostIndex());
    })
    , m_devices(link, m_project.devices.signalList, store.values, [this] { return m_hosts.hosts(); })
    , m_osd(link, m_uploads, [this] { return installation(); })
    , m_backgrounds(m_uploads)
{
    KINFO(lcApi) << "current m_aspect_ratio is :" << m_aspectRatio;
    KTRACE(lcApi) << "main thread id:" << QThread::currentThreadId();
    connect(&m_wallControl, &walls::WallControl::silentOutputsChanged, this, &ImServerApi::silentOutputsChanged);

    // The login reports its course; what it accepted becomes the pages.
    m_session.setScreenAspect(screenAspect);
    using login::Session;
    connect(&m_session, &Session::modelReset, this, &ImServerApi::initialization);
    connect(&m_session, &Session::progress, this, &ImServerApi::callDownProgress);
    connect(&m_session, &Session::projectLoaded, this, [this](int sysEn) { emit callQmlLoad(true, sysEn); });
    connect(&m_session, &Session::designSizeChosen, this, &ImServerApi::setWindowSize);
    connect(&m_session, &Session::message, this, &ImServerApi::callLoginMsgError);
    connect(&m_session, &Session::signalsRead, this, &ImServerApi::loadSnapshots);
    connect(&m_session, &Session::designAccepted, this, &ImServerApi::analyzNewDesignJson);
    connect(&m_session, &Session::olderPagesRead, this, &ImServerApi::buildOlderPages);
    connect(&m_session, &Session::finished, this, &ImServerApi::callQmlLogin);
    connect(&m_session, &Session::olderPagesComplete, this, &ImServerApi::callQmlInitPanel);

    // The built design reaches the pages in order; the login ends once they are built.
    connect(&m_announcer, &design::Announcer::announce, this, &ImServerApi::announce);
    connect(&m_announcer, &design::Announcer::allAnnounced, this, [this] {
        emit callQmlInitPanel();
        KINFO(lcApi) << "pages built";
    });
    connect(&m_announcer, &design::Announcer::visibility, this, &ImServerApi::callSetWidgetVisible);
    connect(&m_announcer, &design::Announcer::finished, &m_session, &Session::pagesBuilt);

    // A wall's polling and subtitles are published and kept by the installation, so every
    // client sees them.
    connect(&m_sceneControl, &scenes::SceneControl::stateToStore, this, &ImServerApi::ServerSetStatus);
    connect(&m_osd, &osd::OsdControl::stateToStore, this, &ImServerApi::ServerSetStatus);
    connect(&m_osd, &osd::OsdControl::notShown, this, [this](const QString &why) { emit callLoginMsgError(language(why)); });
    connect(&m_backgrounds, &upload::BackgroundUpload::progress, this, &ImServerApi::callLoadBKImage);
    connect(&m_backgrounds, &upload::BackgroundUpload::notSent, this, [this](const QString &why) {
        emit callLoginMsgError(language(QStringLiteral("The background was not sent whole: %1").arg(why)));
    });

    connect(&m_controls, &controls::ControlSender::internalCommand, this, &ImServerApi::analyzCustomProtocol);
    connect(&m_controls, &controls::ControlSender::switchPage, this,
            [this](const QStringList &pages) { emit callCustomProtocol(QStringLiteral("InlineSwitchPage"), pages); });
    connect(&m_controls, &controls::ControlSender::widgetsVisible, this, &ImServerApi::callSetWidgetVisible);

    connect(&m_devices, &devices::DeviceControl::audioEvent, this, &ImServerApi::callQmlAudioEvent);
    connect(&m_devices, &devices::DeviceControl::videoEvent, this, &ImServerApi::callQmlVideoEvent);
    connect(&m_devices, &devices::DeviceControl::eventOver, this, &ImServerApi::callQmlEventOver);

    // Data dockers' values reach the page and the value table that wildcards read.
    connect(&m_listeners, &levels::Listeners::value, this, &ImServerApi::listenValue);
    connect(&m_listeners, &levels::Listeners::valueText, this,
            [this](const QString &uuid, const QString &key, const QString &text) { m_values.dockers[uuid].insert(key, text); });

    loadTranslationTable(m_store.dataDir(), m_project.translations);
}

ImServerApi::~ImServerApi()
{
    shutdown();
}

void ImServerApi::shutdown()
{
    initialization();
}

walls::Installation ImServerApi::installation() const
{
    walls::Installation in;
    in.serverIp = m_store.values.serverIp;
    in.multicast = m_store.values.multicast;
    in.nodesAnswered = !m_session.nodes().isEmpty();
    in.walls = m_walls;
    in.outputs = m_project.devices.outputs;
    return in;
}

int ImServerApi::panelNum() const
{
    if (m_currentPage < 0 || size_t(m_currentPage) >= m_project.pages.size())
        return 0;
    const QString page = m_project.pages[size_t(m_currentPage)].id;
    return int(std::count_if(m_walls.cbegin(), m_walls.cend(), [&page](const design::WallRecord &w) { return w.pageId == page; }));
}

void ImServerApi::setTcpDown(const QStringList &targets)
{
    if (targets == m_tcpDown)
        return;
    m_tcpDown = targets;
    emit tcpDownChanged();
}

void ImServerApi::setCurrentPage(int page)
{
    if (m_currentPage == page)
        return;
    m_currentPage = page;
    emit currentPageChanged();
}

void ImServerApi::setSelPanel(const QString &panel)
{
    if (m_selPanel == panel)
        return;
    m_selPanel = panel;
    emit selPanelChanged();
}

void ImServerApi::setFlgLine(bool flg)
{
    if (m_flgLine == flg)
        return;
    m_flgLine = flg;
    emit flgLineChanged();
}

void ImServerApi::setFlgRemb(bool flg)
{
    if (m_store.values.flgRemb == flg)
        return;
    m_store.values.flgRemb = flg;
    emit flgRembChanged();
}

void ImServerApi::setMode(int mode)
{
    if (m_store.values.mode == mode)
        return;
    m_store.values.mode = mode;
    emit modeChanged();
}

void ImServerApi::setWindowSize(const QSize &size)
{
    if (m_windowSize == size)
        return;
    m_windowSize = size;
    emit windowSizeChanged();
}

QString ImServerApi::getSysMessage(const QString &value) const
{
    if (value == QLatin1String("username"))
        return m_store.values.username;
    if (value == QLatin1String("password"))
        return m_store.values.password;
    if (value == QLatin1String("serverIp"))
        return m_store.values.serverIp;
    return QString(); // "title" too: no package names a project title
}

QStringList ImServerApi::pageNames() const
{
    QStringList names;
    if (!m_project.currentUser)
        return names;
    for (const QString &id : m_project.currentUser->pageIds) {
        for (const PageRecord &page : m_project.pages) {
            if (page.id == id) {
                names.append(page.name);
                break;
            }
        }
    }
    return names;
}

void ImServerApi::setCurrentPageFromPrivate(int index)
{
    if (m_project.currentUser)
        setCurrentPage(walls::pageFromPrivate(m_project.currentUser->pageIds, m_project.pages, index, m_currentPage));
}

void ImServerApi::initialization()
{
    KINFO(lcApi) << "initialization";
    m_announcer.stop();
    m_walls.clear();
    m_sceneControl.clear();
    m_listeners.stopAll();
    m_values.dockers.clear();
    m_stacks.clear();
    m_hosts.clear();
    m_wholeListGroup = -1;
    m_project = {};
    m_snapshots.clear();
    m_wallControl.forgetAnswers();
    KTRACE(lcApi) << "initialization end";
}

void ImServerApi::SaveSignalConfig()
{
    m_store.saveStarred(catalogue::starredAddresses(m_project.devices.signalList));
}

QString ImServerApi::codec2String(const QByteArray &bytes) const
{
    static QTextCodec *const gbk = QTextCodec::codecForName("GBK");
    return gbk ? gbk->toUnicode(bytes) : QString::fromLatin1(bytes);
}

bool ImServerApi::clearCache()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Clear cache"), QStringLiteral("Do you want to clear cache?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes)
        return false;
    return m_store.clear();
}

void ImServerApi::LoadLocalfile()
{
    // The login page again (start-up or logout): the last login's pictures are not read any
    // more, nor its equipment.
    m_snapshots.clear();
    m_listeners.stopAll();
    m_session.reset();
    // The cached design that suits the screen best ("client0_W_H.jui").
    const QStringList names = QDir(m_store.dataDir()).entryList({QStringLiteral("client*.jui")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    const int best = design::chooseJuiFile(names, double(m_aspectRatio));
    KTRACE(lcApi) << "findJuiFile" << m_aspectRatio << names << (best >= 0 ? names.at(best) : QString());
    if (best >= 0) {
        QFile file(m_store.dataFile(names.at(best)));
        const design::LoginPage login = file.open(QIODevice::ReadOnly) ? design::buildLoginPage(file.readAll()) : design::LoginPage{};
        if (login.found) {
            if (login.designSize.isValid())
                setWindowSize(login.designSize);
            emit callQmlSetLogin(login.look);
            for (const design::Announcement &a : login.items.announcements)
                announce(a);
            KINFO(lcApi) << "open new design success!" << names.at(best);
        } else {
            KINFO(lcApi) << "no login page in the cached design" << names.at(best);
        }
    }
    const ControlSettings &s = m_store.values;
    emit callQmlLastMsg({{QStringLiteral("localIp"), s.localIp}, {QStringLiteral("serverIp"), s.serverIp},
                         {QStringLiteral("downIp"), s.downIp}, {QStringLiteral("username"), s.username},
                         {QStringLiteral("password"), s.password}, {QStringLiteral("flgRemb"), s.flgRemb}});
}

void ImServerApi::upLoadBackgroundImage(const QString &)
{
    const QString file = QFileDialog::getOpenFileName(nullptr, language(QStringLiteral("open image file")),
                                                      QStringLiteral("./"), QStringLiteral("Image files(*.bmp *.jpg )"));
    if (file.isEmpty()) {
        QMessageBox::warning(nullptr, language(QStringLiteral("Warning")), language(QStringLiteral("Failed to open picture!")));
        return;
    }
    const design::WallRecord *wall = walls::findWall(m_walls, m_selPanel);
    if (!wall) {
        KTRACE(lcApi) << "no wall" << m_selPanel << "for the background";
        return;
    }
    m_backgrounds.startFromFile(m_selPanel, file, wall->virtualResolution, wall->decoderAddresses, wall->cellRects);
}

QStringList ImServerApi::getPanelDocks() const
{
    return walls::dockNames(m_walls, m_selPanel, m_project.translations, walls::DockGeneration::First);
}

QStringList ImServerApi::getPanelDocksV2() const
{
    const QStringList names = walls::dockNames(m_walls, m_selPanel, m_project.translations, walls::DockGeneration::Second);
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
    const QVariantMap map = walls::panelMessage(m_project.pages, m_walls, m_currentPage, index);
    KTRACE(lcApi) << "getPanelMsg" << m_currentPage << index << map;
    return map;
}

// A record and a reader for each signal of the project just read.
void ImServerApi::loadSnapshots()
{
    m_wholeListGroup = -1; // the group list is the package's now
    QList<video::SignalSnapshot> snapshots;
    for (const SignalRecord &s : m_project.devices.signalList)
        snapshots.append({s.ip, s.snapshotUrl});
    m_snapshots.setPictureSize(m_store.values.maxSnap.isValid() ? m_store.values.maxSnap : QSize(640, 360));
    m_snapshots.load(snapshots);
}

void ImServerApi::analyzNewDesignJson(const QByteArray &data)
{
    design::DesignBuild build = design::buildDesign(data, {&m_project.devices, m_project.user()});
    if (!build.parsed)
        KWARN(lcApi) << "the design file does not parse; no page is built";
    for (const PageRecord &page : qAsConst(build.pages))
        m_project.pages.push_back(page);
    m_walls = build.walls;
    // One listener per level docker, from this login until the next login or logout.
    m_listeners.stopAll();
    for (const design::ListenerSettings &listener : qAsConst(build.listeners))
        m_listeners.add(listener.name, listener.send, listener.recv);
    KINFO(lcApi) << "design:" << build.pages.size() << "pages" << build.walls.size() << "walls"
                 << build.announcements.size() << "widgets" << build.visibilitySets.size() << "visibility sets";
    m_stacks = std::move(build.stacks);
    m_announcer.start(std::move(build.announcements), std::move(build.visibilitySets));
}

void ImServerApi::announce(const design::Announcement &a)
{
    using design::Target;
    switch (a.target) {
    case Target::Page:
        emit callQmlCreateVX2Page(a.map);
        KTRACE(lcApi) << "page" << a.map;
        break;
    case Target::Rect: emit callQmlCreateVX2Rect(a.pageId, a.map); break;
    case Target::Screen: emit callQmlCreateVX2Screen(a.pageId, a.map); break;
    case Target::Button: emit callQmlCreateVX2Button(a.pageId, a.map); break;
    case Target::Text: emit callQmlCreateVX2Text(a.pageId, a.map); break;
    case Target::Date: emit callQmlCreateVX2Date(a.pageId, a.map); break;
    case Target::Preview: emit callQmlCreateVX2Preview(a.pageId, a.map); break;
    case Target::Slider: emit callQmlCreateVX2Slider(a.pageId, a.map); break;
    case Target::TreeView: emit callQmlCreateVX2TreeView(a.pageId, a.map); break;
    case Target::InputBox: emit callQmlCreateVX2InputBox(a.pageId, a.map); break;
    case Target::Docker: emit callQmlCreateVX2Docker(a.pageId, a.map); break;
    case Target::Monitor: emit callQmlCreateVX2Monitor(a.pageId, a.map); break;
    case Target::Web: emit callQmlCreateVX2Web(a.pageId, a.map); break;
    case Target::Stack: emit callQmlCreateVX2Stack(a.pageId, a.map); break;
    case Target::LoginButton: emit callQmlSetLoginVX2Button(a.map); break;
    case Target::LoginInputBox: emit callQmlSetLoginVX2InputBox(a.map); break;
    }
}

void ImServerApi::buildOlderPages(const package::LegacyConfig &config)
{
    m_dispatchState.matrixPresets.clear(); // the matrices of this project register below
    analyzWidgetFromStr(-1, config.uiText, QString());
    for (size_t i = 0; i < config.pages.size(); ++i) {
        const package::LegacyPage &page = config.pages[i];
        emit callQmlCreatePage(page.id);
        emit callQmlCreateVX2Page(package::design2Page(page.id, page.name));
        analyzWidgetFromStr(int(i), page.text, page.id);
    }
}

void ImServerApi::analyzWidgetFromStr(int pageIndex, const QString &text, const QString &pageId)
{
    // Each widget goes out in its older form and as the Design 2.0 items the page host builds;
    // lists and matrices share their signal, so they go out once, with both sets of keys.
    const QString vx2Page = pageIndex == -1 ? QStringLiteral("-1") : pageId;
    package::LegacyPageWidgets page = package::readLegacyWidgets(text);
    for (const package::LegacyWidget &w : qAsConst(page.widgets)) {
        switch (w.kind) {
        case package::LegacyKind::Rect: emit callQmlCreateRect(pageIndex, w.map); break;
        case package::LegacyKind::Text: emit callQmlCreateText(pageIndex, w.map); break;
        case package::LegacyKind::Panel: emit callQmlCreatePanel(pageIndex, w.map); break;
        case package::LegacyKind::Button: emit callQmlCreateButton(pageIndex, w.map, w.state0, w.state1); break;
        case package::LegacyKind::Preview: emit callQmlCreatePreview(pageIndex, w.groups, w.map); break;
        case package::LegacyKind::Slider: emit callQmlCreateSlider(pageIndex, w.map); break;
        case package::LegacyKind::SearchBox: emit callQmlCreateSearchBox(pageIndex, w.map); break;
        case package::LegacyKind::Listen: {
            emit callQmlCreateListen(pageIndex, w.map);
            const package::ListenerMaps listener = package::listenerMaps(w.map);
            const QString uuid = w.map.value(QStringLiteral("UUID")).toString();
            if (listener.send.isEmpty())
                KWARN(lcApi) << "level display" << uuid << "names no target or request; it reads nothing";
            else
                m_listeners.add(uuid, listener.send, listener.recv);
            break;
        }
        case package::LegacyKind::Matrix:
        case package::LegacyKind::List: break;
        }
        for (const package::Design2Item &item : package::design2Items(w)) {
            switch (item.kind) {
            case package::Design2Kind::Screen: emit callQmlCreateVX2Screen(vx2Page, item.map); break;
            case package::Design2Kind::Rect: emit callQmlCreateVX2Rect(vx2Page, item.map); break;
            case package::Design2Kind::Text: emit callQmlCreateVX2Text(vx2Page, item.map); break;
            case package::Design2Kind::Date: emit callQmlCreateVX2Date(vx2Page, item.map); break;
            case package::Design2Kind::Button: emit callQmlCreateVX2Button(vx2Page, item.map); break;
            case package::Design2Kind::Preview: emit callQmlCreateVX2Preview(vx2Page, item.map); break;
            case package::Design2Kind::Slider: emit callQmlCreateVX2Slider(vx2Page, item.map); break;
            case package::Design2Kind::InputBox: emit callQmlCreateVX2InputBox(vx2Page, item.map); break;
            case package::Design2Kind::Docker: emit callQmlCreateVX2Docker(vx2Page, item.map); break;
            case package::Design2Kind::List: emit callQmlCreateList(pageIndex, item.map); break;
            case package::Design2Kind::Matrix:
                // A known matrix: its "M_" states and presets are kept from now on.
                m_dispatchState.matrixPresets.insert(item.map.value(QStringLiteral("uuid")).toString(), {});
                emit callQmlCreateMatrix(pageIndex, item.map);
                break;
            }
        }
    }
    for (design::WallRecord &wall : page.walls) {
        wall.pageId = pageId;
        m_walls.append(wall);
    }
    KTRACE(lcApi) << "legacy page" << pageIndex << ":" << page.widgets.size() << "widgets" << page.walls.size() << "walls";
}
