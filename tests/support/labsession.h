#pragma once
// A controller object logged in to the lab as its administrator, the project downloaded.
#include "app/client.h"
#include "support/labclient.h"

#include <QSignalSpy>
#include <QtGlobal>
#include <memory>

namespace labclient {

inline std::unique_ptr<ImServerApi> loggedIn()
{
    auto api = std::make_unique<kora::app::Client>();
    QSignalSpy login(api.get(), &ImServerApi::callQmlLogin);
    if (!api->ServerLogin(QStringLiteral("admin"), QStringLiteral("Admin#2024"), clientIp(), QString(), QString()))
        qFatal("login refused");
    if (!login.wait(15000) || !login.first().first().toBool())
        qFatal("login failed");
    return api;
}

} // namespace labclient
