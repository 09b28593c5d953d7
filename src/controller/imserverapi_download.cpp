// The project download: requests to the host, the files it sends, their check and cache.
#include "controller/imserverapi.h"

#include "download/udpthread.h"
#include "link/messages.h"
#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "model/devicefile.h"
#include "package/packagereaders.h"
#include "platform/files.h"

#include <QFile>
#include <QTextCodec>
#include <QTimer>
#include <algorithm>

using namespace kora;

void ImServerApi::DownloadFile(const QString &name)
{
    if (!requestFile(name, true))
        return;
    if (name != m_currentFile)
        m_unansweredRequests = 0;
    m_currentFile = name;
    m_loginTimer->start(2000);
}

bool ImServerApi::requestFile(const QString &name, bool newFile)
{
    if (m_nodes.isEmpty() || m_hostIndex < 0 || m_hostIndex >= m_nodes.size())
        return false;
    const NodeEntry &host = m_nodes.at(m_hostIndex);
    const QString target = QStringLiteral("%1,54322,7000,1000").arg(m_settings.localIp);
    const QByteArray request = link::textCommand(QStringLiteral("DownloadFile"), {host.hostTag, name, target},
                                                 QTextCodec::codecForLocale());
    m_udpThread->expectFrom(QHostAddress(host.address), newFile);
    sendUdpData(request, host.address, link::kCommandPort);
    m_requestTimer->start(UDPThread::kSilenceMs);
    KTRACE(lcDownload) << "DownloadFile" << name << host.address;
    return true;
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

void ImServerApi::analyzNewProjectJson(const QByteArray &data)
{
    const QSize size = package::chooseDesignSize(data, m_aspectRatio);
    if (size.isValid())
        m_windowSize = size;
    KTRACE(lcDownload) << "design size" << m_windowSize << QString::fromUtf8(data.left(2000));
}

void ImServerApi::analyzNewDeviceJson(const QByteArray &data)
{
    DeviceModel model;
    QString error;
    if (!parseDeviceFile(data, model, &error)) {
        KWARN(lcDownload) << "device.json:" << error << QString::fromUtf8(data.left(200));
        return;
    }
    m_outputs = std::move(model.outputs);
    m_signals = std::move(model.signalList);
    m_multiSignals = std::move(model.multiSignals);
    m_groups = std::move(model.groups);
    m_roles = std::move(model.roles);
    m_users = std::move(model.users);
    m_hasFavourites = model.hasFavourites;
    KTRACE(lcDownload) << "device file:" << m_outputs.size() << "outputs" << m_signals.size() << "signals"
                       << m_users.size() << "users";
}

void ImServerApi::parsePackage()
{
    if (m_projectFiles.isEmpty())
        return; // an older host: its configuration was read as it arrived
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
        analyzNewProjectJson(read(descriptor));
        emit callQmlLoad(true, 4);
    }
    if (!listed(QStringLiteral("language.txt"), true).isEmpty())
        m_translations = parseTranslationTable(m_gbk->toUnicode(read(QStringLiteral("language.txt"))));
    if (!listed(QStringLiteral("device.json"), true).isEmpty()) {
        analyzNewDeviceJson(read(QStringLiteral("device.json")));
        getIPCfromServer();
        LoadSignalConfig();
    }
    if (!listed(QStringLiteral("image.zip"), true).isEmpty() && QFile::exists(m_dataDir + QStringLiteral("/image.zip"))) {
        KTRACE(lcDownload) << "exists";
        unzipImage();
    }
    const QString design = QStringLiteral("client0_%1_%2.jui").arg(m_windowSize.width()).arg(m_windowSize.height());
    if (!listed(design, true).isEmpty())
        checkDeviceAccount(read(design));
    else
        KWARN(lcDownload) << "the package has no design" << design << "for this screen";
    KTRACE(lcDownload) << "package read; elapsed" << m_loginElapsed.elapsed() << "ms";
}

void ImServerApi::checkDeviceAccount(const QByteArray &designData)
{
    const QString stored = encodeDevicePassword(m_settings.password);
    for (const UserRecord &user : m_users) {
        if (user.name != m_settings.username)
            continue;
        if (user.password == stored) {
            m_currentUser = std::make_unique<UserRecord>(user);
            analyzNewDesignJson(designData, [this] {
                emit callQmlLogin(true);
                SaveConfig();
            });
            return;
        }
        emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
    }
    emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
    countLoginFailure();
}

// A file whose every fragment was lost leaves the receiver nothing to report gaps for, and a
// lost gap request leaves it waiting; so a request that nothing answers within the silence
// time asks for the whole file again (the fragments held stay), a few times, without
// restarting the watchdog, which then ends the login.
void ImServerApi::requestUnanswered()
{
    constexpr int kMaxRepeats = 3;
    if (++m_unansweredRequests > kMaxRepeats) {
        KWARN(lcDownload) << "no fragment of" << m_currentFile << "arrived after" << kMaxRepeats << "repeated requests";
        return;
    }
    KWARN(lcDownload) << "no fragment of" << m_currentFile << "within" << UDPThread::kSilenceMs << "ms; asking again";
    requestFile(m_currentFile, false);
}

void ImServerApi::downProgress(float percent)
{
    m_requestTimer->stop();
    m_unansweredRequests = 0;
    m_loginTimer->start(2000);
    emit callDownProgress(m_currentFile, percent);
}

void ImServerApi::analyzFile(QByteArray data, bool complete, QByteArray md5)
{
    m_loginTimer->stop();
    m_requestTimer->stop();
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
        m_requestTimer->start(UDPThread::kSilenceMs);
        return;
    }
    if (m_downloadState == 0) {
        m_downloadState = 1;
        storeDownloadedFile(name, data);
        m_pictures.clear();
        for (const QByteArray &bytes : package::cutPictureContainer(data))
            m_pictures.append({QString(), bytes});
        KTRACE(lcDownload) << "pic.dat size:" << data.size() << "pictures" << m_pictures.size();
        DownloadFile(QStringLiteral("config_host.cfg"));
        return;
    }
    if (m_downloadState == 1) {
        if (data.size() > 4)
            analyzLegacyConfig(data);
        return;
    }
    FileEntry *entry = nullptr;
    for (FileEntry &f : m_projectFiles) {
        if (f.name == name)
            entry = &f;
    }
    if (!entry)
        return;
    if (QString::fromLatin1(md5) != entry->md5) {
        // The cached copy stays as it was: a damaged transfer never replaces a good file.
        // One more try, in case a straggler of the previous file got in; then the page is
        // told, instead of waiting for a login that cannot go on.
        KWARN(lcDownload) << name << "md5 error" << md5 << entry->md5 << "attempt" << entry->attempts + 1;
        if (++entry->attempts < 2) {
            DownloadFile(name);
            return;
        }
        emit callQmlLogin(false);
        return;
    }
    KTRACE(lcDownload) << name << "download success";
    entry->upToDate = true;
    const bool more = std::any_of(m_projectFiles.cbegin(), m_projectFiles.cend(),
                                  [](const FileEntry &f) { return !f.upToDate; });
    // The next file's burst is received by the receiver thread while this one is written;
    // the package is read only when everything is on disk.
    if (more)
        DownloadFile();
    if (!storeDownloadedFile(name, data)) {
        entry->upToDate = false;
        m_udpThread->expectFrom(QHostAddress(), true); // nothing more counts for this login
        m_loginTimer->stop();
        m_requestTimer->stop();
        emit callQmlLogin(false);
        return;
    }
    if (!more)
        DownloadFile();
}

bool ImServerApi::storeDownloadedFile(const QString &name, const QByteArray &data)
{
    if (!link::isSafeFileName(name)) {
        KWARN(lcDownload) << "refused to store" << name;
        return false;
    }
    QString error;
    if (!platform::replaceFileContent(m_dataDir + QLatin1Char('/') + name, data, &error)) {
        KWARN(lcDownload) << "cannot store" << name << error;
        return false;
    }
    KTRACE(lcDownload) << name << "size:" << data.size();
    return true;
}
