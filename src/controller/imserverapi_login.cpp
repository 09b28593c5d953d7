// Login, lock-out after repeated failures, and the watchdog of a stalled download.
#include "controller/imserverapi.h"

#include "cipher/storagecipher.h"
#include "link/lockout.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkInterface>
#include <QTimer>

using namespace kora;

namespace {
constexpr char kDemoUser[] = "test";
constexpr char kDemoPassword[] = "480317";
}

bool ImServerApi::loginTimerActive() const
{
    return m_login->watchdogActive();
}

bool ImServerApi::ServerLogin(const QString &user, const QString &password, const QString &ip,
                              const QString &serverIp, const QString &downIp)
{
    initialization();
    // Nothing of an earlier login may end this one: its watchdog, its scan, its fragments.
    m_login->reset();
    ++m_loginCount;
    m_loginElapsed.start();

    const qint64 now = m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch();
    const qint64 left = link::lockSecondsLeft(m_store.values.loginfail, m_store.values.logintime, now);
    if (left > 0) {
        KINFO(lcApi) << "login fail:" << now - m_store.values.logintime << m_store.values.loginfail;
        emit callLoginMsgError(language(QStringLiteral("Failed too often. Please try again later.")) + QLatin1Char(' ')
                               + QString::number(left) + QLatin1Char('s'));
        m_login->fail(QStringLiteral("locked out"));
        return false;
    }

    m_nodes.clear();
    m_hostIndex = -1;
    m_store.values.localIp = ip;
    m_store.values.serverIp = serverIp;
    m_store.values.downIp = downIp;
    m_store.values.username = user;
    m_store.values.password = password;
    InitSocket();
    KINFO(lcApi) << "localIp" << m_store.values.localIp << "serverIp" << m_store.values.serverIp;

    m_macAddress.clear();
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().toString() == m_store.values.localIp) {
                m_macAddress = interface.hardwareAddress();
                return true;
            }
        }
    }
    return true;
}

bool ImServerApi::checkAccount()
{
    // The account name only: the settings cipher's key is fixed, so the enciphered password
    // in a log file would give the password away.
    KINFO(lcApi) << "checkAccount" << m_store.values.username;
    const QString compared = m_encryptedPasswords
                                 ? QString::fromLatin1(encipherForStorage(m_store.values.password.toLatin1()).toHex().toUpper())
                                 : m_store.values.password;
    m_currentUser.reset();
    const int index = link::acceptedUser(m_model.users, m_store.values.username, compared);
    if (index >= 0)
        m_currentUser = std::make_unique<UserRecord>(m_model.users[size_t(index)]);
    if (m_model.users.empty()) {
        m_model.users.push_back(UserRecord{});
        m_currentUser = std::make_unique<UserRecord>(m_model.users.back());
    }
    if (m_currentUser)
        return true;

    countLoginFailure();
    return false;
}

void ImServerApi::countLoginFailure()
{
    const qint64 now = m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch();
    m_store.values.loginfail = link::countFailure(m_store.values.loginfail, m_store.values.logintime, now);
    m_store.values.logintime = now;
    SaveConfig();
    KINFO(lcApi) << "login fail:" << m_store.values.username << m_store.values.logintime << now << m_store.values.loginfail;
}

void ImServerApi::failLogin(const QString &why)
{
    KWARN(lcDownload) << "login of" << m_store.values.username << "failed:" << why;
    m_login->fail(why);
    emit callQmlLogin(false);
}

void ImServerApi::loginTimeout()
{
    if (m_store.values.username != QLatin1String(kDemoUser) || m_store.values.password != QLatin1String(kDemoPassword)) {
        failLogin(QStringLiteral("no project download"));
        return;
    }
    m_login->analysing();
    // The demonstration account: the built-in sample project instead of the controller's.
    QFile descriptor(QStringLiteral(":/test/lumora.ds"));
    if (descriptor.open(QIODevice::ReadOnly)) {
        analyzNewProjectJson(descriptor.readAll());
        emit callQmlLoad(true, 4);
    } else {
        KWARN(lcApi) << "lumora.ds open fail";
    }
    auto resource = [](const char *name) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            KWARN(lcApi) << "cannot open" << name;
        return file.readAll();
    };
    analyzNewDeviceJson(resource(":/test/device.json"));
    m_currentUser.reset();
    for (const UserRecord &user : m_model.users) {
        if (user.name == QLatin1String("admin")) {
            m_currentUser = std::make_unique<UserRecord>(user);
            break;
        }
    }
    analyzNewDesignJson(resource(":/test/client0_1920_1080.jui"), [this] {
        m_login->loggedIn();
        emit callQmlLogin(true);
        KINFO(lcApi) << "design size" << m_windowSize;
    });
}
