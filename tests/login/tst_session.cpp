// Whole logins without a network; the test plays the host with the lab's package or an older one
// (GBK "config_host.cfg", two-picture "pic.dat", account duty / Legacy#07) and keeps the clock.
#include "cipher/storagecipher.h"
#include "login/packagehost.h"
#include "login/session.h"
#include "package/legacyconfig.h"
#include "settings/store.h"
#include "settings/translations.h"
#include "support/testfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include "support/testmain.h"

using kora::login::Session;
using kora::login::State;

namespace {
// Short, but long against a busy machine's timer jitter.
constexpr kora::login::Timings kFast{100, 500, 150, 2};
const QString kLab = QStringLiteral(KORA_SAMPLES_DIR "/lab");
const QString kOlder = QStringLiteral(LEGACY_PACKAGE);
const QString kScan = QStringLiteral("scan {GetNodes2} -> 224.168.1.1:41234");

QString request(const QString &name, const QString &tag = QStringLiteral("1"))
{
    return QStringLiteral("{DownloadFile;%1;%2;10.0.0.2,54322,7000,1000} -> 10.0.0.10:41234").arg(tag, name);
}

struct Rig {
    explicit Rig(const QString &package = kLab, const QString &root = QString())
        : store(root.isEmpty() ? dir.path() : root)
        , session(sender, store, project, [this] { return now; })
        , host{package, QStringLiteral("10.0.0.10")}
    {
        store.load();
        session.setTimings(kFast);
    }
    // The login as far as the scan: true once the scan is on its way.
    bool login(const QString &user, const QString &password, const QString &downIp = QString())
    {
        sender.sent.clear();
        host.seen = 0;
        return session.login(user, password, QStringLiteral("10.0.0.2"), QString(), downIp)
               && QTest::qWaitFor([this] { return sender.sent.contains(kScan); }, 2000);
    }
    // The host answers the scan and every request until `done` holds.
    template<typename Done>
    QStringList download(Done done)
    {
        QStringList served;
        session.scanReply(host.scanReply(), host.address);
        // The caller checks what it waited for.
        static_cast<void>(QTest::qWaitFor([&] {
            served += host.serve(sender, session);
            return done();
        }, 5000));
        return served;
    }

    QTemporaryDir dir;
    kora::settings::Store store;
    RecordingSender sender;
    kora::Project project;
    qint64 now = 1900000000;
    Session session;
    PackageHost host;
};
} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void aWholeLogin()
    {
        Rig rig;
        QSignalSpy rebind(&rig.session, &Session::rebind);
        QSignalSpy announce(&rig.session, &Session::announce);
        QSignalSpy accepted(&rig.session, &Session::designAccepted);
        QSignalSpy finished(&rig.session, &Session::finished);
        QSignalSpy message(&rig.session, &Session::message);
        QVERIFY(rig.login("admin", "Admin#2024"));
        // The sockets move and the client announces itself before the scan and the host query.
        QCOMPARE(rebind.size(), 1);
        QCOMPARE(rebind.first().first().toString(), QStringLiteral("10.0.0.2"));
        QCOMPARE(announce.size(), 1);
        QCOMPARE(rig.sender.sent, (QStringList{kScan, R"(host {"request":"GetDev"} -> 255.255.255.255:3210)"}));

        // A node without project answers first: the host is the one that names a project.
        rig.session.scanReply("{GetNodes2;2;x;y;null}", "10.0.0.11");
        const QStringList served = rig.download([&] { return !accepted.isEmpty(); });
        // In the listed order, kvm.jui never.
        QCOMPARE(served, (QStringList{"northgate.ds", "language.txt", "device.json", "client0_1280_1024.jui",
                                      "client0_1920_1080.jui", "client0_1080_1920.jui", "image.zip"}));
        for (const QString &name : served)
            QVERIFY2(readFile(rig.store.dataFile(name)) == rig.host.file(name), qPrintable(name));
        QVERIFY(QFile::exists(rig.store.imageDir() + "/login_bg.png")); // the picture archive is unpacked

        // Read in its order: the design for a 16:9 screen, the account checked against the
        // device file, the translations of the package.
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(accepted.first().first().toByteArray(), rig.host.file("client0_1920_1080.jui"));
        QVERIFY(rig.project.currentUser);
        QCOMPARE(rig.project.currentUser->name, QStringLiteral("admin"));
        QCOMPARE(kora::translate(rig.project.translations, "User or Password Error"), QStringLiteral("用户名或密码错误"));
        QCOMPARE(rig.project.devices.outputs.size(), size_t(10));
        QVERIFY(message.isEmpty());
        QVERIFY(finished.isEmpty()); // the pages first
        rig.session.pagesBuilt();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(rig.session.state(), State::LoggedIn);
        QVERIFY(readFile(rig.store.dataFile("control.ini")).contains("username=admin"));

        // The project unchanged: the next login asks for nothing.
        QVERIFY(rig.login("admin", "Admin#2024"));
        QVERIFY(rig.download([&] { return accepted.size() == 2; }).isEmpty());
        QCOMPARE(accepted.size(), 2);
    }

    // A silent host: the watchdog ends the login once, later files count for nothing; the
    // demonstration account gets the built-in project instead.
    void aSilentHostEndsTheLogin_data()
    {
        columns<QString, QString, bool>({"user", "password", "gaps"});
        QTest::newRow("silent after the gap request") << "admin" << "Admin#2024" << true;
        QTest::newRow("the demonstration account") << kora::login::kDemoUser << kora::login::kDemoPassword << false;
    }
    void aSilentHostEndsTheLogin()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, gaps);
        Rig rig;
        QSignalSpy finished(&rig.session, &Session::finished);
        QSignalSpy accepted(&rig.session, &Session::designAccepted);
        QVERIFY(rig.login(user, password));
        rig.session.scanReply(rig.host.scanReply(), rig.host.address);
        QTRY_VERIFY(rig.sender.sent.contains(request("northgate.ds")));
        if (gaps) {
            rig.session.fragments(0.5f);
            rig.session.fileArrived("1,2", false, QByteArray());
            QCOMPARE(rig.sender.sent.last(), request("northgate.ds").replace("1000}", "1000;1,2}"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.size() + accepted.size(), 1, 5000);
        if (user == QLatin1String(kora::login::kDemoUser)) {
            // The built-in project's pages and user are tst_imserverapi's; here its settings.
            rig.session.pagesBuilt();
            QCOMPARE(finished.last().first().toBool(), true);
            QVERIFY(!QFile::exists(rig.store.dataFile("control.ini")));
            // A real login after it is no demonstration: its settings are kept.
            QVERIFY(rig.login("admin", "Admin#2024"));
            rig.download([&] { return accepted.size() == 2; });
            QCOMPARE(accepted.size(), 2);
            rig.session.pagesBuilt();
            QVERIFY(readFile(rig.store.dataFile("control.ini")).contains("username=admin"));
            return;
        }
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(rig.session.state(), State::Failed);
        QVERIFY(!rig.session.watchdogActive());
        // An unanswered request was repeated, within the bound.
        const int asked = rig.sender.sent.count(request("northgate.ds"));
        QVERIFY2(asked >= 2 && asked <= 1 + kFast.maxRepeats, qPrintable(QString::number(asked)));
        const int sent = rig.sender.sent.size();
        rig.session.fileArrived(rig.host.file("northgate.ds"), true, PackageHost::md5(rig.host.file("northgate.ds")));
        QCOMPARE(rig.sender.sent.size(), sent);
        QVERIFY(!QFile::exists(rig.store.dataFile("northgate.ds")));
        QCOMPARE(finished.size(), 1);
    }

    void whoBecomesTheHost_data()
    {
        columns<QString, bool, QString>({"downIp", "answered", "host"});
        QTest::newRow("only the download address may be the host") << "10.0.0.10" << true << "10.0.0.10";
        QTest::newRow("the download address holds no project") << "10.0.0.11" << true << "";
        QTest::newRow("nobody answers") << "" << false << "";
    }
    void whoBecomesTheHost()
    {
        QFETCH(QString, downIp);
        QFETCH(bool, answered);
        QFETCH(QString, host);
        Rig rig;
        QSignalSpy finished(&rig.session, &Session::finished);
        QSignalSpy progress(&rig.session, &Session::progress);
        QVERIFY(rig.login("admin", "Admin#2024", downIp));
        if (answered) {
            rig.session.scanReply("{GetNodes2;2;x;y;null}", "10.0.0.11");
            rig.session.scanReply(rig.host.scanReply(), rig.host.address);
            rig.session.scanReply(rig.host.scanReply(), rig.host.address); // a second reply adds no node
        }
        QTRY_VERIFY(!finished.isEmpty() || rig.sender.sent.contains(request("northgate.ds")));
        QCOMPARE(rig.session.hostAddress(), host);
        QCOMPARE(rig.session.nodes().size(), answered ? 2 : 0);
        QCOMPARE(progress.last().first().toString(), QStringLiteral("Scan end"));
        QCOMPARE(finished.size(), host.isEmpty() ? 1 : 0);
    }

    // The fifth failure within 300 s locks the login for 600 s, across a restart; the log never
    // holds the password in any form.
    void wrongPasswordsLockTheLoginAcrossARestart()
    {
        static QStringList logged;
        logged.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("kora.*=true"));
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            logged.append(text);
        });
        QTemporaryDir root;
        {
            Rig rig(kLab, root.path());
            for (int attempt = 1; attempt <= 5; ++attempt) {
                QSignalSpy message(&rig.session, &Session::message);
                QSignalSpy finished(&rig.session, &Session::finished);
                QVERIFY(rig.login("operator", "wrong"));
                rig.download([&] { return !message.isEmpty(); });
                QCOMPARE(message.size(), 1);
                QCOMPARE(message.first().first().toString(), QStringLiteral("用户名或密码错误"));
                QVERIFY(finished.isEmpty());
                QCOMPARE(rig.store.values.loginfail, attempt);
                rig.now += 10;
            }
        }
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        const QString log = logged.join('\n');
        QVERIFY(log.contains("operator"));
        const QByteArray enciphered = kora::encipherForStorage("wrong");
        for (const QByteArray &secret : {QByteArray("wrong"), enciphered.toHex(), enciphered.toBase64()})
            QVERIFY2(!log.contains(QString::fromLatin1(secret)), secret.constData());

        Rig restarted(kLab, root.path());
        QCOMPARE(restarted.store.values.loginfail, 5);
        QSignalSpy message(&restarted.session, &Session::message);
        QSignalSpy rebind(&restarted.session, &Session::rebind);
        restarted.now = 1900000040 + 599;
        QVERIFY(!restarted.session.login("operator", "op2024", "10.0.0.2", "", ""));
        QCOMPARE(message.last().first().toString(), QStringLiteral("Failed too often. Please try again later. 1s"));
        QVERIFY(rebind.isEmpty()); // nothing of the login left the client
        restarted.now += 1;
        QSignalSpy accepted(&restarted.session, &Session::designAccepted);
        QVERIFY(restarted.login("operator", "op2024"));
        restarted.download([&] { return !accepted.isEmpty(); });
        QCOMPARE(restarted.project.currentUser->role, QStringLiteral("operator"));
        QCOMPARE(restarted.store.values.loginfail, 5); // a success does not reset the counter
    }

    // An older host: the scan's older form, its pictures, then its configuration (the pages it
    // builds, in order, are tst_imserverapi's).
    void theOlderForm_data()
    {
        columns<QString, bool>({"password", "accepted"});
        QTest::newRow("right password") << "Legacy#07" << true;
        QTest::newRow("wrong password") << "wrong#99" << false;
    }
    void theOlderForm()
    {
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        Rig rig(kOlder);
        QSignalSpy finished(&rig.session, &Session::finished);
        QSignalSpy message(&rig.session, &Session::message);
        QSignalSpy loaded(&rig.session, &Session::projectLoaded);
        int pages = 0; // LegacyConfig is no metatype: counted, not spied
        connect(&rig.session, &Session::olderPagesRead, this, [&pages] { ++pages; });
        QVERIFY(rig.login("duty", password));
        rig.session.scanReply("{GetNodes;3;1,77,x}", rig.host.address); // no window to wait for
        QCOMPARE(rig.sender.sent.last(), request("pic.dat", "3"));
        QCOMPARE(rig.host.serve(rig.sender, rig.session), (QStringList{"pic.dat", "config_host.cfg"}));
        QCOMPARE(readFile(rig.store.dataFile("config_host.cfg")), rig.host.file("config_host.cfg"));
        if (!accepted) {
            QCOMPARE(message.size(), 1);
            QCOMPARE(message.first().first().toString(), QStringLiteral("User or Password Error"));
            QCOMPARE(rig.store.values.loginfail, 1);
            QVERIFY(finished.isEmpty() && pages == 0);
            return;
        }
        QCOMPARE(loaded.last().first().toInt(), 2); // "SysEn"
        QCOMPARE(finished.size(), 1);
        QCOMPARE(rig.project.currentUser->pageIds, (QStringList{"1", "2"}));
        QCOMPARE(rig.project.devices.signalList.size(), size_t(2));
        QCOMPARE(rig.project.devices.groups.front().name, QStringLiteral("值班"));
        QCOMPARE(kora::translate(rig.project.translations, "User or Password Error"), QStringLiteral("账号或密码错误"));
        QCOMPARE(readFile(rig.store.dataFile("legacy_bg.png")), QByteArray("\x89PNG legacy background"));
        QCOMPARE(readFile(rig.store.dataFile("legacy_logo.png")), QByteArray("\x89PNG legacy logo"));
    }
};

KORA_TEST(TestSession)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_session.moc"
