// The older project form: "pic.dat" and "config_host.cfg" instead of the JSON package.
#include "controller/imserverapi.h"

#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "package/legacyconfig.h"

#include <QTextCodec>
#include <QTimer>

using namespace kora;

void ImServerApi::analyzLegacyConfig(const QByteArray &data)
{
    m_login->analysing();
    initialization();
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
    KTRACE(lcDownload) << "config_host.cfg:" << m_model.users.size() << "users" << m_model.signalList.size() << "signals"
                       << m_model.multiSignals.size() << "multi-signals" << m_model.groups.size() << "groups" << m_model.outputs.size()
                       << "decoders";

    if (config.hasUi) {
        if (config.designSize.isValid())
            setWindowSize(config.designSize);
        emit callQmlLoad(true, config.sysEn);
        // The widgets of these pages are built by the older page reader, which this client
        // does not have yet: the pages are announced without their widgets.
        for (const package::LegacyPage &page : config.pages) {
            m_pages.push_back({page.name, page.id});
            emit callQmlCreatePage(page.id);
        }
    }
    if (m_currentUser) {
        m_login->loggedIn();
        emit callQmlLogin(true);
        emit callQmlInitPanel();
        SaveConfig();
    }
    getIPCfromServer();
}
