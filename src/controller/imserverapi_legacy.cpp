// The older project form: "pic.dat" and "config_host.cfg" instead of the JSON package.
#include "controller/imserverapi.h"

#include "levels/listenthread.h"
#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "package/legacyconfig.h"
#include "package/legacyitems.h"
#include "package/legacywidgets.h"

#include <QTextCodec>
#include <QTimer>

using namespace kora;

void ImServerApi::analyzLegacyConfig(const QByteArray &data)
{
    m_login->analysing();
    initialization();
    m_dispatchState.matrixPresets.clear(); // the matrices of this project register below
    KTRACE(lcDownload) << "LoadLocalfile" << data.size();
    const QString text = m_gbk->toUnicode(data);
    m_download->store(QStringLiteral("config_host.cfg"), data);
    package::LegacyConfig config = package::parseLegacyConfig(text);

    m_model.users = std::move(config.users);
    m_model.roles = std::move(config.roles);
    if (!config.encryptValue.isEmpty()) {
        m_encryptedPasswords = config.encrypted;
        KTRACE(lcDownload) << "encrypt" << config.encryptValue;
    }
    if (!checkAccount()) {
        m_login->fail(QStringLiteral("account refused"));
        emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
        return;
    }

    for (int i = 0; i < config.pictureNames.size() && i < m_pictures.size(); ++i) {
        PictureRecord &picture = m_pictures[i];
        picture.name = config.pictureNames.at(i);
        if (!link::isSafeFileName(picture.name)) {
            KWARN(lcDownload) << "picture" << i << "has an unsafe name; not written:" << picture.name.left(80);
            continue;
        }
        m_download->store(picture.name, picture.bytes);
    }
    for (auto it = config.translations.cbegin(); it != config.translations.cend(); ++it)
        m_translations.insert(it.key(), it.value());
    m_model.outputs = std::move(config.outputs);
    m_model.signalList = std::move(config.signalList);
    m_model.multiSignals = std::move(config.multiSignals);
    m_model.groups = std::move(config.groups);
    loadSnapshots();
    KINFO(lcDownload) << "config_host.cfg:" << m_model.users.size() << "users" << m_model.signalList.size() << "signals"
                       << m_model.multiSignals.size() << "multi-signals" << m_model.groups.size() << "groups" << m_model.outputs.size()
                       << "decoders";

    KINFO(lcDownload) << "package read; elapsed" << m_loginElapsed.elapsed() << "ms";
    if (config.hasUi) {
        if (config.designSize.isValid())
            setWindowSize(config.designSize);
        emit callQmlLoad(true, config.sysEn);
        // The page list is complete before the global widgets: a page list among them reads it.
        for (const package::LegacyPage &page : config.pages)
            m_pages.push_back({page.name, page.id});
        analyzWidgetFromStr(-1, config.uiText);
        for (size_t i = 0; i < config.pages.size(); ++i) {
            const package::LegacyPage &page = config.pages[i];
            emit callQmlCreatePage(page.id);
            emit callQmlCreateVX2Page(package::design2Page(page.id, page.name));
            analyzWidgetFromStr(int(i), page.text, page.id);
        }
        KINFO(lcApi) << "pages built";
    }
    if (m_currentUser) {
        m_login->loggedIn();
        emit callQmlLogin(true);
        emit callQmlInitPanel();
        SaveConfig();
    }
    getIPCfromServer();
}

void ImServerApi::analyzWidgetFromStr(int pageIndex, QString text, const QString &pageId)
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
                m_listeners->add(uuid, listener.send, listener.recv);
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
