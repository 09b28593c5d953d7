// Runs inside the lab network: the controller broadcasts and multicasts when constructed.
#include "controller/imserverapi.h"
#include "download/udpthread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QNetworkInterface>
#include <QtTest>

#include "support/testfiles.h"

using namespace kora;

namespace {

// A lab address for the controller: nothing listens there, and nothing leaves the lab.
QString labAddress(int host)
{
    const QString device = qEnvironmentVariable("KORA_LAB_DEVICE_IP");
    return device.left(device.lastIndexOf('.') + 1) + QString::number(host);
}

QJsonObject resource(const QString &id, const QString &path = QString())
{
    return {{"id", id}, {"name", "Camera " + id}, {"url0", "rtsp://cam/" + id}, {"url1", "rtsp://cam/" + id + "/sub"},
            {"path", path}};
}

// "GetSignalResourcesTree", or its paged form when `paged`.
QByteArray signalList(const QJsonArray &entries, bool paged)
{
    QJsonObject data{{"list", entries}};
    if (paged) {
        data.insert("total", 1);
        data.insert("index", 1);
    }
    const QJsonObject reply{{"code", 0}, {"response", paged ? "GetSignalResourcesTreePage" : "GetSignalResourcesTree"}, {"data", data}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

QByteArray hostDevice(const QString &id)
{
    return QJsonDocument(QJsonObject{{"code", 0}, {"response", "GetDev"}, {"data", QJsonObject{{"dev_id", id}, {"dev_name", "Seat " + id}}}})
        .toJson(QJsonDocument::Compact);
}
} // namespace

class TestImServerApi : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void constructionAnnouncesAndPreparesFolders()
    {
        QUdpSocket start;
        QVERIFY(start.bind(QHostAddress::AnyIPv4, 41234, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QUdpSocket ssdp;
        QVERIFY(ssdp.bind(QHostAddress::AnyIPv4, 1901, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(ssdp.joinMulticastGroup(QHostAddress("239.255.255.250")));

        ImServerApi api;
        QTRY_VERIFY_WITH_TIMEOUT(start.hasPendingDatagrams(), 3000);
        QCOMPARE(start.receiveDatagram().data(), QByteArray("start"));
        QTRY_VERIFY_WITH_TIMEOUT(ssdp.hasPendingDatagrams(), 3000);
        QCOMPARE(ssdp.receiveDatagram().data(), QByteArray(R"({"mx":1,"st":"urn:vxr:sw:korav2","type":"search"})"));

        for (const char *folder : {"data", "image", "log"})
            QVERIFY2(QDir(m_dir->path() + "/" + folder).exists(), folder);
        QCOMPARE(api.dataDir(), m_dir->path() + "/data");
        QCOMPARE(api.version(), QStringLiteral("v1.9.1"));
        QCOMPARE(api.system(), 0);
        QCOMPARE(api.panelNum(), 0);
        QVERIFY(api.pageNames().isEmpty());
        QCOMPARE(api.windowFlag(), 0);
        QVERIFY(api.settings().multicast);
        QCOMPARE(api.settings().minSnap, QSize(256, 144));
        QCOMPARE(api.picMd5(), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")); // no pic.dat
        QVERIFY(api.localIp().startsWith("10.77.")); // the lab's client address

        QTRY_VERIFY_WITH_TIMEOUT(api.download().receiver()->isBound(), 3000);
        api.shutdown();
    }

    // The stored address counts while it is this machine's; one of a network left behind
    // gives way to the address found at start.
    void savedSettingsReplaceTheFoundAddress_data()
    {
        const QString found = kora::chooseLocalIp(QNetworkInterface::allAddresses());
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("used");
        QTest::newRow("this machine's") << found << found;
        QTest::newRow("another network's") << "10.9.9.9" << found;
    }
    void savedSettingsReplaceTheFoundAddress()
    {
        QFETCH(QString, saved);
        QFETCH(QString, used);
        QDir().mkpath("data");
        writeFile("data/control.ini", "[Local]\nlocalIp=" + saved.toLatin1() + "\nwindowFlag=1\nenableLog=true\n");
        writeFile("data/pic.dat", "abc");
        ImServerApi api;
        QCOMPARE(api.localIp(), used);
        QCOMPARE(api.windowFlag(), 1);
        QVERIFY(api.enableLog());
        QVERIFY(!api.settings().multicast);
        QCOMPARE(api.picMd5(), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        api.SaveConfig();
        QFile file("data/control.ini");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 16); // the group line and 15 keys
    }

    void properties()
    {
        ImServerApi api;
        QSignalSpy spy(&api, &ImServerApi::modeChanged);
        api.setMode(0);
        QCOMPARE(spy.count(), 0);
        api.setMode(3);
        api.setMode(3);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(api.property("mode").toInt(), 3);
        QVERIFY(api.property("flgLine").toBool());
        QVERIFY(api.setProperty("selPanel", "w2"));
        QCOMPARE(api.selPanel(), QStringLiteral("w2"));

        QCOMPARE(api.toImagePath(QString()), QString());
        QCOMPARE(api.toImagePath("/x/y.png"), QStringLiteral("file:/x/y.png"));
        QCOMPARE(api.getSysMessage("nothing"), QString());
        QCOMPARE(api.getSysMessage("title"), QString());
        QCOMPARE(api.getCurrentCpu(), 0.0);
        QVERIFY(!api.ServerSwitchLayer(0, 1, 2));
        QCOMPARE(api.codec2String(QByteArray::fromHex("b5c7c2bc")), QStringLiteral("登录"));
    }

    void pagesOfTheCurrentUser()
    {
        ImServerApi api;
        api.pages() = {{"Main", "p1"}, {"Walls", "p2"}, {"Audio", "p3"}};
        auto user = std::make_unique<UserRecord>();
        user->pageIds = QStringList{"p3", "missing", "p1"};
        api.setCurrentUser(std::move(user));
        QCOMPARE(api.pageNames(), (QStringList{"Audio", "Main"}));
        api.setCurrentPageFromPrivate(0);
        QCOMPARE(api.currentPage(), 2);
        api.setCurrentPageFromPrivate(1); // no page with that id: unchanged
        QCOMPARE(api.currentPage(), 2);
        api.setCurrentPageFromPrivate(9);
        QCOMPARE(api.currentPage(), 2);

        api.initialization();
        QVERIFY(api.pageNames().isEmpty());
        QVERIFY(!api.currentUser());
        QVERIFY(api.pages().empty());
    }

    void translationsAndStars()
    {
        QDir().mkpath("data");
        writeFile("data/language.txt", QByteArray("Login=") + QByteArray::fromHex("b5c7c2bc") + "\r\n");
        ImServerApi api;
        QCOMPARE(api.language("Login"), QStringLiteral("登录"));
        QCOMPARE(api.language("Other"), QStringLiteral("Other"));

        auto signal = [](const char *name, const char *ip, bool star) {
            SignalRecord s;
            s.name = name;
            s.ip = ip;
            s.star = star;
            return s;
        };
        api.signalList() = {signal("cam", "10.0.0.1", false), signal("pc", "10.0.0.2", true), signal("tv", "10.0.0.3", true)};
        api.SaveSignalConfig();
        api.signalList() = {signal("tv", "10.0.0.3", false), signal("cam", "10.0.0.1", false), signal("pc", "10.0.0.2", false)};
        api.LoadSignalConfig();
        QVERIFY(api.signalList()[0].star);
        QVERIFY(!api.signalList()[1].star);
        QVERIFY(api.signalList()[2].star);

        api.initialization();
        QCOMPARE(api.language("Login"), QStringLiteral("Login"));
    }

    void starsSurviveARestart()
    {
        QDir().mkpath("data");
        auto signals_ = [] {
            std::vector<SignalRecord> list(3);
            const char *names[] = {"cam", "会议室 PC", "tv"};
            for (int i = 0; i < 3; ++i) {
                list[size_t(i)].name = QString::fromUtf8(names[i]);
                list[size_t(i)].ip = QStringLiteral("10.0.0.%1").arg(i + 1);
            }
            return list;
        };
        {
            ImServerApi api;
            api.signalList() = signals_();
            QSignalSpy stars(&api, &ImServerApi::callQmlRefeshSignalStar);
            api.setSignalStar("10.0.0.2", true);
            api.setSignalStar("10.0.0.9", true); // no such signal: the list is sent unchanged
            QCOMPARE(stars.size(), 2);
            const QJsonArray expected{QJsonObject{{"text", "会议室 PC"}, {"isoption", false}, {"index", 1}, {"type", 0}}};
            QCOMPARE(stars.at(0).first().toJsonArray(), expected);
            QCOMPARE(stars.at(1).first().toJsonArray(), expected);
            QVERIFY(api.isStar("10.0.0.2"));
            QVERIFY(!api.isStar("10.0.0.9"));
        }
        ImServerApi restarted;
        restarted.signalList() = signals_();
        restarted.LoadSignalConfig();
        QVERIFY(restarted.isStar("10.0.0.2"));
        QVERIFY(!restarted.isStar("10.0.0.1"));
        QCOMPARE(restarted.getSignalNumByName(QStringLiteral("收藏")), QVariantList{1});
    }

    void cachedDesignShowsItsLoginPage()
    {
        QDir().mkpath("data");
        const QByteArray design = readFile(QStringLiteral(SAMPLES_SOURCE "/lab/client0_1920_1080.jui"));
        writeFile("data/client0_1920_1080.jui", design);
        // A portrait design of the same project: the offscreen screen is landscape.
        writeFile("data/client0_1080_1920.jui", "{\"ui\":{\"item\":[]}}");
        writeFile("data/control.ini", "[Local]\nusername=operator\nflgRemb=true\n");
        ImServerApi api;
        QSignalSpy look(&api, &ImServerApi::callQmlSetLogin);
        QSignalSpy inputs(&api, &ImServerApi::callQmlSetLoginVX2InputBox);
        QSignalSpy buttons(&api, &ImServerApi::callQmlSetLoginVX2Button);
        QSignalSpy rects(&api, &ImServerApi::callQmlCreateVX2Rect);
        QSignalSpy last(&api, &ImServerApi::callQmlLastMsg);
        QCOMPARE(api.findJuiFile(), QStringLiteral("client0_1920_1080.jui"));
        api.LoadLocalfile();
        QCOMPARE(look.size(), 1);
        QCOMPARE(look.first().first().toMap().value("bkPic").toString(), QStringLiteral("./image/login_bg.png"));
        QCOMPARE(api.windowSize(), QSize(1920, 1080));
        QStringList labels;
        for (const QList<QVariant> &call : inputs)
            labels.append(call.first().toMap().value("label").toString());
        QCOMPARE(labels, QStringList({"UserInputBox", "PasswordInputBox", "HostIPInputBox", "ServerIPInputBox",
                                      "DownloadInputBox"}));
        QCOMPARE(buttons.size(), 3);
        QVERIFY(!rects.isEmpty());
        QCOMPARE(rects.first().first().toString(), QStringLiteral("%LoginWidget%"));
        // The remembered login comes last, so the page can fill the fields it just built.
        QCOMPARE(last.size(), 1);
        QCOMPARE(last.first().first().toMap().value("username").toString(), QStringLiteral("operator"));
    }

    void withoutCacheOnlyTheLastLogin()
    {
        ImServerApi api;
        QSignalSpy look(&api, &ImServerApi::callQmlSetLogin);
        QSignalSpy last(&api, &ImServerApi::callQmlLastMsg);
        QDir().mkpath("data");
        writeFile("data/client0_1920_1080.jui", "not json"); // a damaged cache builds nothing
        api.LoadLocalfile();
        QCOMPARE(look.size(), 0);
        QCOMPARE(last.size(), 1);
    }

    void demonstrationAccountLoadsTheBuiltInProject()
    {
        ImServerApi api;
        QSignalSpy load(&api, &ImServerApi::callQmlLoad);
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QSignalSpy pages(&api, &ImServerApi::callQmlCreateVX2Page);
        QSignalSpy screens(&api, &ImServerApi::callQmlCreateVX2Screen);
        QSignalSpy initPanel(&api, &ImServerApi::callQmlInitPanel);
        // Nobody answers the scan here, so the watchdog takes the demonstration path.
        QVERIFY(api.ServerLogin("test", "480317", "", "", ""));
        QVERIFY(login.wait(5000));
        QCOMPARE(login.first().first().toBool(), true);
        QCOMPARE(load.size(), 1);
        QCOMPARE(load.first().at(0).toBool(), true);
        QCOMPARE(load.first().at(1).toInt(), 4);
        QVERIFY(api.currentUser());
        QCOMPARE(api.currentUser()->name, QStringLiteral("admin"));
        QStringList ids;
        for (const QList<QVariant> &call : pages)
            ids.append(call.first().toMap().value("pageId").toString());
        QCOMPARE(ids, QStringList({"page-demo-wall", "page-demo-room"}));
        QVERIFY(!screens.isEmpty());
        QCOMPARE(initPanel.size(), 1); // before the login, after every page
    }

    // Anyone on the command port could send a signal list: only the controller the client
    // talks to adds signals (and snapshot records), anything else is refused.
    void signalListsOnlyFromTheController_data()
    {
        QTest::addColumn<bool>("paged");
        QTest::addColumn<bool>("fromController");
        QTest::newRow("whole list, the controller") << false << true;
        QTest::newRow("whole list, another address") << false << false;
        QTest::newRow("paged, the controller") << true << true;
        QTest::newRow("paged, another address") << true << false;
    }
    void signalListsOnlyFromTheController()
    {
        QFETCH(bool, paged);
        QFETCH(bool, fromController);
        ImServerApi api;
        const QString controller = labAddress(2);
        QVERIFY(api.ServerLogin("admin", "x", api.localIp(), controller, ""));
        const size_t groups = api.signalGroups().size();
        api.handleReply(signalList({resource("c1", "Cameras"), resource("c2", "Cameras")}, paged),
                        fromController ? controller : labAddress(66), api.dispatchContext());
        QCOMPARE(api.signalList().size(), size_t(fromController ? 2 : 0));
        QCOMPARE(api.signalGroups().size(), groups + (fromController ? 1 : 0));
        QCOMPARE(bool(api.previewTable()->find("c1")), fromController);

        // The controller's snapshot table moves only the streams of signals it listed.
        api.handleReply(R"({"code":0,"response":"SetWindows","data":[{"id":"c1","snapUrl":"239.1.1.1:5000"},{"id":"x","snapUrl":"239.1.1.2:5000"}]})",
                        labAddress(66), api.dispatchContext());
        QVERIFY(!api.previewTable()->find("x"));
        api.handleReply(R"({"code":0,"response":"SetWindows","data":[{"id":"x","snapUrl":"239.1.1.2:5000"}]})", controller,
                        api.dispatchContext());
        QVERIFY(!api.previewTable()->find("x"));
    }

    // A repeated list adds nothing; the totals stay bounded however many lists come.
    void signalListsKeepOneCopyAndStayBounded_data()
    {
        QTest::addColumn<bool>("paged");
        QTest::newRow("whole list") << false;
        QTest::newRow("paged") << true;
    }
    void signalListsKeepOneCopyAndStayBounded()
    {
        QFETCH(bool, paged);
        ImServerApi api;
        const QString controller = labAddress(2);
        QVERIFY(api.ServerLogin("admin", "x", api.localIp(), controller, ""));
        QSignalSpy refreshed(&api, &ImServerApi::callQmlRefreshIPCList);
        const QByteArray list = signalList({resource("c1", "Cameras"), resource("c2", "Cameras"), resource("c1", "Cameras")}, paged);
        for (int i = 0; i < 3; ++i)
            api.handleReply(list, controller, api.dispatchContext());
        QCOMPARE(api.signalList().size(), size_t(2));
        QCOMPARE(api.signalGroups().size(), size_t(1));
        QCOMPARE(api.signalGroups().front().signalIndexes, (QList<int>{0, 1}));
        QCOMPARE(refreshed.size(), 3);

        // Lists of new signals, each in a group of its own: far more than any installation has.
        for (int n = 0; n < 12; ++n) {
            QJsonArray entries;
            for (int i = 0; i < 1000; ++i) {
                const QString id = QStringLiteral("s%1-%2").arg(n).arg(i);
                entries.append(paged ? QJsonObject{{"id", id}, {"path", id}} : QJsonObject{{"id", id}});
            }
            const QByteArray reply = signalList(entries, paged);
            QVERIFY(reply.size() < 65507); // one datagram
            api.handleReply(reply, controller, api.dispatchContext());
        }
        QVERIFY2(api.signalList().size() <= 8192, qPrintable(QString::number(api.signalList().size())));
        QVERIFY2(api.signalGroups().size() <= 1024, qPrintable(QString::number(api.signalGroups().size())));
        QVERIFY(api.previewTable()->size() <= 8192);
        QVERIFY(!api.previewTable()->find("s11-999")); // refused, so it has no snapshot record either
        QVERIFY(api.previewTable()->find("s0-0"));
    }

    // Hosts announce themselves on the host socket: one record per device id, and a bounded
    // number of them.
    void hostRecordsOnePerIdAndBounded()
    {
        ImServerApi api;
        for (int n = 0; n < 5; ++n)
            api.analyzHostMsg(labAddress(40 + n), hostDevice("seat-1"));
        QCOMPARE(api.hosts().size(), 1);
        QCOMPARE(api.hosts().first().address, labAddress(44)); // the latest address
        for (int n = 0; n < 2000; ++n)
            api.analyzHostMsg(labAddress(40 + n % 100), hostDevice(QStringLiteral("seat-%1").arg(n)));
        QVERIFY2(api.hosts().size() <= 64, qPrintable(QString::number(api.hosts().size())));
        QCOMPARE(api.hosts().first().id, QStringLiteral("seat-1"));
    }

    void clearCacheAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("no keeps everything") << int(QMessageBox::No) << false;
        QTest::newRow("yes removes the three folders") << int(QMessageBox::Yes) << true;
    }
    void clearCacheAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, cleared);
        ImServerApi api;
        writeFile("data/device.json", "{}");
        writeFile("image/a.png", "x");
        QString title;
        QTimer::singleShot(200, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            QCOMPARE(box->text(), QStringLiteral("Do you want to clear cache?"));
            QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::Yes));
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        QCOMPARE(api.clearCache(), cleared);
        QCOMPARE(title, QStringLiteral("Clear cache"));
        QCOMPARE(QFile::exists("data/device.json"), !cleared);
        QCOMPARE(QDir("image").exists(), !cleared);
        QCOMPARE(QDir("log").exists(), !cleared);
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestImServerApi)
#include "tst_imserverapi.moc"
