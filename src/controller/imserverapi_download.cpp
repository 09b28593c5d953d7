// The project download: requests to the host, the files it sends, their check and cache.
#include "controller/imserverapi.h"

#include "download/udpthread.h"
#include "link/messages.h"
#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "model/devicefile.h"
#include "package/packagereaders.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QTextCodec>
#include <QTimer>

using namespace kora;

void ImServerApi::DownloadFile(const QString &name)
{
    if (m_nodes.isEmpty() || m_hostIndex < 0 || m_hostIndex >= m_nodes.size())
        return;
    const NodeEntry &host = m_nodes.at(m_hostIndex);
    const QString target = QStringLiteral("%1,54322,7000,1000").arg(m_settings.localIp);
    const QByteArray request = link::textCommand(QStringLiteral("DownloadFile"), {host.hostTag, name, target},
                                                 QTextCodec::codecForLocale());
    m_udpThread->expectFrom(QHostAddress(host.address), true);
    sendUdpData(request, host.address, link::kCommandPort);
    m_currentFile = name;
    m_loginTimer->start(2000);
    KTRACE(lcDownload) << "DownloadFile" << name << host.address;
}

void ImServerApi::DownloadFile()
{
    for (const FileEntry &f : qAsConst(m_projectFiles)) {
        if (!f.upToDate) {
            if (m_hostIndex < 0)
                KTRACE(lcDownload) << "no host for" << f.name;
            DownloadFile(f.name);
            return;
        }
    }
    m_loginTimer->stop();
    parsePackage();
}

void ImServerApi::parsePackage()
{
    auto listed = [this](const QString &part, bool exact) -> QString {
        for (const FileEntry &f : qAsConst(m_projectFiles)) {
            if (exact ? f.name == part : f.name.contains(part))
                return f.name;
        }
        return QString();
    };
    auto read = [this](const QString &name) {
        QFile file(m_dataDir + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); // unreadable: empty
    };
    const QString descriptor = listed(QStringLiteral(".ds"), false);
    if (!descriptor.isEmpty()) {
        const QByteArray data = read(descriptor);
        const QSize size = package::chooseDesignSize(data, m_aspectRatio);
        if (size.isValid())
            m_windowSize = size;
        KTRACE(lcDownload) << "design size" << m_windowSize << "from" << descriptor;
        emit callQmlLoad(true, 4);
    }
    if (!listed(QStringLiteral("language.txt"), true).isEmpty())
        m_translations = parseTranslationTable(m_gbk->toUnicode(read(QStringLiteral("language.txt"))));
    if (!listed(QStringLiteral("device.json"), true).isEmpty()) {
        DeviceModel model;
        QString error;
        const QByteArray data = read(QStringLiteral("device.json"));
        if (parseDeviceFile(data, model, &error)) {
            m_outputs = std::move(model.outputs);
            m_signals = std::move(model.signalList);
            m_multiSignals = std::move(model.multiSignals);
            m_groups = std::move(model.groups);
            m_roles = std::move(model.roles);
            m_users = std::move(model.users);
            KTRACE(lcDownload) << "device file:" << m_outputs.size() << "outputs" << m_signals.size() << "signals"
                               << m_users.size() << "users";
            getIPCfromServer();
            LoadSignalConfig();
        } else {
            KWARN(lcDownload) << "device.json:" << error << QString::fromUtf8(data.left(200));
        }
    }
    // The image archive and the design's pages come with the design model.
    const QString design = QStringLiteral("client0_%1_%2.jui").arg(m_windowSize.width()).arg(m_windowSize.height());
    KTRACE(lcDownload) << "package read; elapsed" << m_loginElapsed.elapsed() << "ms";
    if (listed(design, true).isEmpty())
        return; // no design for this screen: neither success nor an error from here
    checkDeviceAccount();
}

void ImServerApi::checkDeviceAccount()
{
    const QString stored = encodeDevicePassword(m_settings.password);
    for (const UserRecord &user : m_users) {
        if (user.name != m_settings.username)
            continue;
        if (user.password == stored) {
            m_currentUser = std::make_unique<UserRecord>(user);
            SaveConfig();
            // The design's pages are built by the design model; until then the page is told.
            emit callLoginMsgError(language(QStringLiteral("Project loading is not available yet")));
            return;
        }
        emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
    }
    emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
    countLoginFailure();
}

void ImServerApi::downProgress(float percent)
{
    m_loginTimer->start(2000);
    emit callDownProgress(m_currentFile, percent);
}

void ImServerApi::analyzFile(QByteArray data, bool complete)
{
    m_loginTimer->stop();
    KTRACE(lcDownload) << "<analyzFile start>" << complete << m_downloadState << data.size();
    const QString name = m_downloadState == 0 ? QStringLiteral("pic.dat")
                         : m_downloadState == 1 ? QStringLiteral("config_host.cfg")
                                                : m_currentFile;
    if (!complete) {
        if (m_nodes.isEmpty() || m_hostIndex < 0 || m_hostIndex >= m_nodes.size())
            return;
        const NodeEntry &host = m_nodes.at(m_hostIndex);
        const QString target = QStringLiteral("%1,54322,7000,1000").arg(m_settings.localIp);
        // One datagram holds so many numbers; the next silence asks for the rest.
        QByteArray missing = data;
        if (missing.size() > 60000)
            missing.truncate(missing.lastIndexOf(',', 60000));
        const QByteArray request = link::textCommand(QStringLiteral("DownloadFile"),
                                                     {host.hostTag, name, target, QString::fromLatin1(missing)},
                                                     QTextCodec::codecForName("UTF-8"));
        m_udpThread->expectFrom(QHostAddress(host.address), false);
        sendUdpData(request, host.address, link::kCommandPort);
        return;
    }
    if (m_downloadState != 2) {
        // The older package form (picture container, legacy configuration) is read by the
        // package analysis; its files are only kept for now.
        storeDownloadedFile(name, data);
        return;
    }
    FileEntry *entry = nullptr;
    for (FileEntry &f : m_projectFiles) {
        if (f.name == name)
            entry = &f;
    }
    if (!entry)
        return;
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    if (md5 != entry->md5) {
        // The cached copy stays as it was: a damaged transfer never replaces a good file.
        // The page is told, instead of waiting for a login that cannot go on.
        KWARN(lcDownload) << name << "md5 error" << md5 << entry->md5;
        emit callQmlLogin(false);
        return;
    }
    KTRACE(lcDownload) << name << "download success";
    if (!storeDownloadedFile(name, data))
        return;
    entry->upToDate = true;
    DownloadFile();
}

bool ImServerApi::storeDownloadedFile(const QString &name, const QByteArray &data)
{
    if (!link::isSafeFileName(name)) {
        KWARN(lcDownload) << "refused to store" << name;
        return false;
    }
    // Written to a temporary file and renamed into place, so a crash or a full disk
    // never leaves half a file under the cached name.
    QSaveFile file(m_dataDir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        KWARN(lcDownload) << "cannot store" << name << file.errorString();
        return false;
    }
    KTRACE(lcDownload) << name << "size:" << data.size();
    return true;
}
