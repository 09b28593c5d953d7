// Logins against the simulated installation: this test runs on the client side of a lab
// network (scripts/with-lab) with kora-lab on the device side, and reads the lab's journal.
#include "cipher/storagecipher.h"
#include "controller/imserverapi.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "support/testfiles.h"

#include "support/labclient.h"

namespace {
using labclient::clientIp;
using labclient::control;
using labclient::journalEnd;
using labclient::journalFrom;
QString peer(int host) { return labclient::peerAddress(host); }

// The first line at or after `from` matching everything given; -1 when none.
int find(const QList<QJsonObject> &lines, const QString &peer, const QString &dir, const QString &textPart, int from = 0)
{
    for (int i = from; i < lines.size(); ++i) {
        const QJsonObject &o = lines.at(i);
        if (o.value("peer").toString() == peer && o.value("dir").toString() == dir
            && o.value("text").toString().contains(textPart))
            return i;
    }
    return -1;
}
kora::UserRecord user(const QString &name, const QString &password)
{
    kora::UserRecord u;
    u.name = name;
    u.password = password;
    return u;
}
// Every diagnostic line while it lives, kora's debug lines included.
class LogCapture
{
public:
    LogCapture()
    {
        lines().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("kora.*=true"));
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            lines().append(text);
        });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    bool contains(const QString &text) const { return lines().join('\n').contains(text, Qt::CaseInsensitive); }

private:
    static QStringList &lines()
    {
        static QStringList all;
        return all;
    }
    QtMessageHandler m_previous = nullptr;
};
// A password as the log could give it away: typed, or enciphered as hex or Base64.
QList<QByteArray> secretForms(const QByteArray &password)
{
    const QByteArray enciphered = kora::encipherForStorage(password);
    return {password, enciphered.toHex(), enciphered.toBase64()};
}
QStringList packageFiles()
{
    QStringList names;
    QFile manifest(QStringLiteral(KORA_SAMPLES_DIR "/lab/files.txt"));
    if (manifest.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : manifest.readAll().split('\n')) {
            const QString name = QString::fromUtf8(line.split(' ').value(0));
            if (!name.isEmpty() && name != QLatin1String("kvm.jui"))
                names.append(name);
        }
    }
    return names;
}
} // namespace

class TestLoginLab : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
        QVERIFY(labclient::clearFaults());
    }

    void loginScansChoosesTheHostAndDownloadsThePackage()
    {
        ImServerApi api;
        QSignalSpy message(&api, &ImServerApi::callLoginMsgError);
        QSignalSpy progress(&api, &ImServerApi::callDownProgress);
        QSignalSpy loaded(&api, &ImServerApi::callQmlLoad);
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QSignalSpy pages(&api, &ImServerApi::callQmlCreateVX2Page);
        QSignalSpy initPanel(&api, &ImServerApi::callQmlInitPanel);
        const qint64 before = journalEnd();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));

        // Every file arrives and is read; the design's pages are announced, then the login.
        QVERIFY(login.wait(15000));
        QCOMPARE(login.first().first().toBool(), true);
        QVERIFY(message.isEmpty());
        QCOMPARE(initPanel.size(), 1);
        QCOMPARE(pages.size(), 3); // every page but the login page
        QCOMPARE(pages.first().first().toMap().value("pageId").toString(), QStringLiteral("page-wall-a"));
        QVERIFY(QFile::exists("image/login_bg.png")); // the picture archive is unpacked
        QCOMPARE(api.currentUser()->name, QStringLiteral("admin"));
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().at(0).toBool(), true);
        QCOMPARE(loaded.first().at(1).toInt(), 4);
        QVERIFY(api.windowSize().isValid());
        const float screen = api.aspectRatio();
        QVERIFY(qAbs(float(api.windowSize().width()) / api.windowSize().height() - screen) <= qAbs(16.f / 9 - screen) + 1e-4f);
        QVERIFY(!api.translations().isEmpty());
        QCOMPARE(api.nodes().size(), 2);
        QVERIFY(api.hostIndex() >= 0);
        QCOMPARE(api.nodes().at(api.hostIndex()).address, peer(10));
        QCOMPARE(api.nodes().at(api.hostIndex()).hostTag, QStringLiteral("1"));
        QStringList names;
        for (const auto &f : api.download().files()) {
            names.append(f.name);
            QVERIFY2(f.upToDate, qPrintable(f.name));
        }
        QCOMPARE(names, packageFiles());
        checkCachedFiles();
        QCOMPARE(progress.first().first().toString(), QStringLiteral("Scan begins"));
        QVERIFY(!QFile::exists("data/kvm.jui"));

        // On the wire, in this order: the announcement, the scan, the host service query,
        // then the request of the first file.
        const QList<QJsonObject> j = journalFrom(before);
        const int notify = find(j, "group 239.255.255.250", "in", "\"nts\":\"alive\"");
        const int scan = find(j, "group 224.168.1.1", "in", "{GetNodes2}");
        const int getDev = find(j, "group 255.255.255.255", "in", R"({"request":"GetDev"})");
        const QString request = QStringLiteral("{DownloadFile;1;%1;%2,54322,7000,1000}").arg(packageFiles().first(), clientIp());
        const int download = find(j, "host-node", "in", request);
        QVERIFY2(notify >= 0 && scan > notify && getDev > scan && download > getDev,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(notify).arg(scan).arg(getDev).arg(download)));
        QCOMPARE(j.at(scan).value("text").toString(), QStringLiteral("{GetNodes2}"));
        QVERIFY(j.at(scan).value("src").toString().startsWith(clientIp() + ":"));
        QVERIFY(j.at(download).value("src").toString().endsWith(":41234"));

        // A second login with the project unchanged asks for nothing.
        const qint64 second = journalEnd();
        login.clear();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QVERIFY(login.wait(5000));
        QCOMPARE(login.first().first().toBool(), true);
        QCOMPARE(find(journalFrom(second), "host-node", "in", "{DownloadFile;"), -1);
    }

    void accountCheckAgainstTheDeviceFile()
    {
        ImServerApi api;
        QSignalSpy message(&api, &ImServerApi::callLoginMsgError);
        LogCapture log;
        QVERIFY(api.ServerLogin("operator", "wrong", clientIp(), "", ""));
        QTRY_VERIFY_WITH_TIMEOUT(message.size() >= 1, 15000);
        // Shown once (the check emits every message at once), translated by the package's table.
        const QString error = api.language("User or Password Error");
        QCOMPARE(error, QStringLiteral("用户名或密码错误"));
        QCOMPARE(message.size(), 1);
        QCOMPARE(message.at(0).first().toString(), error);
        QVERIFY(!api.currentUser());
        QVERIFY(!api.loginTimerActive());
        // The log names the account, never its password in any form.
        QVERIFY(log.contains("operator"));
        for (const QByteArray &secret : secretForms("wrong"))
            QVERIFY2(!log.contains(secret), secret.constData());
        QCOMPARE(api.settings().loginfail, 1); // counted by the lock-out
        QCOMPARE(api.outputs().size(), size_t(10)); // host, spare and the eight decoders
        QVERIFY(api.signalList().size() >= 12);

        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QVERIFY(api.ServerLogin("operator", "op2024", clientIp(), "", ""));
        QVERIFY(login.wait(15000));
        QCOMPARE(login.first().first().toBool(), true);
        QVERIFY(api.currentUser());
        QCOMPARE(api.currentUser()->name, QStringLiteral("operator"));
        QCOMPARE(api.currentUser()->role, QStringLiteral("operator"));
        QVERIFY(!api.currentUser()->pageIds.isEmpty());
    }

    void lossIsRepairedByTheGapRequest_data()
    {
        QTest::addColumn<bool>("reorder");
        QTest::newRow("in order: asked when the burst ends") << false;
        QTest::newRow("reordered: asked after the silence") << true;
    }
    void lossIsRepairedByTheGapRequest()
    {
        QFETCH(bool, reorder);
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"dropFraction", 0.05}, {"seed", 3}, {"duplicateFraction", 0.02}, {"reorder", reorder}}}}).value("ok").toBool());
        ImServerApi api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        const qint64 before = journalEnd();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QVERIFY(login.wait(20000));
        QCOMPARE(login.first().first().toBool(), true);
        checkCachedFiles();
        // At least one file needed the second request form, with its missing numbers.
        bool gapRequest = false;
        for (const QJsonObject &o : journalFrom(before)) {
            const QString text = o.value("text").toString();
            gapRequest = gapRequest || (o.value("peer").toString() == "host-node" && text.startsWith("{DownloadFile;")
                                        && text.count(';') == 4);
        }
        QVERIFY(gapRequest);
    }

    void aRequestNothingAnswersIsSentAgain()
    {
        // The first fragment of every file is lost on its first send: for the one-fragment
        // descriptor nothing arrives at all, so there is no gap to ask for.
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"dropFragments", QJsonArray{0}}}}}).value("ok").toBool());
        ImServerApi api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        const qint64 before = journalEnd();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QVERIFY(login.wait(15000));
        QCOMPARE(login.first().first().toBool(), true);
        checkCachedFiles();
        const QString request = QStringLiteral("{DownloadFile;1;%1;%2,54322,7000,1000}").arg(packageFiles().first(), clientIp());
        const QList<QJsonObject> j = journalFrom(before);
        const int first = find(j, "host-node", "in", request);
        QVERIFY(first >= 0);
        QVERIFY(find(j, "host-node", "in", request, first + 1) > first);
    }

    void badMd5NeverReplacesTheCachedFile()
    {
        QDir().mkpath("data");
        writeFile("data/device.json", "the good cached copy");
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"corruptMd5", "device.json"}}}}).value("ok").toBool());
        ImServerApi api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QVERIFY(login.wait(15000)); // the download stops at the bad file, the watchdog ends it
        QCOMPARE(login.first().first().toBool(), false);
        QCOMPARE(readFile("data/device.json"), QByteArray("the good cached copy"));
    }

    // Every way a download can stall ends the login as failed, the watchdog stopped, and the
    // next login goes through.
    void everyStalledDownloadEnds_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<bool>("silenceHostMidFile"); // the host falls silent once a file has begun
        QTest::addColumn<int>("downHost");            // the download address; 0: any node
        QTest::newRow("the host falls silent after the gap request")
            << QJsonObject{{"stopFile", "device.json"}, {"stopAfterFragments", 1}} << true << 0;
        QTest::newRow("no fragment of a file arrives") << QJsonObject{{"stopFile", "*"}, {"stopAfterFragments", 0}} << false << 0;
        QTest::newRow("a file fails its check every time") << QJsonObject{{"corruptMd5", "device.json"}} << false << 0;
        QTest::newRow("the node at the download address holds no project") << QJsonObject{} << false << 11;
    }
    void everyStalledDownloadEnds()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(bool, silenceHostMidFile);
        QFETCH(int, downHost);
        QVERIFY(control({{"cmd", "faults"}, {"set", faults}}).value("ok").toBool());
        ImServerApi api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QSignalSpy message(&api, &ImServerApi::callLoginMsgError);
        bool silenced = false;
        if (silenceHostMidFile) {
            // The first fragment of device.json is in: from now on the host answers nothing,
            // neither the request of the missing fragments nor its repetitions.
            connect(&api, &ImServerApi::callDownProgress, this, [&silenced](const QString &file, float percent) {
                if (!silenced && file == QLatin1String("device.json") && percent > 0)
                    silenced = control({{"cmd", "faults"}, {"set", QJsonObject{{"silentPeers", QJsonArray{"host-node"}}}}})
                                   .value("ok").toBool();
            });
        }
        const qint64 before = journalEnd();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", downHost ? peer(downHost) : QString()));
        QTRY_VERIFY_WITH_TIMEOUT(!login.isEmpty(), 10000);
        QCOMPARE(login.size(), 1);
        QCOMPARE(login.first().first().toBool(), false);
        QVERIFY(message.isEmpty());
        QVERIFY(!api.loginTimerActive());
        QVERIFY(!api.currentUser());
        if (silenceHostMidFile) {
            QVERIFY(silenced);
            // The missing fragments were asked for (the second request form), and nobody answered.
            const QString gaps = QStringLiteral("{DownloadFile;1;device.json;%1,54322,7000,1000;").arg(clientIp());
            QVERIFY(find(journalFrom(before), "host-node", "in", gaps) >= 0);
        }

        QVERIFY(labclient::clearFaults());
        login.clear();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QTRY_VERIFY_WITH_TIMEOUT(!login.isEmpty(), 15000);
        QCOMPARE(login.size(), 1);
        QCOMPARE(login.first().first().toBool(), true);
        QCOMPARE(api.currentUser()->name, QStringLiteral("admin"));
    }

    void downloadAddressRule_data()
    {
        QTest::addColumn<int>("downHost");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("the download address holds the project") << 10 << true;
        QTest::newRow("the download address holds none") << 11 << false;
    }
    void downloadAddressRule()
    {
        QFETCH(int, downHost);
        QFETCH(bool, chosen);
        ImServerApi api;
        const qint64 before = journalEnd();
        QSignalSpy progress(&api, &ImServerApi::callDownProgress);
        QVERIFY(api.ServerLogin("admin", "x", clientIp(), "", peer(downHost)));
        const auto scanEnded = [&progress] {
            return std::any_of(progress.cbegin(), progress.cend(),
                               [](const QList<QVariant> &call) { return call.first().toString() == QLatin1String("Scan end"); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(scanEnded(), 5000); // the scan window closed
        QCOMPARE(api.nodes().size(), 2);
        QCOMPARE(api.hostIndex() >= 0, chosen);
        if (chosen)
            QCOMPARE(api.nodes().at(api.hostIndex()).address, peer(downHost));
        // The request leaves as the scan window closes.
        if (chosen)
            QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "host-node", "in", "{DownloadFile;") >= 0, 3000);
        else
            QCOMPARE(find(journalFrom(before), "host-node", "in", "{DownloadFile;"), -1);
    }

    void nobodyAnswering()
    {
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"silentPeers", QJsonArray{"host-node", "spare-node"}}}}}).value("ok").toBool());
        ImServerApi api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QSignalSpy progress(&api, &ImServerApi::callDownProgress);
        QVERIFY(api.ServerLogin("admin", "x", clientIp(), "", ""));
        QVERIFY(login.wait(4000));
        QCOMPARE(login.first().first().toBool(), false);
        QVERIFY(api.nodes().isEmpty());
        QCOMPARE(progress.last().first().toString(), QStringLiteral("Scan end"));
    }

    void discoveryBothWays()
    {
        ImServerApi api;
        // Our search at start-up is answered by the lab's discovery peer.
        QTRY_VERIFY_WITH_TIMEOUT(!api.foundPeers().isEmpty(), 3000);
        bool found = false;
        for (const auto &p : api.foundPeers())
            found = found || (p.address == peer(7) && !p.uuid.isEmpty());
        QVERIFY(found);
        // The lab's search is answered by us within its one second.
        const qint64 before = journalEnd();
        QVERIFY(control({{"cmd", "announce"}}).value("ok").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "discovery", "in", "\"type\":\"rsearch\"") >= 0, 3000);
    }

    void fiveWrongPasswordsLockTheLoginOut()
    {
        ImServerApi api;
        QSignalSpy message(&api, &ImServerApi::callLoginMsgError);
        const QString error = QStringLiteral("用户名或密码错误");
        for (int attempt = 1; attempt <= 5; ++attempt) {
            message.clear();
            QVERIFY(api.ServerLogin("operator", "wrong", clientIp(), "", ""));
            QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 15000);
            QCOMPARE(message.size(), 1);
            QCOMPARE(message.last().first().toString(), error);
            QCOMPARE(api.settings().loginfail, attempt);
        }
        // The sixth try never reaches the network.
        message.clear();
        const qint64 before = journalEnd();
        QVERIFY(!api.ServerLogin("operator", "op2024", clientIp(), "", ""));
        QVERIFY(message.last().first().toString().startsWith(api.language("Failed too often. Please try again later.")));
        // A datagram sent afterwards reaches the lab: a scan of the refused login would be before it.
        api.link().sendTo(kora::link::wallUnicast({peer(20)}), "{GetWindows;1}");
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "decoder-1.1", "in", "{GetWindows;1}") >= 0, 3000);
        QCOMPARE(find(journalFrom(before), "group 224.168.1.1", "in", "{GetNodes2}"), -1);
    }

    void lockOutSurvivesARestart()
    {
        qint64 now = 1900000000;
        {
            ImServerApi api;
            api.setClock([&now] { return now; });
            QVERIFY(api.ServerLogin("admin", "wrong", clientIp(), "", ""));
            api.users().push_back(user("admin", "right")); // as the device file would give
            for (int i = 0; i < 5; ++i) {
                QVERIFY(!api.checkAccount());
                now += 10;
            }
            QCOMPARE(api.settings().loginfail, 5);
        }
        ImServerApi restarted; // reads control.ini again
        QCOMPARE(restarted.settings().loginfail, 5);
        restarted.setClock([&now] { return now; });
        QSignalSpy message(&restarted, &ImServerApi::callLoginMsgError);
        now = 1900000040 + 599;
        QVERIFY(!restarted.ServerLogin("admin", "right", clientIp(), "", ""));
        QCOMPARE(message.last().first().toString(), QStringLiteral("Failed too often. Please try again later. 1s"));
        now += 1;
        QVERIFY(restarted.ServerLogin("admin", "right", clientIp(), "", ""));
        restarted.users().push_back(user("admin", "right"));
        QVERIFY(restarted.checkAccount());
        QCOMPARE(restarted.currentUser()->name, QStringLiteral("admin"));
        QCOMPARE(restarted.settings().loginfail, 5); // a success does not reset the counter
    }

    void routedDatagramsReachTheWall()
    {
        kora::link::Link link;
        link.open();
        const qint64 before = journalEnd();
        link.sendTo(kora::link::wallUnicast({peer(20), peer(21) + "-2"}), "{GetWindows;1}");
        link.sendTo(kora::link::serverRelay(""), "{GetWindows;1}"); // no controller: nothing
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "decoder-1.2", "in", "{GetWindows;1}") >= 0, 3000);
        const QList<QJsonObject> j = journalFrom(before);
        QVERIFY(find(j, "decoder-1.1", "in", "{GetWindows;1}") >= 0);
        QVERIFY(find(j, "decoder-1.1", "out", "{GetWindows;1") >= 0);
        QCOMPARE(find(j, "controller", "in", "{GetWindows;1}"), -1);
    }

    void tcpDeliveryNeverFreezesAndRecovers()
    {
        kora::link::Link link;
        const qint64 before = journalEnd();
        link.sendTcp("POWER ON\r\n", peer(8), 9001);
        link.sendTcp("LOST\r\n", peer(99), 9001);          // nobody there: the connect times out
        link.sendTcp("REFUSED\r\n", peer(8) + "-3", 9999); // refused at once
        link.sendTcp("POWER OFF\r\n", peer(8), 9001);
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "equipment", "in", "POWER OFF") >= 0, 3000);
        const QList<QJsonObject> j = journalFrom(before);
        const int on = find(j, "equipment", "in", "POWER ON");
        QVERIFY(on >= 0);
        QVERIFY(find(j, "equipment", "in", "POWER OFF", on) > on);
        QCOMPARE(find(j, "equipment", "in", "LOST"), -1);
        QCOMPARE(find(j, "equipment", "in", "REFUSED"), -1);
    }

private:
    static void checkCachedFiles()
    {
        for (const QString &name : packageFiles()) {
            const QByteArray served = readFile(QStringLiteral(KORA_SAMPLES_DIR "/lab/") + name);
            QVERIFY2(!served.isEmpty(), qPrintable(name));
            QVERIFY2(readFile("data/" + name) == served, qPrintable(name));
        }
    }

    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestLoginLab)
#include "tst_login_lab.moc"
