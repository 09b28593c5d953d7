// The design model: the pages and widgets of the design file announced to the pages, the
// login page of the cached design at start-up, and the picture archive.
#include "controller/imserverapi.h"

#include "archive/zipreader.h"
#include "levels/listenthread.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

using namespace kora;

void ImServerApi::analyzNewDesignJson(const QByteArray &data, std::function<void()> then)
{
    design::DesignBuild build = design::buildDesign(data, {&m_model, m_currentUser.get()});
    if (!build.parsed)
        KWARN(lcApi) << "the design file does not parse; no page is built";
    for (const PageRecord &page : qAsConst(build.pages))
        m_pages.push_back(page);
    m_walls = build.walls;
    // One listener per level docker, from this login until the next login or logout.
    m_listeners->stopAll();
    for (const design::ListenerSettings &listener : qAsConst(build.listeners))
        m_listeners->add(listener.name, listener.send, listener.recv);
    KINFO(lcApi) << "design:" << build.pages.size() << "pages" << build.walls.size() << "walls"
                  << build.announcements.size() << "widgets" << build.visibilitySets.size() << "visibility sets";
    m_stacks = std::move(build.stacks);
    m_afterAnnouncing = std::move(then);
    m_announcer->start(std::move(build.announcements), std::move(build.visibilitySets));
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

QString ImServerApi::findJuiFile() const
{
    QDir dir(m_store.dataDir());
    if (!dir.exists())
        return QString();
    const QStringList names = dir.entryList({QStringLiteral("client*.jui")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double aspect = screen && screen->size().height() > 0
                              ? double(screen->size().width()) / screen->size().height()
                              : double(m_aspectRatio);
    const int best = design::chooseJuiFile(names, aspect);
    KTRACE(lcApi) << "findJuiFile" << aspect << names << (best >= 0 ? names.at(best) : QString());
    return best >= 0 ? names.at(best) : QString();
}

void ImServerApi::LoadLocalfile()
{
    // The login page again (start-up or logout): the last login's pictures are not read any
    // more, nor its equipment.
    m_snapshots->clear();
    m_listeners->stopAll();
    m_login->reset();
    const QString name = findJuiFile();
    if (!name.isEmpty()) {
        QFile file(m_store.dataFile(name));
        const design::LoginPage login = file.open(QIODevice::ReadOnly) ? design::buildLoginPage(file.readAll())
                                                                       : design::LoginPage{};
        if (login.found) {
            if (login.designSize.isValid())
                setWindowSize(login.designSize);
            emit callQmlSetLogin(login.look);
            for (const design::Announcement &a : login.items.announcements)
                announce(a);
            KINFO(lcApi) << "open new design success!" << name;
        } else {
            KINFO(lcApi) << "no login page in the cached design" << name;
        }
    }
    QVariantMap map;
    map.insert(QStringLiteral("localIp"), m_store.values.localIp);
    map.insert(QStringLiteral("serverIp"), m_store.values.serverIp);
    map.insert(QStringLiteral("downIp"), m_store.values.downIp);
    map.insert(QStringLiteral("username"), m_store.values.username);
    map.insert(QStringLiteral("password"), m_store.values.password);
    map.insert(QStringLiteral("flgRemb"), m_store.values.flgRemb);
    emit callQmlLastMsg(map);
}

bool ImServerApi::unzipImage()
{
    const archive::UnpackResult result = archive::unpackArchive(m_store.dataFile(QStringLiteral("image.zip")), m_store.imageDir());
    if (!result.ok)
        KWARN(lcDownload) << "image.zip not unpacked, the pictures of the last project stay:" << result.reason;
    else
        KINFO(lcDownload) << "image.zip:" << result.files << "files" << result.folders << "folders" << result.skipped
                           << "skipped" << result.bytes << "bytes";
    return result.ok;
}
