// The project download's ends: which file comes next, and the package read once it is all on disk
// (the requests, checks and cache in download/packagedownload.h).
#include "controller/imserverapi.h"

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

using namespace kora;

void ImServerApi::DownloadFile(const QString &name)
{
    m_download->request(name);
}

void ImServerApi::DownloadFile()
{
    if (m_hostIndex < 0 || m_hostIndex >= m_nodes.size()) {
        KWARN(lcDownload) << "none of the" << m_nodes.size() << "nodes that answered holds the project";
        loginTimeout(); // as a download that never starts: failed, or the demonstration project
        return;
    }
    if (m_download->form() != login::PackageForm::Listed) {
        // An older host: its two files are on their way, under the watchdog.
        if (m_login->state() != login::State::Downloading)
            failLogin(QStringLiteral("an older host was chosen, but no download runs"));
        return;
    }
    if (!m_download->requestNext())
        readPackage();
}

void ImServerApi::analyzNewProjectJson(const QByteArray &data)
{
    const QSize size = package::chooseDesignSize(data, m_aspectRatio);
    if (size.isValid())
        setWindowSize(size);
    KINFO(lcDownload) << "design size" << m_windowSize << QString::fromUtf8(data.left(2000));
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
    m_model = std::move(model);
    loadSnapshots();
    m_wholeListGroup = -1; // the group list is the device file's now
    KINFO(lcDownload) << "device file:" << m_model.outputs.size() << "outputs" << m_model.signalList.size() << "signals"
                       << m_model.users.size() << "users";
}

// A record and a reader for each signal of the project just read.
void ImServerApi::loadSnapshots()
{
    QList<kora::video::SignalSnapshot> snapshots;
    for (const SignalRecord &s : m_model.signalList)
        snapshots.append({s.ip, s.snapshotUrl});
    m_snapshots->setPictureSize(m_store.values.maxSnap.isValid() ? m_store.values.maxSnap : QSize(640, 360));
    m_snapshots->load(snapshots);
}

void ImServerApi::readPackage()
{
    m_login->analysing();
    const QList<download::FileEntry> &files = m_download->files();
    if (files.isEmpty()) {
        failLogin(QStringLiteral("the host lists no project files"));
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
    if (!listed(QStringLiteral("image.zip"), true).isEmpty() && QFile::exists(m_store.dataFile(QStringLiteral("image.zip"))))
        unzipImage();
    const QString design = QStringLiteral("client0_%1_%2.jui").arg(m_windowSize.width()).arg(m_windowSize.height());
    if (!listed(design, true).isEmpty())
        checkDeviceAccount(read(design));
    else
        failLogin(QStringLiteral("the package has no design %1 for this screen").arg(design));
    KINFO(lcDownload) << "package read; elapsed" << m_loginElapsed.elapsed() << "ms";
}

void ImServerApi::checkDeviceAccount(const QByteArray &designData)
{
    // The account name only, never the password in any form.
    const int index = link::acceptedUser(m_model.users, m_store.values.username, encodeDevicePassword(m_store.values.password));
    if (index < 0) {
        KINFO(lcApi) << "account" << m_store.values.username << "refused";
        m_login->fail(QStringLiteral("account refused"));
        emit callLoginMsgError(language(QStringLiteral("User or Password Error")));
        countLoginFailure();
        return;
    }
    KINFO(lcApi) << "account" << m_store.values.username << "accepted";
    m_currentUser = std::make_unique<UserRecord>(m_model.users[size_t(index)]);
    analyzNewDesignJson(designData, [this] {
        m_login->loggedIn();
        emit callQmlLogin(true);
        SaveConfig();
    });
}
