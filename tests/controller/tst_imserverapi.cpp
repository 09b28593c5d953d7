// The facade without a network: a recording sender, a temporary folder, the test as host.
#include "controller/imserverapi.h"
#include "login/packagehost.h"
#include "support/testfiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include "support/table.h"

using namespace kora;

namespace {
constexpr login::Timings kFast{100, 500, 150, 2};
const QString kController = QStringLiteral("10.0.0.5");

// "GetSignalResourcesTree" of `count` cameras s<first>..., or its paged form.
QByteArray signalList(int first, int count, bool paged, const QString &path = QStringLiteral("Cameras"))
{
    QJsonArray entries;
    for (int i = first; i < first + count; ++i)
        entries.append(QJsonObject{{"id", QStringLiteral("s%1").arg(i)}, {"name", "Camera"}, {"url0", "rtsp://cam"}, {"path", path}});
    QJsonObject data{{"list", entries}};
    if (paged) {
        data.insert("total", 1);
        data.insert("index", 1);
    }
    return QJsonDocument(QJsonObject{{"code", 0}, {"response", paged ? "GetSignalResourcesTreePage" : "GetSignalResourcesTree"}, {"data", data}})
        .toJson(QJsonDocument::Compact);
}

struct Rig {
    Rig()
        : store(dir.path())
    {
        store.load();
    }
    ImServerApi &api()
    {
        if (!facade) {
            facade = std::make_unique<ImServerApi>(sender, store, [] { return qint64(1900000000); }, 16.0f / 9.0f);
            facade->session().setTimings(kFast);
        }
        return *facade;
    }
    QString file(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    settings::Store store;
    RecordingSender sender;
    std::unique_ptr<ImServerApi> facade;
};
} // namespace

class TestImServerApi : public QObject
{
    Q_OBJECT
private slots:
    void constructionAndProperties()
    {
        Rig rig;
        writeFile(rig.file("data/control.ini"), "[Local]\nwindowFlag=1\nusername=operator\n");
        writeFile(rig.file("data/language.txt"), QByteArray("Login=") + QByteArray::fromHex("b5c7c2bc") + "\r\n");
        rig.store.load();
        ImServerApi &api = rig.api();
        QVERIFY(rig.sender.sent.isEmpty()); // nothing leaves before a login
        for (const char *folder : {"data", "image", "log"})
            QVERIFY2(QDir(rig.file(folder)).exists(), folder);
        QCOMPARE(api.windowFlag(), 1);
        QCOMPARE(api.panelNum(), 0);
        QVERIFY(api.pageNames().isEmpty());
        QCOMPARE(api.language("Login"), QStringLiteral("登录")); // the cached table, until a login
        QCOMPARE(api.codec2String(QByteArray::fromHex("b5c7c2bc")), QStringLiteral("登录"));
        QCOMPARE(api.getSysMessage("username"), QStringLiteral("operator"));
        QCOMPARE(api.getSysMessage("title"), QString());

        QSignalSpy mode(&api, &ImServerApi::modeChanged);
        api.setMode(0);
        api.setMode(3);
        api.setMode(3);
        QCOMPARE(mode.count(), 1);
        QVERIFY(api.setProperty("selPanel", "w2"));
        QCOMPARE(api.selPanel(), QStringLiteral("w2"));
    }

    void pagesOfTheCurrentUser()
    {
        Rig rig;
        ImServerApi &api = rig.api();
        api.pages() = {{"Main", "p1"}, {"Walls", "p2"}, {"Audio", "p3"}};
        UserRecord user;
        user.pageIds = QStringList{"p3", "missing", "p1"};
        api.setCurrentUser(user);
        QCOMPARE(api.pageNames(), (QStringList{"Audio", "Main"}));
        for (const int index : {0, 1, 9}) { // no page for "missing", none at 9: unchanged
            api.setCurrentPageFromPrivate(index);
            QCOMPARE(api.currentPage(), 2);
        }
        api.initialization();
        QVERIFY(api.pageNames().isEmpty());
        QVERIFY(!api.currentUser());
    }

    // A star is saved at once and the pages get the favourites again.
    void starsAreSavedAtOnce()
    {
        Rig rig;
        ImServerApi &api = rig.api();
        api.signalList().resize(2);
        api.signalList()[0].ip = "10.0.0.1";
        api.signalList()[1] = {QStringLiteral("会议室 PC"), QStringLiteral("10.0.0.2")};
        QSignalSpy stars(&api, &ImServerApi::callQmlRefeshSignalStar);
        api.setSignalStar("10.0.0.2", true);
        api.setSignalStar("10.0.0.9", true); // no such signal: the list is sent unchanged
        const QJsonArray expected{QJsonObject{{"text", "会议室 PC"}, {"isoption", false}, {"index", 1}, {"type", 0}}};
        QCOMPARE(stars.size(), 2);
        QCOMPARE(stars.at(1).first().toJsonArray(), expected);
        QVERIFY(api.isStar("10.0.0.2") && !api.isStar("10.0.0.1"));
        QCOMPARE(rig.store.starred(), QStringList{"10.0.0.2"});
    }

    // The cached design's login page, then the remembered login (it fills the fields just built).
    void theCachedDesignShowsItsLoginPage_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("cached design") << false;
        QTest::newRow("damaged cache") << true;
    }
    void theCachedDesignShowsItsLoginPage()
    {
        QFETCH(bool, damaged);
        Rig rig;
        writeFile(rig.file("data/client0_1920_1080.jui"), damaged ? "not json" : readFile(KORA_SAMPLES_DIR "/lab/client0_1920_1080.jui"));
        writeFile(rig.file("data/client0_1080_1920.jui"), "{\"ui\":{\"item\":[]}}"); // portrait: not for this screen
        ImServerApi &api = rig.api();
        QSignalSpy look(&api, &ImServerApi::callQmlSetLogin);
        QSignalSpy inputs(&api, &ImServerApi::callQmlSetLoginVX2InputBox);
        QSignalSpy last(&api, &ImServerApi::callQmlLastMsg);
        QList<QByteArray> order;
        connect(&api, &ImServerApi::callQmlSetLoginVX2Button, this, [&] { order.append("button"); });
        connect(&api, &ImServerApi::callQmlLastMsg, this, [&] { order.append("last"); });
        api.LoadLocalfile();
        QCOMPARE(last.size(), 1);
        QCOMPARE(order.last(), QByteArray("last"));
        QCOMPARE(look.size(), damaged ? 0 : 1);
        if (damaged)
            return;
        QCOMPARE(look.first().first().toMap().value("bkPic").toString(), QStringLiteral("./image/login_bg.png"));
        QCOMPARE(api.windowSize(), QSize(1920, 1080));
        QCOMPARE(inputs.size(), 5);
        QCOMPARE(order.count("button"), 3);
    }

    // A login's design becomes the pages, the list complete before the login ends. Nobody answers
    // the scan, so the demonstration account gets the built-in project.
    void aLoginBuildsThePages()
    {
        Rig rig;
        ImServerApi &api = rig.api();
        QList<QByteArray> order;
        connect(&api, &ImServerApi::callQmlInitPanel, this, [&] { order.append("pages"); });
        connect(&api, &ImServerApi::callQmlLogin, this, [&](bool ok) { order.append(ok ? "login" : "failed"); });
        QSignalSpy pages(&api, &ImServerApi::callQmlCreateVX2Page);
        QSignalSpy screens(&api, &ImServerApi::callQmlCreateVX2Screen);
        QSignalSpy load(&api, &ImServerApi::callQmlLoad);
        QVERIFY(api.ServerLogin(login::kDemoUser, login::kDemoPassword, "10.0.0.2", "", ""));
        QTRY_VERIFY_WITH_TIMEOUT(!order.isEmpty(), 5000);
        QCOMPARE(order, (QList<QByteArray>{"pages", "login"}));
        QCOMPARE(load.size(), 1);
        QCOMPARE(load.first().at(1).toInt(), 4);
        QStringList ids;
        for (const QList<QVariant> &call : pages)
            ids.append(call.first().toMap().value("pageId").toString());
        QCOMPARE(ids, QStringList({"page-demo-wall", "page-demo-room"}));
        QCOMPARE(screens.size(), api.walls().size());
        QCOMPARE(api.windowSize(), QSize(1920, 1080));
        QCOMPARE(api.currentUser()->name, QStringLiteral("admin"));
        QVERIFY(api.checkPermission("page-demo-wall"));
        api.setCurrentPage(0);
        QCOMPARE(api.panelNum(), 1); // the wall page holds one wall
        QVERIFY(api.previewTable()->find(api.signalList().front().ip));
    }

    // An older project: each page in both forms, the login before the page list completes.
    void anOlderProjectBuildsItsPages()
    {
        Rig rig;
        ImServerApi &api = rig.api();
        PackageHost host{LEGACY_PACKAGE, "10.0.0.10"};
        QList<QByteArray> order;
        connect(&api, &ImServerApi::callQmlCreatePage, this, [&](const QString &id) { order.append("page " + id.toLatin1()); });
        connect(&api, &ImServerApi::callQmlCreateVX2Page, this, [&] { order.append("vx2 page"); });
        connect(&api, &ImServerApi::callQmlLogin, this, [&](bool ok) { order.append(ok ? "login" : "failed"); });
        connect(&api, &ImServerApi::callQmlInitPanel, this, [&] { order.append("pages"); });
        QVERIFY(api.ServerLogin("duty", "Legacy#07", "10.0.0.2", "", ""));
        QTRY_VERIFY(!rig.sender.sent.isEmpty());
        api.session().scanReply("{GetNodes;3;1,77,x}", host.address);
        host.serve(rig.sender, api.session());
        QCOMPARE(order, (QList<QByteArray>{"page 1", "vx2 page", "page 2", "vx2 page", "login", "pages"}));
        QCOMPARE(api.windowSize(), QSize(1920, 1080));
        QCOMPARE(api.pageNames(), (QStringList{"总览", "会议"}));
    }

    // Only the controller adds signals (and snapshot records), each once, within the caps.
    void signalListsOnlyFromTheControllerAndBounded_data()
    {
        columns<bool, bool>({"paged", "fromController"});
        QTest::newRow("whole list, the controller") << false << true;
        QTest::newRow("whole list, another address") << false << false;
        QTest::newRow("paged, the controller") << true << true;
        QTest::newRow("paged, another address") << true << false;
    }
    void signalListsOnlyFromTheControllerAndBounded()
    {
        QFETCH(bool, paged);
        QFETCH(bool, fromController);
        Rig rig;
        ImServerApi &api = rig.api();
        QVERIFY(api.ServerLogin("admin", "x", "10.0.0.2", kController, ""));
        const QString sender = fromController ? kController : QStringLiteral("10.0.0.66");
        for (int i = 0; i < 3; ++i) // a repeated list adds nothing
            api.handleReply(signalList(0, 2, paged), sender, api.dispatchContext());
        QCOMPARE(api.signalList().size(), size_t(fromController ? 2 : 0));
        QCOMPARE(api.signalGroups().size(), size_t(fromController ? 1 : 0));
        QCOMPARE(bool(api.previewTable()->find("s0")), fromController);
        if (!fromController)
            return;
        // The controller's snapshot table moves only the streams of signals it listed.
        api.handleReply(R"({"code":0,"response":"SetWindows","data":[{"id":"x","snapUrl":"239.1.1.2:5000"}]})", kController,
                        api.dispatchContext());
        QVERIFY(!api.previewTable()->find("x"));
        // Far more than any installation has, each list in a group of its own.
        for (int n = 0; n < 12; ++n) {
            const QByteArray reply = signalList(1000 * (n + 1), 1000, paged, QStringLiteral("g%1").arg(n));
            QVERIFY(reply.size() < 65507); // one datagram
            api.handleReply(reply, kController, api.dispatchContext());
        }
        QVERIFY2(api.signalList().size() <= 8192, qPrintable(QString::number(api.signalList().size())));
        QVERIFY(api.signalGroups().size() <= 1024);
        QVERIFY(!api.previewTable()->find("s12999")); // refused, so it has no snapshot record either
    }

    void hostRecordsOnePerIdAndBounded()
    {
        Rig rig;
        ImServerApi &api = rig.api();
        auto device = [](const QString &id) {
            return QJsonDocument(QJsonObject{{"code", 0}, {"response", "GetDev"}, {"data", QJsonObject{{"dev_id", id}, {"dev_name", "Seat"}}}})
                .toJson(QJsonDocument::Compact);
        };
        for (int n = 0; n < 5; ++n)
            api.analyzHostMsg(QStringLiteral("10.0.0.%1").arg(40 + n), device("seat-1"));
        QCOMPARE(api.hosts().size(), 1);
        QCOMPARE(api.hosts().first().address, QStringLiteral("10.0.0.44")); // the latest address
        for (int n = 0; n < 2000; ++n)
            api.analyzHostMsg(QStringLiteral("10.0.1.%1").arg(n % 200), device(QStringLiteral("seat-%1").arg(n)));
        QCOMPARE(api.hosts().size(), devices::HostRegistry::kMaxHosts);
        QCOMPARE(api.hosts().first().id, QStringLiteral("seat-1"));
    }

    void clearCacheAsksFirst_data()
    {
        columns<int, bool>({"answer", "cleared"});
        QTest::newRow("no keeps everything") << int(QMessageBox::No) << false;
        QTest::newRow("yes removes the three folders") << int(QMessageBox::Yes) << true;
    }
    void clearCacheAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, cleared);
        Rig rig;
        ImServerApi &api = rig.api();
        writeFile(rig.file("data/device.json"), "{}");
        QString title, text;
        bool yesFirst = false;
        // Answers the box as soon as it shows: a box that is never answered must not hang the test.
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                yesFirst = box->defaultButton() == box->button(QMessageBox::Yes);
                box->button(QMessageBox::StandardButton(answer))->click();
            }
        });
        answerer.start(10);
        QCOMPARE(api.clearCache(), cleared);
        QCOMPARE(title, QStringLiteral("Clear cache"));
        QCOMPARE(text, QStringLiteral("Do you want to clear cache?"));
        QVERIFY(yesFirst);
        QCOMPARE(QFile::exists(rig.file("data/device.json")), !cleared);
        QCOMPARE(QDir(rig.file("log")).exists(), !cleared);
    }
};

QTEST_MAIN(TestImServerApi)
#include "tst_imserverapi.moc"
