// Construction, properties, the small operations of the pages and the model reset.
#include "controller/imserverapi.h"

#include "controls/controlsender.h"
#include "devices/devicecontrol.h"
#include "levels/listenthread.h"
#include "osd/osdcontrol.h"
#include "upload/background.h"
#include "upload/uploader.h"
#include "download/udpthread.h"
#include "log/categories.h"
#include "log/trace.h"
#include "package/packagereaders.h"
#include "scenes/scenecontrol.h"
#include "walls/wallcontrol.h"

#include <QDir>
#include <QGuiApplication>
#include <QNetworkInterface>
#include <QScreen>
#include <QTextCodec>
#include <QThread>
#include <QTimer>

namespace kora {

QString chooseLocalIp(const QList<QHostAddress> &addresses)
{
    QString chosen;
    for (const QHostAddress &address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const QString text = address.toString();
        if (!text.contains(QLatin1String("127.0.")) && !text.contains(QLatin1String("169.254.")))
            chosen = text;
    }
    return chosen;
}

QString keptLocalIp(const QString &saved, const QList<QHostAddress> &addresses)
{
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() == saved)
            return saved;
    }
    return chooseLocalIp(addresses);
}

} // namespace kora

ImServerApi::ImServerApi(QObject *parent)
    : QObject(parent)
    , m_version(QStringLiteral("v1.9.1"))
    , m_store(QDir::currentPath())
    , m_snapshots(new kora::video::Snapshots(this))
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        m_aspectRatio = size.height() > 0 ? float(size.width()) / float(size.height()) : 0.0f;
    }
    KINFO(lcApi) << "current m_aspect_ratio is :" << m_aspectRatio;
    KTRACE(lcApi) << "main thread id:" << QThread::currentThreadId();

    m_link = new kora::link::Link(this);
    connect(m_link, &kora::link::Link::commandsReceived, this, &ImServerApi::handleReplies);
    connect(m_link, &kora::link::Link::scanReplyReceived, this, &ImServerApi::handleScanReply);
    connect(m_link, &kora::link::Link::hostMessageReceived, this, &ImServerApi::analyzHostMsg);
    m_link->open();

    m_login = new kora::login::LoginFlow(kora::login::Timings{1000, kWatchdogMs, UDPThread::kSilenceMs, 3}, this);
    connect(m_login, &kora::login::LoginFlow::scanWindowClosed, this, &ImServerApi::scanTimeout);
    connect(m_login, &kora::login::LoginFlow::stalled, this, &ImServerApi::loginTimeout);

    // The built design reaches the pages in order; the login ends once they are built.
    m_announcer = new kora::design::Announcer(this);
    connect(m_announcer, &kora::design::Announcer::announce, this, &ImServerApi::announce);
    connect(m_announcer, &kora::design::Announcer::allAnnounced, this, [this] {
        emit callQmlInitPanel();
        KINFO(lcApi) << "pages built";
    });
    connect(m_announcer, &kora::design::Announcer::visibility, this, &ImServerApi::callSetWidgetVisible);
    connect(m_announcer, &kora::design::Announcer::finished, this, [this] {
        if (auto then = std::exchange(m_afterAnnouncing, nullptr))
            then();
    });

    // The package comes from the host the node scan chose.
    m_download = new kora::download::PackageDownload(*m_link, *m_login, [this] {
        kora::download::Source source;
        source.localIp = m_store.values.localIp;
        if (m_hostIndex >= 0 && m_hostIndex < m_nodes.size()) {
            source.hostAddress = m_nodes.at(m_hostIndex).address;
            source.hostTag = m_nodes.at(m_hostIndex).hostTag;
        }
        return source;
    }, m_store.dataDir(), this);
    connect(m_login, &kora::login::LoginFlow::requestUnanswered, m_download, &kora::download::PackageDownload::repeat);
    connect(m_download, &kora::download::PackageDownload::progress, this, &ImServerApi::callDownProgress);
    connect(m_download, &kora::download::PackageDownload::failed, this, &ImServerApi::failLogin);
    connect(m_download, &kora::download::PackageDownload::complete, this, &ImServerApi::readPackage);
    connect(m_download, &kora::download::PackageDownload::olderPictures, this, [this](const QByteArray &data) {
        m_picturesChanged = false;
        m_pictures.clear();
        for (const QByteArray &bytes : kora::package::cutPictureContainer(data))
            m_pictures.append({QString(), bytes});
        KINFO(lcDownload) << "pic.dat:" << m_pictures.size() << "pictures";
    });
    connect(m_download, &kora::download::PackageDownload::olderConfig, this, &ImServerApi::analyzLegacyConfig);
    m_download->start();

    // Walls and scenes read the installation as it is when each command is composed.
    m_wallControl = new kora::walls::WallControl(*m_link, [this] { return installation(); }, {}, this);
    m_sceneControl = new kora::scenes::SceneControl(*m_wallControl, {}, this);
    // A wall's polling is published and kept by the installation, so every client sees it.
    connect(m_sceneControl, &kora::scenes::SceneControl::stateToStore, this, &ImServerApi::ServerSetStatus);

    // Designed controls; control states are kept by the host the node scan chose.
    m_controls = new kora::controls::ControlSender(*m_link, m_values, m_dispatchState.matrixPresets, [this] {
        QStringList hosts;
        for (const NodeEntry &node : qAsConst(m_nodes))
            hosts.append(node.address);
        return kora::link::selectedHost(hosts, m_hostIndex);
    }, this);
    connect(m_controls, &kora::controls::ControlSender::internalCommand, this, &ImServerApi::analyzCustomProtocol);
    connect(m_controls, &kora::controls::ControlSender::switchPage, this,
            [this](const QStringList &pages) { emit callCustomProtocol(QStringLiteral("InlineSwitchPage"), pages); });
    connect(m_controls, &kora::controls::ControlSender::widgetsVisible, this, &ImServerApi::callSetWidgetVisible);

    // Single devices read the signal list and the settings in place; the KVM hosts are the
    // ones that announced themselves.
    m_devices = new kora::devices::DeviceControl(*m_link, m_model.signalList, m_store.values,
                                                 [this] { return m_hosts.hosts(); }, this);
    connect(m_link, &kora::link::Link::eventReceived, m_devices, &kora::devices::DeviceControl::handleEvent);
    connect(m_devices, &kora::devices::DeviceControl::audioEvent, this, &ImServerApi::callQmlAudioEvent);
    connect(m_devices, &kora::devices::DeviceControl::videoEvent, this, &ImServerApi::callQmlVideoEvent);
    connect(m_devices, &kora::devices::DeviceControl::eventOver, this, &ImServerApi::callQmlEventOver);

    // Uploads are paced in their own thread; subtitles wait for their picture's upload.
    m_uploads = new kora::upload::UploadThread({}, this);
    // Receivers answer an upload to the port it came from: the command socket's.
    m_uploads->sendFrom(m_link->commandDescriptor());
    m_osd = new kora::osd::OsdControl(*m_link, *m_uploads, [this] { return installation(); }, this);
    connect(m_osd, &kora::osd::OsdControl::stateToStore, this, &ImServerApi::ServerSetStatus);
    m_backgrounds = new kora::upload::BackgroundUpload(*m_uploads, this);
    connect(m_backgrounds, &kora::upload::BackgroundUpload::progress, this, &ImServerApi::callLoadBKImage);
    connect(m_backgrounds, &kora::upload::BackgroundUpload::notSent, this, [this](const QString &why) {
        emit callLoginMsgError(language(QStringLiteral("The background was not sent whole: %1").arg(why)));
    });
    connect(m_osd, &kora::osd::OsdControl::notShown, this,
            [this](const QString &why) { emit callLoginMsgError(language(why)); });

    // Data dockers' values reach the page and the value table that wildcards read.
    m_listeners = new kora::levels::Listeners(this);
    connect(m_listeners, &kora::levels::Listeners::value, this, &ImServerApi::listenValue);
    connect(m_listeners, &kora::levels::Listeners::valueText, this,
            [this](const QString &uuid, const QString &key, const QString &text) { m_values.dockers[uuid].insert(key, text); });

    m_discovery = new kora::discovery::Discovery(m_version, this);
    m_discovery->start();

    m_gbk = QTextCodec::codecForName("GBK");

    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses)
        KTRACE(lcLink) << "local address" << address.toString();

    kora::loadTranslationTable(m_store.dataDir(), m_translations);
    m_store.load();
    // A stored address of a network this machine has left would make every login fail.
    const QString saved = m_store.values.localIp;
    m_store.values.localIp = kora::keptLocalIp(saved, addresses);
    if (!saved.isEmpty() && m_store.values.localIp != saved)
        KWARN(lcLink) << "the stored local address" << saved << "is not this machine's; using" << m_store.values.localIp;
}

kora::walls::Installation ImServerApi::installation() const
{
    kora::walls::Installation in;
    in.serverIp = m_store.values.serverIp;
    in.multicast = m_store.values.multicast;
    in.nodesAnswered = !m_nodes.isEmpty();
    in.walls = m_walls;
    in.outputs = m_model.outputs;
    return in;
}

ImServerApi::~ImServerApi()
{
    shutdown();
}

void ImServerApi::shutdown()
{
    initialization();
    m_discovery->shutdown();
    m_download->shutdown();
}

int ImServerApi::panelNum() const
{
    // Walls per page come with the design model; no pages, no walls.
    return 0;
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

void ImServerApi::setWindowSize(const QSize &size)
{
    if (m_windowSize == size)
        return;
    m_windowSize = size;
    emit windowSizeChanged();
}

void ImServerApi::setMode(int mode)
{
    if (m_store.values.mode == mode)
        return;
    m_store.values.mode = mode;
    emit modeChanged();
}

void ImServerApi::setCurrentUser(std::unique_ptr<kora::UserRecord> user)
{
    m_currentUser = std::move(user);
}

QString ImServerApi::getSysMessage(const QString &value) const
{
    if (value == QLatin1String("username"))
        return m_store.values.username;
    if (value == QLatin1String("password"))
        return m_store.values.password;
    if (value == QLatin1String("serverIp"))
        return m_store.values.serverIp;
    if (value == QLatin1String("title"))
        return m_title;
    return QString();
}

QStringList ImServerApi::pageNames() const
{
    QStringList names;
    if (!m_currentUser)
        return names;
    for (const QString &id : m_currentUser->pageIds) {
        for (const kora::PageRecord &page : m_pages) {
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
    if (!m_currentUser)
        return;
    setCurrentPage(kora::walls::pageFromPrivate(m_currentUser->pageIds, m_pages, index, m_currentPage));
}

bool ImServerApi::ServerSwitchLayer(int p, int wId, int value)
{
    Q_UNUSED(p)
    Q_UNUSED(wId)
    Q_UNUSED(value)
    return false;
}

void ImServerApi::initialization()
{
    KINFO(lcApi) << "initialization";
    m_announcer->stop();
    m_afterAnnouncing = nullptr;
    m_walls.clear();
    m_sceneControl->clear();
    m_listeners->stopAll();
    m_values.dockers.clear();
    m_stacks.clear();
    m_hosts.clear();
    m_wholeListGroup = -1;
    m_currentUser.reset();
    m_model = {};
    m_pages.clear();
    m_translations.clear();
    m_snapshots->clear();
    KTRACE(lcApi) << "initialization end";
}

