// Login and the cached project shown before it.
#include "controller/imserverapi.h"

#include "log/categories.h"
#include "log/trace.h"

bool ImServerApi::ServerLogin(const QString &user, const QString &password, const QString &ip,
                              const QString &serverIp, const QString &downIp)
{
    // The controller link is not wired yet: nothing is sent and the page is told so.
    KTRACE(lcApi) << "ServerLogin" << user << ip << serverIp << downIp << password.isEmpty();
    emit callLoginMsgError(language(QStringLiteral("Login is not available yet")));
    return false;
}

void ImServerApi::LoadLocalfile()
{
    // The cached project comes later; the remembered login fields are shown already.
    QVariantMap map;
    map.insert(QStringLiteral("localIp"), m_settings.localIp);
    map.insert(QStringLiteral("serverIp"), m_settings.serverIp);
    map.insert(QStringLiteral("downIp"), m_settings.downIp);
    map.insert(QStringLiteral("username"), m_settings.username);
    map.insert(QStringLiteral("password"), m_settings.password);
    map.insert(QStringLiteral("flgRemb"), m_settings.flgRemb);
    emit callQmlLastMsg(map);
}
