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
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include "support/testfiles.h"

using namespace kora;

namespace {

QByteArray waitForDatagram(QUdpSocket &socket, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (socket.hasPendingDatagrams())
            return socket.receiveDatagram().data();
        QTest::qWait(20);
    }
    return QByteArray();
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
        QCOMPARE(waitForDatagram(start, 3000), QByteArray("start"));
        QCOMPARE(waitForDatagram(ssdp, 3000),
                 QByteArray(R"({"mx":1,"st":"urn:vxr:sw:korav2","type":"search"})"));

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

        QTRY_VERIFY_WITH_TIMEOUT(api.downloadReceiver()->isBound(), 3000);
        api.shutdown();
        QVERIFY(!api.downloadReceiver()->isRunning());
    }

    void savedSettingsReplaceTheFoundAddress()
    {
        QDir().mkpath("data");
        writeFile("data/control.ini", "[Local]\nlocalIp=10.9.9.9\nwindowFlag=1\nenableLog=true\n");
        writeFile("data/pic.dat", "abc");
        ImServerApi api;
        QCOMPARE(api.localIp(), QStringLiteral("10.9.9.9"));
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
