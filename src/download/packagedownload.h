#pragma once
// The project download: the requests to the host, the files its receiver hands over, their
// check against the listed MD5 and their place in the cache. What the files mean (the
// package, the older configuration) is the caller's; this object gets them onto disk, or
// says why not.
//
// Two forms: the listed package (the host's scan reply lists each file with its MD5; files
// already cached with that MD5 are not asked for), and the older form ("pic.dat", then
// "config_host.cfg", handed over as they arrive).
//
// Threads: everything here belongs to the main thread except m_receiver, a worker in the
// thread "download" that reaches us only through queued signals; shutdown() quits and joins it.
#include "link/sender.h"
#include "login/loginflow.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>

class UDPThread;

namespace kora::download {

struct FileEntry {
    QString name;
    QString md5;
    bool upToDate = false;
    int attempts = 0; // transfers that failed their MD5
};

// Whom to ask and where the fragments go; an empty host address while no host is chosen.
struct Source {
    QString hostAddress;
    QString hostTag;
    QString localIp;
};

// The request for a file ("{DownloadFile;tag,name,local,54322,7000,1000}"), with the
// missing fragments when some are asked for again. A list that would not fit one datagram
// is cut after a whole number: the next silence asks for the rest.
QByteArray fileRequest(const Source &source, const QString &name, const QByteArray &missing = QByteArray());

class PackageDownload : public QObject
{
    Q_OBJECT
public:
    // The longest missing-fragment list one request carries.
    static constexpr int kMaxMissingBytes = 60000;

    PackageDownload(link::Sender &sender, login::LoginFlow &login, std::function<Source()> source,
                    QString dataDir, QObject *parent = nullptr);
    ~PackageDownload() override;

    // Starts the receiver thread.
    void start();
    // Quits and joins the receiver thread.
    void shutdown();

    // The host's listed package; files whose cached copy has the listed MD5 count as done.
    void setListed(const QList<FileEntry> &files);
    // The older form: "pic.dat" first when the host's pictures changed, else the
    // configuration alone.
    void startOlder(bool withPictures);
    login::PackageForm form() const { return m_form; }

    // Asks for the next listed file not yet on disk; false when none is left.
    bool requestNext();
    // Asks for one file from its first fragment.
    bool request(const QString &name);
    // A request nothing answered: the same file again, the fragments held stay.
    void repeat();

    // Writes a file into the cache, whole or not at all; an unsafe name is refused.
    bool store(const QString &name, const QByteArray &data);

    const QList<FileEntry> &files() const { return m_files; }
    QString currentFile() const { return m_currentFile; }
    const UDPThread *receiver() const { return m_receiver; }

    // From the receiver: a file, complete with its MD5, or the list of its missing fragments.
    void fileArrived(const QByteArray &data, bool complete, const QByteArray &md5);
    void fragmentsArrived(float percent);

signals:
    void progress(const QString &file, float percent);
    // The older form's two files: the pictures are stored and the configuration asked for.
    void olderPictures(const QByteArray &data);
    void olderConfig(const QByteArray &data);
    // Every listed file is on disk with its listed MD5.
    void complete();
    void failed(const QString &why);

private:
    bool send(const QString &name, bool newFile, const QByteArray &missing = QByteArray());
    void listedFileArrived(const QString &name, const QByteArray &data, const QByteArray &md5);

    link::Sender &m_sender;
    login::LoginFlow &m_login;
    std::function<Source()> m_source;
    QString m_dataDir;
    QList<FileEntry> m_files;
    login::PackageForm m_form = login::PackageForm::Listed;
    QString m_currentFile;
    QThread m_receiverThread;
    UDPThread *m_receiver = nullptr; // in m_receiverThread, deleted when it finishes
};

} // namespace kora::download
