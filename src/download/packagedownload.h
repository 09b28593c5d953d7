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
// The receiver of the fragments (UDPThread) is the owner's: it hands its files to
// fileArrived(), and is told whom to listen to by expecting(). The owner also keeps the time:
// requested() says a request left, for its watchdog and repeats.
// Threads: main thread.
#include "link/sender.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace kora::download {

// What the host sends: an older controller's two files, one after the other, or the files
// its scan reply listed.
enum class PackageForm { OlderPictures, OlderConfig, Listed };

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

    PackageDownload(link::Sender &sender, std::function<Source()> source, QString dataDir, QObject *parent = nullptr);

    // The host's listed package; files whose cached copy has the listed MD5 count as done.
    void setListed(const QList<FileEntry> &files);
    // The older form: "pic.dat" first when the host's pictures changed, else the
    // configuration alone.
    void startOlder(bool withPictures);
    PackageForm form() const { return m_form; }

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

    // From the receiver: a file, complete with its MD5, or the list of its missing fragments.
    void fileArrived(const QByteArray &data, bool complete, const QByteArray &md5);

signals:
    // A request left: a new file's (the watchdog restarts) or a repeat or gap request.
    void requested(bool newFile);
    // Only the host's fragments count from now on; a new file forgets an unfinished one.
    void expecting(const QHostAddress &host, bool newFile);
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
    std::function<Source()> m_source;
    QString m_dataDir;
    QList<FileEntry> m_files;
    PackageForm m_form = PackageForm::Listed;
    QString m_currentFile;
};

} // namespace kora::download
