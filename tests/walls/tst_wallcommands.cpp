// The wall commands without sockets: occlusion, dock layouts, wall descriptions, the audio
// forms, and the senders' bytes and destinations (what the controls send is tst_wallcontrol's).
#include "scenes/scenecommands.h"
#include "walls/wallcommands.h"

#include "support/testmain.h"

#include "support/installations.h"

using namespace kora;
using fixtures::render;

Q_DECLARE_METATYPE(QList<QRectF>)

namespace {
const QString kKeyFrame = QString::fromUtf8("{\"Function\":\"setGop\",\"Type\":\"System\",\"Value\":0} -> 224.168.1.1:12345");
const QString kSceneKeyFrame = QString::fromUtf8("{\"Function\":\"insertIDR\",\"Type\":\"System\",\"Value\":0} -> 224.168.1.1:12345");
const QString kGroup = QStringLiteral(" -> 224.168.1.1:41234");
const QString kServer = QStringLiteral(" -> 10.0.0.5:41235");
const QString kFirstDecoder = QStringLiteral(" -> 10.0.0.21:41234");
const QString kDecodersWithHole = QStringLiteral(" -> 10.0.0.21:41234 10.0.0.23:41234 10.0.0.24:41234");
const QString kWindows = QStringLiteral("{SetWindows;1;10.0.0.31,udp://239.10.1.31:30310,0,0,1920,1080,1}");
const QStringList kRefused{QStringLiteral("refused")};

QList<design::WallRecord> dockWalls()
{
    design::WallRecord a = fixtures::wall("1", {});
    a.freeLayout = 1;
    a.fullScreen = 1;
    a.docks = {{"Quad", {{QRect(0, 0, 1920, 1080), 2, "10.0.0.21"}, {QRect(1920, 0, 1920, 1080), 3, ""}}},
               {"Single", {{QRect(0, 0, 3840, 2160), 1, "10.0.0.21"}}}};
    design::WallRecord fullOnly = fixtures::wall("2", {});
    fullOnly.fullScreen = 1;
    design::WallRecord freeOnly = fixtures::wall("3", {});
    freeOnly.freeLayout = 1;
    freeOnly.docks = {{"Split", {}}};
    design::WallRecord notOne = fixtures::wall("4", {});
    notOne.freeLayout = 2; // only 1 offers the layout
    notOne.fullScreen = 2;
    return {a, fullOnly, freeOnly, notOne};
}

const TranslationTable kTr{{"default", "默认"}, {"free", "自由"}};
} // namespace

class TestWallCommands : public QObject
{
    Q_OBJECT
private slots:
    void hiddenWindows_data()
    {
        columns<QList<QRectF>, QList<int>>({"topFirst", "hidden"});
        QTest::newRow("empty") << QList<QRectF>{} << QList<int>{};
        QTest::newRow("inside the top one, reported bottom-up")
            << QList<QRectF>{{0, 0, 100, 100}, {10, 10, 10, 10}, {500, 500, 10, 10}} << QList<int>{1};
        // Touching tiles: the edges count, so the second tile is partly covered and joins the
        // cover; the window below has two corners in each.
        QTest::newRow("corners covered by two windows")
            << QList<QRectF>{{0, 0, 960, 1080}, {960, 0, 960, 1080}, {480, 270, 960, 540}} << QList<int>{0};
        QTest::newRow("each hidden window once, in the order found")
            << QList<QRectF>{{0, 0, 50, 50}, {0, 0, 50, 50}, {0, 0, 50, 50}} << QList<int>{1, 0};
    }
    void hiddenWindows()
    {
        QFETCH(QList<QRectF>, topFirst);
        QTEST(walls::hiddenWindows(topFirst), "hidden");
    }

    void dockNames_data()
    {
        columns<QString, bool, QStringList>({"wallId", "second", "names"});
        QTest::newRow("free, full, layouts") << "1" << true << QStringList{"默认", "自由", "full screen", "Quad", "Single"};
        QTest::newRow("free only") << "3" << true << QStringList{"默认", "自由", "Split"};
        QTest::newRow("flags other than 1") << "4" << true << QStringList{"默认"};
    }
    void dockNames()
    {
        QFETCH(QString, wallId);
        QFETCH(bool, second);
        QFETCH(QStringList, names);
        QCOMPARE(walls::dockNames(dockWalls(), wallId, kTr, second ? walls::DockGeneration::Second : walls::DockGeneration::First),
                 names);
    }

    // The current page's walls by their order among that page's walls.
    void panelMessages()
    {
        QList<design::WallRecord> walls;
        for (const char *id : {"1", "2", "3"}) {
            design::WallRecord w = fixtures::wall(id, {});
            w.pageId = QString(id) == "2" ? "p1" : "p2";
            w.description = {{"id", id}};
            walls.append(w);
        }
        const std::vector<PageRecord> pages{{"A", "p1"}, {"B", "p2"}};
        const auto id = [&](int page, int index) { return walls::panelMessage(pages, walls, page, index).value("id").toString(); };
        QCOMPARE(QStringList({id(1, 0), id(1, 1), id(1, 2), id(0, 0), id(0, 1), id(2, 0), id(1, -1)}),
                 QStringList({"1", "3", "", "2", "", "", ""}));
    }

    // A private page button names a page among the user's permitted ones; anything else stays.
    void pageFromPrivate()
    {
        const std::vector<PageRecord> pages{{"A", "p1"}, {"B", "p2"}};
        const auto page = [&](int index) { return walls::pageFromPrivate({"p2", "p9"}, pages, index, 5); };
        QCOMPARE(QList<int>({page(0), page(1), page(2), page(-1)}), QList<int>({1, 5, 5, 5}));
    }

    void senders_data()
    {
        columns<QStringList, QStringList>({"got", "expected"});
        using namespace fixtures;
        const walls::Installation group = multicastWall();
        const walls::Installation unicast = unicastWall();
        const walls::Installation server = serverWall();
        const QString audio = QStringLiteral("{SetAudios;1;0|udp://239.10.1.31:30310}");

        // Window list: the key frame first, always to the encoders' group, then the wall route.
        QTest::newRow("SetWindows, multicast") << render(walls::setWindows(group, "1", kWindows)) << QStringList{kKeyFrame, kWindows + kGroup};
        QTest::newRow("SetWindows, unicast skips the hole") << render(walls::setWindows(unicast, "1", kWindows))
                                                            << QStringList{kKeyFrame, kWindows + kDecodersWithHole};
        // A wall the design does not name is still addressed where the route needs no decoders.
        QTest::newRow("SetWindows, unknown wall, unicast") << render(walls::setWindows(unicast, "9", "{SetWindows;9}")) << kRefused;
        QTest::newRow("SetWindows, wall without decoders") << render(walls::setWindows(unicast, "2", "{SetWindows;2}")) << kRefused;

        // Clearing through the controller: the audio as a request to it (the group's is tst_wallcontrol's).
        QTest::newRow("clear, server")
            << render(walls::clearWall(server, "1"))
            << QStringList{"{SetWindows;1}" + kServer,
                           QString::fromUtf8("{\"data\":{\"dst_ip\":\"224.168.1.1\",\"panel_id\":\"1\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};

        // Audio of one decoder.
        QTest::newRow("audio, multicast: to the decoder") << render(walls::setAudios(group, "10.0.0.22-1", audio))
                                                          << QStringList{audio + " -> 10.0.0.22:41234"};
        QTest::newRow("audio, 0.0.0.0 without server") << render(walls::setAudios(group, "0.0.0.0", audio)) << kRefused;
        QTest::newRow("audio, server: a request to it")
            << render(walls::setAudios(server, "10.0.0.22-1", audio))
            << QStringList{QString::fromUtf8("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"1\",\"url\":\"0|udp://239.10.1.31:30310\"},"
                                             "\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("audio, server, no wall") << render(walls::setAudios(server, "10.0.0.22-1", "{SetAudios}")) << kRefused;

        // Scene names from the controller or the first output.
        QTest::newRow("GetSceneNames, multicast") << render(scenes::getSceneNames(group, "1")) << QStringList{"{GetSceneNames;1}" + kFirstDecoder};
        QTest::newRow("GetSceneNames, unknown wall") << render(scenes::getSceneNames(group, "9")) << kRefused;
        QTest::newRow("GetScenes, unknown wall, server") << render(scenes::getScenes(server, "9")) << kRefused;

        // Preview and query by the output route; the preview ends with the key frame.
        QTest::newRow("preview, multicast") << render(scenes::previewScene(group, "1", "s1"))
                                            << QStringList{"{GetScene;1;s1}" + kFirstDecoder, kSceneKeyFrame};

        // Polling through the controller: started there and at the first output.
        QTest::newRow("cycle, server: the controller and the output")
            << render(scenes::sceneCycle(server, "1", {"s1", "s2"}, "5"))
            << QStringList{"{SetScenesPolling;1;5;s1,s2} -> 10.0.0.5:41235 10.0.0.21:41234"};

        // The cycle group store always goes to the group.
        const QString store = "{SaveClientInfo;1_cycleGroups,\"{\"data\":[],\"id\":\"1\",\"obj\":\"cycleGroups\"}\"}";
        QTest::newRow("cycle groups, multicast") << render(scenes::saveCycleGroups(group, "1")) << QStringList{store + kGroup};
    }
    void senders()
    {
        QFETCH(QStringList, got);
        QTEST(got, "expected");
    }
};

KORA_TEST(TestWallCommands)
#include "tst_wallcommands.moc"
