#include "login/session.h"

#include "archive/zipreader.h"
#include "cipher/storagecipher.h"
#include "link/lockout.h"
#include "link/messages.h"
#include "link/routes.h"
#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "package/legacyconfig.h"
#include "package/packagereaders.h"
#include "settings/store.h"
#include "settings/translations.h"

#include <QFile>
#include <QJsonObject>
#include <QTextCodec>
#include <QTimer>
#include <algorithm>

namespace kora::login {

namespace {
QString gbk(const QByteArray &bytes)
{
    return QTextCodec::codecForName("GBK")->toUnicode(bytes);
}
} // namespace

Session::Session(link::Sender &link, settings::Store &store, Project &project, Clock clock, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_store(store)
    , m_project(project)
    , m_clock(std::move(clock))
    , m_flow(Timings{1000, 2000, 500, 3})
    , m_download(link, [this] {
        download::Source source;
        source.localIp = m_store.values.localIp;
        source.hostAddress = hostAddress();
        if (!source.hostAddress.isEmpty())
            source.hostTag = m_nodes.at(m_hostIndex).hostTag;
        return source;
    }, store.dataDir())
{
    connect(&m_flow, &LoginFlow::scanWindowClosed, this, &Session::scanEnded);
    connect(&m_flow, &LoginFlow::stalled, this, &Session::stalled);
    connect(&m_flow, &LoginFlow::requestUnanswered, &m_download, &download::PackageDownload::repeat);
    // Fragments count only while a download runs: whatever ends it, late ones are dropped.
    connect(&m_flow, &LoginFlow::stateChanged, this, [this](State state) {
        if (state != State::Downloading)
            emit expecting(QHostAddress(), true);
    });
    connect(&m_download, &download::PackageDownload::requested, &m_flow, &LoginFlow::fileRequested);
    connect(&m_download, &download::PackageDownload::expecting, this, &Session::expecting);
    connect(&m_download, &download::PackageDownload::failed, this, &Session::fail);
    connect(&m_download, &download::PackageDownload::complete, this, &Session::readPackage);
    connect(&m_download, &download::PackageDownload::olderPictures, this, [this](const QByteArray &data) {
        m_picturesChanged = false;
        m_pictures.clear();
        for (const QByteArray &bytes : package::cutPictureContainer(data))
            m_pictures.append({QString(), bytes});
        KINFO(lcDownload) << "pic.dat:" << m_pictures.size() << "pictures";
    });
    connect(&m_download, &download::PackageDownload::olderConfig, this, &Session::readOlderConfig);
}

QString Session::hostAddress() const
{
    return m_hostIndex >= 0 && m_hostIndex < m_nodes.size() ? m_nodes.at(m_hostIndex).address : QString();
}

bool Session::login(const QString &user, const QString &password, const QString &localIp, const QString &serverIp,
                    const QString &downIp)
{
    emit modelReset();
    m_project = {};
    // Nothing of an earlier login may end this one: its watchdog, its scan, its fragments.
    m_flow.reset();
    ++m_logins;
    m_elapsed.start();
    m_designSize = QSize();
    m_demonstration = false;

    const qint64 now = m_clock();
    const qint64 left = link::lockSecondsLeft(m_store.values.loginfail, m_store.values.logintime, now);
    if (left > 0) {
        KINFO(lcApi) << "login fail:" << now - m_store.values.logintime << m_store.values.loginfail;
        emit message(translate(m_project.translations, QStringLiteral("Failed too often. Please try again later.")) + QLatin1Char(' ')
                     + QString::number(left) + QLatin1Char('s'));
        m_flow.fail(QStringLiteral("locked out"));
        return false;
    }

    m_nodes.clear();
    m_hostIndex = -1;
    m_store.values.localIp = localIp;
    m_store.values.serverIp = serverIp;
    m_store.values.downIp = downIp;
    m_store.values.username = user;
    m_store.values.password = password;
    KINFO(lcApi) << "localIp" << localIp << "serverIp" << serverIp;
    emit rebind(localIp);
    emit announce();
    // Devices see the announcement before the scan, as they expect; a timer keeps that order
    // without blocking the window. A later login's scan replaces this one's.
    QTimer::singleShot(kAnnounceMs, Qt::PreciseTimer, this, [this, login = m_logins] {
        if (login != m_logins)
            return;
        scan();
        const QByteArray getDev = link::requestEnvelope(QStringLiteral("GetDev"));
        KINFO(lcLink) << "GetDev" << getDev;
        m_link.sendVia(link::Socket::Host, link::hostRequest(), getDev);
    });
    return true;
}

void Session::scan()
{
    m_link.sendVia(link::Socket::Scan, link::wallMulticast(), link::textCommand(QStringLiteral("GetNodes2")));
    m_flow.scan();
    emit progress(QStringLiteral("Scan begins"), 0);
}

void Session::scanReply(const QByteArray &datagram, const QString &sender)
{
    const link::ScanReply reply = link::parseScanReply(datagram);
    if (reply.kind == link::ScanReply::Other) {
        KTRACE(lcLink) << "scan: ignored a datagram from" << sender << "of" << datagram.size() << "bytes";
        return;
    }
    if (!m_flow.scanWindowOpen()) {
        // A late reply must not start a download the login has already gone past (or ended).
        KTRACE(lcLink) << "scan: reply from" << sender << "after the window closed ignored";
        return;
    }
    auto indexOf = [this](const QString &address) {
        for (int i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes.at(i).address == address)
                return i;
        }
        return -1;
    };

    if (reply.kind == link::ScanReply::Nodes2) {
        m_flow.scanReplied();
        if (indexOf(sender) < 0)
            m_nodes.append({sender, reply.hostTag});
        if (reply.rejectedFiles > 0)
            KWARN(lcLink) << "scan: ignored" << reply.rejectedFiles << "malformed or unsafe file entries from" << sender;
        if (link::becomesHost(reply, m_hostIndex, m_store.values.downIp, sender)) {
            m_hostIndex = indexOf(sender);
            QList<download::FileEntry> files;
            for (const link::ScanFile &f : reply.files)
                files.append({f.name, f.md5});
            m_download.setListed(files);
            KINFO(lcLink) << "host" << sender << "project" << reply.project << "files" << files.size();
        }
        return;
    }

    // The older reply form. Once a host is chosen, another node's mark changes nothing: the
    // download under way keeps its form.
    if (m_hostIndex == -1 && reply.olderB != QLatin1String("0") && reply.olderB != m_projectMark) {
        m_picturesChanged = true;
        m_projectMark = reply.olderB;
    }
    if (indexOf(sender) >= 0)
        return;
    m_nodes.append({sender, reply.hostTag});
    if (m_hostIndex == -1 && reply.hostTag != QLatin1String("-1") && reply.hostTag != QLatin1String("100")
        && reply.olderA != QLatin1String("0")) {
        m_hostIndex = m_nodes.size() - 1;
        m_download.startOlder(m_picturesChanged);
    }
}

void Session::scanEnded()
{
    emit progress(QStringLiteral("Scan end"), 0);
    if (m_nodes.isEmpty()) {
        KWARN(lcLink) << "no node answered the scan";
        stalled();
        return;
    }
    downloadNext();
}

void Session::downloadNext()
{
    if (hostAddress().isEmpty()) {
        KWARN(lcDownload) << "none of the" << m_nodes.size() << "nodes that answered holds the project";
        stalled(); // as a download that never starts: failed, or the demonstration project
        return;
    }
    if (m_download.form() != download::PackageForm::Listed) {
        // An older host: its two files are on their way, under the watchdog.
        if (m_flow.state() != State::Downloading)
            fail(QStringLiteral("an older host was chosen, but no download runs"));
        return;
    }
    if (!m_download.requestNext())
        readPackage();
}

void Session::fragments(float percent)
{
    m_flow.fragmentsArrived();
    emit progress(m_download.currentFile(), percent);
}

void Session::fileArrived(const QByteArray &data, bool complete, const QByteArray &md5)
{
    if (m_flow.state() != State::Downloading) {
        KWARN(lcDownload) << "a file of" << data.size() << "bytes arrived while" << stateName(m_flow.state()) << "; ignored";
        return;
    }
    m_flow.fileEnded();
    m_download.fileArrived(data, complete, md5);
}

void Session::fail(const QString &why)
{
    KWARN(lcDownload) << "login of" << m_store.values.username << "failed:" << why;
    m_flow.fail(why);
    emit finished(false);
}

// No download progress within the watchdog, or nothing to download.
void Session::stalled()
{
    if (m_store.values.username != QLatin1String(kDemoUser) || m_store.values.password != QLatin1String(kDemoPassword)) {
        fail(QStringLiteral("no project download"));
        return;
    }
    loadDemonstration();
}

void Session::readPackage()
{
    m_flow.analysing();
    const QList<download::FileEntry> &files = m_download.files();
    if (files.isEmpty()) {
        fail(QStringLiteral("the host lists no project files"));
        return;
    }
    auto listed = [&files](const QString &part, bool exact) -> QString {
        for (const download::FileEntry &f : files) {
            if (exact ? f.name == part : f.name.contains(part))
                return f.name;
        }
        return QString();
    };
    auto read = [this](const QString &name) {
        QFile file(m_store.dataFile(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); // unreadable: empty
    };
    const QString descriptor = listed(QStringLiteral(".ds"), false);
    if (!descriptor.isEmpty()) {
        chooseDesignSize(read(descriptor));
        emit projectLoaded(4);
    }
    if (!listed(QStringLiteral("language.txt"), true).isEmpty())
        m_project.translations = parseTranslationTable(gbk(read(QStringLiteral("language.txt"))));
    if (!listed(QStringLiteral("device.json"), true).isEmpty()) {
        readDevices(read(QStringLiteral("device.json")));
        askForCameras();
        std::vector<SignalRecord> &list = m_project.devices.signalList;
        for (const QString &ip : m_store.starred()) {
            const auto s = std::find_if(list.begin(), list.end(), [&ip](const SignalRecord &r) { return r.ip == ip; });
            if (s != list.end())
                s->star = true;
        }
    }
    if (!listed(QStringLiteral("image.zip"), true).isEmpty() && QFile::exists(m_store.dataFile(QStringLiteral("image.zip"))))
        unzipImage();
    const QString design = QStringLiteral("client0_%1_%2.jui").arg(m_designSize.width()).arg(m_designSize.height());
    if (!listed(design, true).isEmpty())
        checkDeviceAccount(read(design));
    else
        fail(QStringLiteral("the package has no design %1 for this screen").arg(design));
    KINFO(lcDownload) << "package read; elapsed" << m_elapsed.elapsed() << "ms";
}

// "data/image.zip" into "image/"; the old pictures stay unless the whole archive is good.
void Session::unzipImage()
{
    const archive::UnpackResult result = archive::unpackArchive(m_store.dataFile(QStringLiteral("image.zip")), m_store.imageDir());
    if (!result.ok)
        KWARN(lcDownload) << "image.zip not unpacked, the pictures of the last project stay:" << result.reason;
    else
        KINFO(lcDownload) << "image.zip:" << result.files << "files" << result.folders << "folders" << result.skipped
                          << "skipped" << result.bytes << "bytes";
}

void Session::chooseDesignSize(const QByteArray &descriptor)
{
    const QSize size = package::chooseDesignSize(descriptor, m_aspect);
    if (size.isValid()) {
        m_designSize = size;
        emit designSizeChosen(size);
    }
    KINFO(lcDownload) << "design size" << m_designSize << QString::fromUtf8(descriptor.left(2000));
}

void Session::readDevices(const QByteArray &deviceFile)
{
    DeviceModel model;
    QString error;
    if (!parseDeviceFile(deviceFile, model, &error)) {
        // Not the file's text: its user list holds the stored passwords.
        KWARN(lcDownload) << "device.json:" << error << "in" << deviceFile.size() << "bytes";
        return;
    }
    m_project.devices = std::move(model);
    KINFO(lcDownload) << "device file:" << m_project.devices.outputs.size() << "outputs" << m_project.devices.signalList.size()
                      << "signals" << m_project.devices.users.size() << "users";
    emit signalsRead();
}

void Session::checkDeviceAccount(const QByteArray &design)
{
    // The account name only, never the password in any form.
    const std::vector<UserRecord> &users = m_project.devices.users;
    const int index = link::acceptedUser(users, m_store.values.username, encodeDevicePassword(m_store.values.password));
    if (index < 0) {
        KINFO(lcApi) << "account" << m_store.values.username << "refused";
        m_flow.fail(QStringLiteral("account refused"));
        emit message(translate(m_project.translations, QStringLiteral("User or Password Error")));
        countFailure();
        return;
    }
    KINFO(lcApi) << "account" << m_store.values.username << "accepted";
    m_project.currentUser = users[size_t(index)];
    emit designAccepted(design);
}

void Session::pagesBuilt()
{
    if (m_flow.state() != State::Analysing)
        return; // a later login or the login page came first
    m_flow.loggedIn();
    emit finished(true);
    if (m_demonstration)
        KINFO(lcApi) << "design size" << m_designSize;
    else
        m_store.save();
}

// The built-in sample project instead of the controller's.
void Session::loadDemonstration()
{
    m_flow.analysing();
    m_demonstration = true;
    auto resource = [](const char *name) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly))
            KWARN(lcApi) << name << "open fail";
        return file.readAll();
    };
    const QByteArray descriptor = resource(":/test/lumora.ds");
    if (!descriptor.isEmpty()) {
        chooseDesignSize(descriptor);
        emit projectLoaded(4);
    }
    readDevices(resource(":/test/device.json"));
    for (const UserRecord &user : m_project.devices.users) {
        if (user.name == QLatin1String("admin")) {
            m_project.currentUser = user;
            break;
        }
    }
    emit designAccepted(resource(":/test/client0_1920_1080.jui"));
}

void Session::readOlderConfig(const QByteArray &data)
{
    m_flow.analysing();
    emit modelReset();
    m_project = {};
    KINFO(lcDownload) << "LoadLocalfile" << data.size();
    m_download.store(QStringLiteral("config_host.cfg"), data);
    package::LegacyConfig config = package::parseLegacyConfig(gbk(data));

    m_project.devices.users = std::move(config.users);
    m_project.devices.roles = std::move(config.roles);
    if (!config.encryptValue.isEmpty()) {
        m_encryptedPasswords = config.encrypted;
        KINFO(lcDownload) << "encrypt" << config.encryptValue;
    }
    if (!checkOlderAccount()) {
        m_flow.fail(QStringLiteral("account refused"));
        emit message(translate(m_project.translations, QStringLiteral("User or Password Error")));
        return;
    }

    for (int i = 0; i < config.pictureNames.size() && i < m_pictures.size(); ++i) {
        PictureRecord &picture = m_pictures[i];
        picture.name = config.pictureNames.at(i);
        if (!link::isSafeFileName(picture.name)) {
            KWARN(lcDownload) << "picture" << i << "has an unsafe name; not written:" << picture.name.left(80);
            continue;
        }
        m_download.store(picture.name, picture.bytes);
    }
    for (auto it = config.translations.cbegin(); it != config.translations.cend(); ++it)
        m_project.translations.insert(it.key(), it.value());
    DeviceModel &devices = m_project.devices;
    devices.outputs = std::move(config.outputs);
    devices.signalList = std::move(config.signalList);
    devices.multiSignals = std::move(config.multiSignals);
    devices.groups = std::move(config.groups);
    emit signalsRead();
    KINFO(lcDownload) << "config_host.cfg:" << devices.users.size() << "users" << devices.signalList.size() << "signals"
                      << devices.multiSignals.size() << "multi-signals" << devices.groups.size() << "groups"
                      << devices.outputs.size() << "decoders";
    KINFO(lcDownload) << "package read; elapsed" << m_elapsed.elapsed() << "ms";

    if (config.hasUi) {
        if (config.designSize.isValid()) {
            m_designSize = config.designSize;
            emit designSizeChosen(m_designSize);
        }
        emit projectLoaded(config.sysEn);
        // The page list is complete before the global widgets: a page list among them reads it.
        for (const package::LegacyPage &page : config.pages)
            m_project.pages.push_back({page.name, page.id});
        emit olderPagesRead(config);
        KINFO(lcApi) << "pages built";
    }
    if (m_project.currentUser) {
        m_flow.loggedIn();
        emit finished(true);
        emit olderPagesComplete();
        m_store.save();
    }
    askForCameras();
}

bool Session::checkOlderAccount()
{
    // The account name only: the settings cipher's key is fixed, so the enciphered password
    // in a log file would give the password away.
    KINFO(lcApi) << "checkAccount" << m_store.values.username;
    const QString compared = m_encryptedPasswords
                                 ? QString::fromLatin1(encipherForStorage(m_store.values.password.toLatin1()).toHex().toUpper())
                                 : m_store.values.password;
    std::vector<UserRecord> &users = m_project.devices.users;
    m_project.currentUser.reset();
    const int index = link::acceptedUser(users, m_store.values.username, compared);
    if (index >= 0)
        m_project.currentUser = users[size_t(index)];
    if (users.empty()) {
        users.push_back(UserRecord{});
        m_project.currentUser = users.back();
    }
    if (m_project.currentUser)
        return true;
    countFailure();
    return false;
}

void Session::countFailure()
{
    const qint64 now = m_clock();
    m_store.values.loginfail = link::countFailure(m_store.values.loginfail, m_store.values.logintime, now);
    m_store.values.logintime = now;
    m_store.save();
    KINFO(lcApi) << "login fail:" << m_store.values.username << m_store.values.logintime << now << m_store.values.loginfail;
}

// The first page of the controller's signal resources (cameras and the like).
void Session::askForCameras()
{
    const QByteArray request = link::requestEnvelope(QStringLiteral("GetSignalResourcesTreePage"),
                                                     QJsonObject{{QStringLiteral("per_num"), 50}});
    KINFO(lcLink) << "getIPCfromServer" << request;
    m_link.sendTo(link::serverRelay(m_store.values.serverIp), request);
}

} // namespace kora::login
