#pragma once
// The whole road of one login, from the operator's press to the pages or a failure:
//  1. login() refuses while the client is locked out (five failures, each within 300 s of the
//     one before, lock it for 600 s after the last; both numbers live in control.ini, so the
//     lock survives a restart), stores the account and the addresses, moves the sockets to
//     the local address (rebind), announces the client (announce) and 15 ms later scans for
//     nodes and asks the host service for its devices;
//  2. every node that answers within the sliding scan window is listed; the first one whose
//     reply names a project (or only the one at the download address) becomes the host, and
//     its reply lists the package's files with their MD5s;
//  3. when the window closes the files not cached with that MD5 are downloaded one by one
//     (download::PackageDownload) under the flow's watchdog and request repeats (LoginFlow);
//  4. the package is read in its order: descriptor (design size), language table, device
//     file, picture archive, design; the account is checked against the device file's users
//     and the facade builds the pages of the design it is handed (designAccepted), then says
//     so (pagesBuilt): the login is done.
// An older host sends "pic.dat" and "config_host.cfg" instead: the configuration holds the
// users, the signals and the pages (olderPagesRead). A download that stalls ends the login,
// except for the demonstration account, which then gets the built-in sample project.
//
// The session fills the project model it is given and reports to the facade by signals.
// Threads: main thread. The receiver of the fragments runs in a thread of its own, reached
// by signals: expecting() out, fragments() and fileArrived() in.
#include "download/packagedownload.h"
#include "link/sender.h"
#include "login/loginflow.h"
#include "model/project.h"
#include "model/records.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSize>
#include <functional>

namespace kora::settings {
class Store;
}
namespace kora::package {
struct LegacyConfig;
}

namespace kora::login {

// The built-in demonstration account.
constexpr char kDemoUser[] = "test";
constexpr char kDemoPassword[] = "480317";

class Session : public QObject
{
    Q_OBJECT
public:
    // Seconds since 1970, for the lock-out.
    using Clock = std::function<qint64()>;
    struct Node {
        QString address;
        QString hostTag; // field 1 of its reply; the download requests carry it
    };
    // How long the client waits for the devices to see its announcement before it scans.
    static constexpr int kAnnounceMs = 15;

    Session(link::Sender &link, settings::Store &store, Project &project, Clock clock, QObject *parent = nullptr);

    // Before a login: the scan window, watchdog and repeats; the screen the design is chosen for.
    void setTimings(const Timings &timings) { m_flow.setTimings(timings); }
    void setScreenAspect(float aspect) { m_aspect = aspect; }

    // False when the login is refused (locked out); the message says for how long.
    bool login(const QString &user, const QString &password, const QString &localIp, const QString &serverIp,
               const QString &downIp);
    // The login page again: nothing of the last login may end a later one.
    void reset() { m_flow.reset(); }
    // The facade built the pages of the design that designAccepted handed over.
    void pagesBuilt();

    // What the scan socket and the receiver hand in.
    void scanReply(const QByteArray &datagram, const QString &sender);
    void fragments(float percent);
    void fileArrived(const QByteArray &data, bool complete, const QByteArray &md5);

    State state() const { return m_flow.state(); }
    bool watchdogActive() const { return m_flow.watchdogActive(); }
    const QList<Node> &nodes() const { return m_nodes; }
    int hostIndex() const { return m_hostIndex; }
    // The chosen host's address; empty while none is chosen.
    QString hostAddress() const;
    const download::PackageDownload &download() const { return m_download; }

signals:
    // A login (or an older host's configuration) starts from an empty model: the facade
    // empties what it keeps of the last one.
    void modelReset();
    // The sockets move to the local address; the client announces itself.
    void rebind(const QString &localIp);
    void announce();
    void progress(const QString &text, float percent);
    // The project is loaded: `sysEn` is the bit set of the menus to offer.
    void projectLoaded(int sysEn);
    void designSizeChosen(const QSize &size);
    // A message for the login page, translated.
    void message(const QString &text);
    // The signal list is new: its snapshot readers start.
    void signalsRead();
    // The account was accepted: the facade builds these pages, then calls pagesBuilt().
    void designAccepted(const QByteArray &design);
    // An older project's pages: the facade announces their widgets at once.
    void olderPagesRead(const kora::package::LegacyConfig &config);
    // The end of a login: the pages are there, or it failed (the page is told once).
    void finished(bool loggedIn);
    // After finished(true) of an older project: its page list is complete.
    void olderPagesComplete();
    // For the receiver: only this host's fragments count.
    void expecting(const QHostAddress &host, bool newFile);

private:
    void scan();
    void scanEnded();
    void downloadNext();
    void stalled();
    void fail(const QString &why);
    void readPackage();
    void chooseDesignSize(const QByteArray &descriptor);
    void readDevices(const QByteArray &deviceFile);
    void unzipImage();
    void checkDeviceAccount(const QByteArray &design);
    void readOlderConfig(const QByteArray &data);
    bool checkOlderAccount();
    void countFailure();
    void loadDemonstration();
    void askForCameras();

    link::Sender &m_link;
    settings::Store &m_store;
    Project &m_project;
    const Clock m_clock;
    float m_aspect = 16.0f / 9.0f;

    LoginFlow m_flow;
    download::PackageDownload m_download;
    QList<Node> m_nodes;
    int m_hostIndex = -1;
    QSize m_designSize;             // chosen by this login's package
    QString m_projectMark;          // an older host's picture mark, kept across logins
    bool m_picturesChanged = false; // the mark changed, and "pic.dat" has not arrived since
    QList<PictureRecord> m_pictures; // "pic.dat" of an older host, named by its configuration
    bool m_encryptedPasswords = false;
    bool m_demonstration = false;
    quint64 m_logins = 0; // what an earlier login scheduled sees that a later one began
    QElapsedTimer m_elapsed;
};

} // namespace kora::login
