// The project download: requests to the host, the files it sends, their check and cache.
#include "controller/imserverapi.h"

#include "download/udpthread.h"
#include "link/lockout.h"
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
    if (requestFile(name, true))
        m_currentFile = name;
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
    m_login->fileRequested(newFile);
    KTRACE(lcDownload) << "DownloadFile" << name << host.address;
    return true;
}

void ImServerApi::DownloadFile()
{
    if (m_hostIndex < 0 || m_hostIndex >= m_nodes.size()) {
        KWARN(lcDownload) << "none of the" << m_nodes.size() << "nodes that answered holds the project";
        loginTimeout(); // as a download that never starts: failed, or the demonstration project
        return;
    }
    if (m_packageForm != login::PackageForm::Listed) {
        // An older host: its two files are on their way, under the watchdog.
        if (m_login->state() != login::State::Downloading)
            failLogin(QStringLiteral("an older host was chosen, but no download runs"));
        return;
    }
    for (const FileEntry &f : qAsConst(m_projectFiles)) {
        if (!f.upToDate) {
            DownloadFile(f.name);
            return;
        }
    }
    m_login->analysing();
    parsePackage();
}

void ImServerApi::analyzNewProjectJson(const QByteArray &data)
{
    const QSize size = package::chooseDesignSize(data, m_aspectRatio);
    if (size.isValid())
        setWindowSize(size);
    KTRACE(lcDownload) << "design size" << m_windowSize << QString::fromUtf8(data.left(2000));
}

void ImServerApi::analyzNewDeviceJson(const QByteArray &data)
{
    DeviceModel model;
    QString error;
    if (!parseDeviceFile(data, model, &error)) {
        // Not the file's text: its user list holds the stored passwords.
        KWARN(lcDownload) << "device.json:" << error << "in" << data.size() << "bytes";
        return;
    }
    m_outputs = std::move(model.outputs);
    m_signals = std::move(model.signalList);
    m_multiSignals = std::move(model.multiSignals);
    m_groups = std::move(model.groups);
    m_roles = std::move(model.roles);
    m_users = std::move(model.users);
    m_hasFavourites = model.hasFavourites;
    QList<kora::video::SignalSnapshot> snapshots;
    for (const SignalRecord &s : m_signals)
        snapshots.append({s.ip, s.snapshotUrl});
    m_snapshots->setPictureSize(m_settings.maxSnap.isValid() ? m_settings.maxSnap : QSize(640, 360));
    m_snapshots->load(snapshots);
    m_wholeListGroup = -1; // the group list is the device file's now
    KTRACE(lcDownload) << "device file:" << m_outputs.size() << "outputs" << m_signals.size() << "signals"
                       << m_users.size() << "users";
}

void ImServerApi::parsePackage()
{
    if (m_projectFiles.isEmpty()) {
        failLogin(QStringLiteral("the host lists no project files"));
        return;
    }
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
        failLogin(QStringLiteral("the package has no design %1 for this screen").arg(design));
    KTRACE(lcDownload) << "package read; elapsed" << m_loginElapsed.elapsed() << "ms";
}

void ImServerApi::checkDeviceAccount(const QByteArray &designData)
{
    // The account name only, never the password in any form.
    const int index = link::acceptedUser(m_users, m_settings.username, encodeDevicePassword(m_settings.password));
    if (index < 0) {
        KTRACE(lcApi) << "account" << m_settings.username << "refused";
        m_login->fail(QStringLiteral("account refused"));
        emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
        countLoginFailure();
        return;
    }
    KTRACE(lcApi) << "account" << m_settings.username << "accepted";
    m_currentUser = std::make_unique<UserRecord>(m_users[size_t(index)]);
    analyzNewDesignJson(designData, [this] {
        m_login->loggedIn();
        emit callQmlLogin(true);
        SaveConfig();
    });
}

// A file whose every fragment was lost leaves the receiver nothing to report gaps for, and a
// lost gap request leaves it waiting; so a request that nothing answers asks for the whole
// file again (the fragments held stay). The login flow bounds the repeats; its watchdog ends
// the login if they stay unanswered.
void ImServerApi::requestUnanswered(int repeat)
{
    KWARN(lcDownload) << "no fragment of" << m_currentFile << "within" << UDPThread::kSilenceMs << "ms; asking again"
                      << "(" << repeat << ")";
    requestFile(m_currentFile, false);
}

void ImServerApi::downProgress(float percent)
{
    m_login->fragmentsArrived();
    emit callDownProgress(m_currentFile, percent);
}

void ImServerApi::analyzFile(QByteArray data, bool complete, QByteArray md5)
{
    if (m_login->state() != login::State::Downloading) {
        KWARN(lcDownload) << "a file of" << data.size() << "bytes arrived while" << login::stateName(m_login->state())
                          << "; ignored";
        return;
    }
    m_login->fileEnded();
    KTRACE(lcDownload) << "<analyzFile start>" << complete << data.size();
    const QString name = m_packageForm == login::PackageForm::OlderPictures ? QStringLiteral("pic.dat")
                         : m_packageForm == login::PackageForm::OlderConfig ? QStringLiteral("config_host.cfg")
                                                                           : m_currentFile;
    if (!complete) {
        // The missing fragments are asked for again; the watchdog keeps running from the last
        // progress, so a host that falls silent now still ends the login.
        if (m_nodes.isEmpty() || m_hostIndex < 0 || m_hostIndex >= m_nodes.size()) {
            failLogin(QStringLiteral("gaps in %1, and no host to ask").arg(name));
            return;
        }
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
        m_login->fileRequested(false);
        return;
    }
    // Each way on below asks for the next file (the watchdog restarts), reads the package
    // (analysing) or ends the login.
    if (m_packageForm == login::PackageForm::OlderPictures) {
        m_packageForm = login::PackageForm::OlderConfig;
        storeDownloadedFile(name, data);
        m_pictures.clear();
        for (const QByteArray &bytes : package::cutPictureContainer(data))
            m_pictures.append({QString(), bytes});
        KTRACE(lcDownload) << "pic.dat size:" << data.size() << "pictures" << m_pictures.size();
        DownloadFile(QStringLiteral("config_host.cfg"));
        return;
    }
    if (m_packageForm == login::PackageForm::OlderConfig) {
        if (data.size() > 4)
            analyzLegacyConfig(data);
        else
            failLogin(QStringLiteral("config_host.cfg of %1 bytes").arg(data.size()));
        return;
    }
    FileEntry *entry = nullptr;
    for (FileEntry &f : m_projectFiles) {
        if (f.name == name)
            entry = &f;
    }
    if (!entry) {
        failLogin(QStringLiteral("a file arrived for %1, which the host does not list").arg(name));
        return;
    }
    if (QString::fromLatin1(md5) != entry->md5) {
        // The cached copy stays as it was: a damaged transfer never replaces a good file.
        // One more try, in case a straggler of the previous file got in; then the page is
        // told, instead of waiting for a login that cannot go on.
        KWARN(lcDownload) << name << "md5 error" << md5 << entry->md5 << "attempt" << entry->attempts + 1;
        if (++entry->attempts < 2) {
            DownloadFile(name);
            return;
        }
        failLogin(QStringLiteral("%1 failed its check twice").arg(name));
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
        failLogin(QStringLiteral("%1 cannot be stored").arg(name));
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
