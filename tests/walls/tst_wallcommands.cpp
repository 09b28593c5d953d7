// The wall commands without sockets: occlusion, dock layouts, wall descriptions, the audio
// forms, and the bytes and destinations of every wall and scene sender.
#include "scenes/scenecommands.h"
#include "walls/wallcommands.h"

#include <QtTest>

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
const QString kHost = QStringLiteral(" -> 10.0.0.10:41234");
const QString kAllDecoders = QStringLiteral(" -> 10.0.0.21:41234 10.0.0.22:41234 10.0.0.23:41234 10.0.0.24:41234");
const QString kDecodersWithHole = QStringLiteral(" -> 10.0.0.21:41234 10.0.0.23:41234 10.0.0.24:41234");
const QString kWindows = QStringLiteral("{SetWindows;1;10.0.0.31,udp://239.10.1.31:30310,0,0,1920,1080,1}");
const QStringList kRefused{QStringLiteral("refused")};

design::DockPreset preset(const QString &name, const QList<design::DockWindow> &windows)
{
    return {name, windows};
}

QList<design::WallRecord> dockWalls()
{
    design::WallRecord a = fixtures::wall("1", {});
    a.freeLayout = 1;
    a.fullScreen = 1;
    a.docks = {preset("Quad", {{QRect(0, 0, 1920, 1080), 2, "10.0.0.21"}, {QRect(1920, 0, 1920, 1080), 3, ""}}),
               preset("Single", {{QRect(0, 0, 3840, 2160), 1, "10.0.0.21"}})};
    design::WallRecord fullOnly = fixtures::wall("2", {});
    fullOnly.fullScreen = 1;
    design::WallRecord freeOnly = fixtures::wall("3", {});
    freeOnly.freeLayout = 1;
    freeOnly.docks = {preset("Split", {})};
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
        QTest::addColumn<QList<QRectF>>("topFirst");
        QTest::addColumn<QList<int>>("hidden");
        QTest::newRow("empty") << QList<QRectF>{} << QList<int>{};
        QTest::newRow("one") << QList<QRectF>{{0, 0, 100, 100}} << QList<int>{};
        QTest::newRow("identical pair: the lower one") << QList<QRectF>{{10, 10, 100, 100}, {10, 10, 100, 100}} << QList<int>{0};
        QTest::newRow("apart") << QList<QRectF>{{0, 0, 10, 10}, {100, 100, 10, 10}} << QList<int>{};
        QTest::newRow("partial") << QList<QRectF>{{0, 0, 100, 100}, {50, 50, 100, 100}} << QList<int>{};
        QTest::newRow("inside the top one, reported bottom-up")
            << QList<QRectF>{{0, 0, 100, 100}, {10, 10, 10, 10}, {500, 500, 10, 10}} << QList<int>{1};
        QTest::newRow("a larger window below is not hidden") << QList<QRectF>{{10, 10, 5, 5}, {0, 0, 100, 100}} << QList<int>{};
        // Touching tiles: the edges count, so the second tile is partly covered and joins the
        // cover; the window below has two corners in each.
        QTest::newRow("corners covered by two windows")
            << QList<QRectF>{{0, 0, 960, 1080}, {960, 0, 960, 1080}, {480, 270, 960, 540}} << QList<int>{0};
        // The two windows that hold the corners do not meet; a bridge above joins them into
        // the cover, and the window below counts as hidden though its middle shows.
        QTest::newRow("corners covered by two windows, middle uncovered")
            << QList<QRectF>{{0, 0, 10, 20}, {5, -10, 20, 12}, {20, 0, 10, 20}, {8, 5, 14, 10}} << QList<int>{0};
        QTest::newRow("a third inside the union of two")
            << QList<QRectF>{{0, 0, 100, 100}, {50, 0, 100, 100}, {25, 25, 100, 50}} << QList<int>{0};
        QTest::newRow("each hidden window once, in the order found")
            << QList<QRectF>{{0, 0, 50, 50}, {0, 0, 50, 50}, {0, 0, 50, 50}} << QList<int>{1, 0};
        QTest::newRow("negative width is normalised") << QList<QRectF>{{100, 0, -100, 100}, {10, 10, 20, 20}} << QList<int>{0};
        QTest::newRow("no area, no cover") << QList<QRectF>{{0, 0, 0, 100}, {0, 0, 0, 100}} << QList<int>{};
    }
    void hiddenWindows()
    {
        QFETCH(QList<QRectF>, topFirst);
        QFETCH(QList<int>, hidden);
        QCOMPARE(walls::hiddenWindows(topFirst), hidden);
    }

    void dockNames_data()
    {
        QTest::addColumn<QString>("wallId");
        QTest::addColumn<bool>("second");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("free, full, layouts") << "1" << true << QStringList{"默认", "自由", "full screen", "Quad", "Single"};
        QTest::newRow("first generation has no layouts") << "1" << false << QStringList{"默认", "自由", "full screen"};
        QTest::newRow("full only") << "2" << true << QStringList{"默认", "full screen"};
        QTest::newRow("free only") << "3" << true << QStringList{"默认", "自由", "Split"};
        QTest::newRow("flags other than 1") << "4" << true << QStringList{"默认"};
        QTest::newRow("unknown wall") << "9" << true << QStringList{"默认"};
    }
    void dockNames()
    {
        QFETCH(QString, wallId);
        QFETCH(bool, second);
        QFETCH(QStringList, names);
        QCOMPARE(walls::dockNames(dockWalls(), wallId, kTr, second ? walls::DockGeneration::Second : walls::DockGeneration::First),
                 names);
    }

    void dockWindows_data()
    {
        QTest::addColumn<QString>("wallId");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("second");
        QTest::addColumn<QVariantList>("windows");
        const QVariantList quad{
            QVariantMap{{"x", 0}, {"y", 0}, {"width", 1920}, {"height", 1080}, {"audio", "10.0.0.21"}, {"chn", 2}},
            QVariantMap{{"x", 1920}, {"y", 0}, {"width", 1920}, {"height", 1080}, {"audio", ""}, {"chn", 3}}};
        QTest::newRow("first layout") << "1" << 0 << true << quad;
        QTest::newRow("last layout") << "1" << 1 << true
                                     << QVariantList{QVariantMap{{"x", 0}, {"y", 0}, {"width", 3840}, {"height", 2160},
                                                                 {"audio", "10.0.0.21"}, {"chn", 1}}};
        QTest::newRow("index == count") << "1" << 2 << true << QVariantList{};
        QTest::newRow("negative index") << "1" << -1 << true << QVariantList{};
        QTest::newRow("layout without windows") << "3" << 0 << true << QVariantList{};
        QTest::newRow("unknown wall") << "9" << 0 << true << QVariantList{};
        QTest::newRow("first generation") << "1" << 0 << false << QVariantList{};
    }
    void dockWindows()
    {
        QFETCH(QString, wallId);
        QFETCH(int, index);
        QFETCH(bool, second);
        QFETCH(QVariantList, windows);
        QCOMPARE(walls::dockWindows(dockWalls(), wallId, index, second ? walls::DockGeneration::Second : walls::DockGeneration::First),
                 windows);
    }

    void panelMessage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("index");
        QTest::addColumn<QVariantMap>("map");
        QTest::newRow("first wall of the second page") << 1 << 0 << QVariantMap{{"id", "2"}};
        QTest::newRow("second wall of the second page") << 1 << 1 << QVariantMap{{"id", "3"}};
        QTest::newRow("only wall of the first page") << 0 << 0 << QVariantMap{{"id", "1"}};
        QTest::newRow("index past the page's walls") << 0 << 1 << QVariantMap{};
        QTest::newRow("page without walls") << 2 << 0 << QVariantMap{};
        QTest::newRow("page out of range") << 3 << 0 << QVariantMap{};
        QTest::newRow("negative index") << 1 << -1 << QVariantMap{};
    }
    void panelMessage()
    {
        QFETCH(int, page);
        QFETCH(int, index);
        QFETCH(QVariantMap, map);
        const std::vector<PageRecord> pages{{"", "p-a"}, {"", "p-b"}, {"", "p-c"}};
        QList<design::WallRecord> w{fixtures::wall("1", {}), fixtures::wall("2", {}), fixtures::wall("3", {})};
        w[0].pageId = "p-a";
        w[1].pageId = "p-b";
        w[2].pageId = "p-b";
        for (design::WallRecord &wall : w)
            wall.description = {{"id", wall.id}};
        QCOMPARE(walls::panelMessage(pages, w, page, index), map);
    }

    void wallOfOutput_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("wallId");
        QTest::newRow("one output") << "10.0.0.21" << "1";
        QTest::newRow("the last of equal addresses") << "10.0.0.30" << "3";
        QTest::newRow("none") << "10.0.0.99" << "";
        QTest::newRow("exact address only") << "10.0.0.21-1" << "";
    }
    void wallOfOutput()
    {
        QFETCH(QString, address);
        QFETCH(QString, wallId);
        const std::vector<OutputRecord> outputs{{"10.0.0.21", "1"}, {"10.0.0.30", "2"}, {"10.0.0.22", "1"}, {"10.0.0.30", "3"}};
        QCOMPARE(walls::wallOfOutput(outputs, address), wallId);
    }

    void pageFromPrivate_data()
    {
        QTest::addColumn<QStringList>("permitted");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("page");
        QTest::newRow("first permitted page is the third page") << QStringList{"p-c", "p-a"} << 0 << 2;
        QTest::newRow("second permitted page") << QStringList{"p-c", "p-a"} << 1 << 0;
        QTest::newRow("no such page: unchanged") << QStringList{"p-x"} << 0 << 7;
        QTest::newRow("index out of range: unchanged") << QStringList{"p-a"} << 1 << 7;
        QTest::newRow("negative index: unchanged") << QStringList{"p-a"} << -1 << 7;
    }
    void pageFromPrivate()
    {
        QFETCH(QStringList, permitted);
        QFETCH(int, index);
        QFETCH(int, page);
        const std::vector<PageRecord> pages{{"A", "p-a"}, {"B", "p-b"}, {"C", "p-c"}};
        QCOMPARE(walls::pageFromPrivate(permitted, pages, index, 7), page);
        QCOMPARE(walls::pageFromPrivate(permitted, {}, index, 7), 7); // no pages at all
    }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("key frame") << walls::keyFrameRequest() << QByteArray("{\"Function\":\"setGop\",\"Type\":\"System\",\"Value\":0}");
        QTest::newRow("empty wall") << walls::emptyWallText("2") << QByteArray("{SetWindows;2}");
        QTest::newRow("window query") << walls::windowsQuery("100") << QByteArray("{GetWindows;100}");
        QTest::newRow("silence") << walls::silenceText("1") << QByteArray("{SetAudios;1}");
        QTest::newRow("audio from the URL") << walls::audioText("1", "10.0.0.31", "udp://239.10.1.31:30310")
                                            << QByteArray("{SetAudios;1;0|udp://239.10.1.31:30310}");
        QTest::newRow("audio from the IP when the URL says url") << walls::audioText("1", "10.0.0.31", "url:none")
                                                                 << QByteArray("{SetAudios;1;0|10.0.0.31}");
        QTest::newRow("audio request") << walls::audioRequest("1", "10.0.0.22", "0|udp://239.10.1.31:30310")
                                       << QByteArray("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"1\",\"url\":\"0|udp://239.10.1.31:30310\"},\"request\":\"SetAudios\"}");
        QTest::newRow("audio clear request") << walls::audioClearRequest("1")
                                             << QByteArray("{\"data\":{\"dst_ip\":\"224.168.1.1\",\"panel_id\":\"1\",\"url\":\"\"},\"request\":\"SetAudios\"}");
    }
    void texts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytes, expected);
    }

    void senders_data()
    {
        QTest::addColumn<QStringList>("got");
        QTest::addColumn<QStringList>("expected");
        using namespace fixtures;
        const walls::Installation group = multicastWall();
        const walls::Installation unicast = unicastWall();
        const walls::Installation host = hostOutputWall();
        const walls::Installation server = serverWall();
        const QString audio = QStringLiteral("{SetAudios;1;0|udp://239.10.1.31:30310}");
        const QString audioJson = QString::fromUtf8("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"1\",\"url\":\"0|udp://239.10.1.31:30310\"},\"request\":\"SetAudios\"}");

        // Window list: the key frame first, always to the encoders' group, then the wall route.
        QTest::newRow("SetWindows, multicast") << render(walls::setWindows(group, "1", kWindows)) << QStringList{kKeyFrame, kWindows + kGroup};
        QTest::newRow("SetWindows, unicast skips the hole") << render(walls::setWindows(unicast, "1", kWindows))
                                                            << QStringList{kKeyFrame, kWindows + kDecodersWithHole};
        QTest::newRow("SetWindows, host output") << render(walls::setWindows(host, "1", kWindows)) << QStringList{kKeyFrame, kWindows + kAllDecoders};
        QTest::newRow("SetWindows, server") << render(walls::setWindows(server, "1", kWindows)) << QStringList{kKeyFrame, kWindows + kServer};
        QTest::newRow("SetWindows, all walls, unicast") << render(walls::setWindows(unicast, "100", "{SetWindows;100}"))
                                                        << QStringList{kKeyFrame, "{SetWindows;100}" + kGroup};
        // A wall the design does not name is still addressed where the route needs no decoders.
        QTest::newRow("SetWindows, unknown wall, multicast") << render(walls::setWindows(group, "9", "{SetWindows;9}"))
                                                             << QStringList{kKeyFrame, "{SetWindows;9}" + kGroup};
        QTest::newRow("SetWindows, unknown wall, server") << render(walls::setWindows(server, "9", "{SetWindows;9}"))
                                                          << QStringList{kKeyFrame, "{SetWindows;9}" + kServer};
        QTest::newRow("SetWindows, unknown wall, unicast") << render(walls::setWindows(unicast, "9", "{SetWindows;9}")) << kRefused;
        QTest::newRow("SetWindows, no wall selected") << render(walls::setWindows(server, "", "{SetWindows;}")) << kRefused;
        QTest::newRow("SetWindows, wall id with a field separator") << render(walls::setWindows(group, "1;2", "{SetWindows;1;2}")) << kRefused;
        QTest::newRow("SetWindows, empty command") << render(walls::setWindows(group, "1", "")) << kRefused;
        QTest::newRow("SetWindows, wall without decoders") << render(walls::setWindows(unicast, "2", "{SetWindows;2}")) << kRefused;

        // Window query: the first output of the wall, not the multicast setting.
        QTest::newRow("GetWindows, multicast") << render(walls::getWindows(group, "1")) << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("GetWindows, unicast") << render(walls::getWindows(unicast, "1")) << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("GetWindows, host output") << render(walls::getWindows(host, "1")) << QStringList{"{GetWindows;1}" + kHost};
        QTest::newRow("GetWindows, server") << render(walls::getWindows(server, "1")) << QStringList{"{GetWindows;1}" + kServer};
        QTest::newRow("GetWindows, all walls, unicast") << render(walls::getWindows(unicast, "100")) << QStringList{"{GetWindows;100}" + kGroup};
        QTest::newRow("GetWindows, all walls, server") << render(walls::getWindows(server, "100")) << QStringList{"{GetWindows;100}" + kServer};
        QTest::newRow("GetWindows, wall without outputs") << render(walls::getWindows(group, "2")) << kRefused;
        QTest::newRow("GetWindows, unknown wall, server") << render(walls::getWindows(server, "9")) << QStringList{"{GetWindows;9}" + kServer};
        QTest::newRow("GetWindows, unknown wall, multicast: no output") << render(walls::getWindows(group, "9")) << kRefused;
        QTest::newRow("GetWindows, no wall selected") << render(walls::getWindows(group, "")) << kRefused;

        // Clearing: windows and audio by the wall route, or the audio as a request to the controller.
        QTest::newRow("clear, multicast") << render(walls::clearWall(group, "1")) << QStringList{"{SetWindows;1}" + kGroup, "{SetAudios;1}" + kGroup};
        QTest::newRow("clear, unicast") << render(walls::clearWall(unicast, "1"))
                                        << QStringList{"{SetWindows;1}" + kDecodersWithHole, "{SetAudios;1}" + kDecodersWithHole};
        QTest::newRow("clear, host output") << render(walls::clearWall(host, "1"))
                                            << QStringList{"{SetWindows;1}" + kAllDecoders, "{SetAudios;1}" + kAllDecoders};
        QTest::newRow("clear, server")
            << render(walls::clearWall(server, "1"))
            << QStringList{"{SetWindows;1}" + kServer,
                           QString::fromUtf8("{\"data\":{\"dst_ip\":\"224.168.1.1\",\"panel_id\":\"1\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("clear, no wall selected") << render(walls::clearWall(group, "")) << kRefused;
        QTest::newRow("clear, unknown wall, multicast") << render(walls::clearWall(group, "9"))
                                                        << QStringList{"{SetWindows;9}" + kGroup, "{SetAudios;9}" + kGroup};
        QTest::newRow("clear, unknown wall, server")
            << render(walls::clearWall(server, "9"))
            << QStringList{"{SetWindows;9}" + kServer,
                           QString::fromUtf8("{\"data\":{\"dst_ip\":\"224.168.1.1\",\"panel_id\":\"9\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("clear, unknown wall, unicast") << render(walls::clearWall(unicast, "9")) << kRefused;
        QTest::newRow("clear, wall without decoders") << render(walls::clearWall(host, "2")) << kRefused;

        // Audio of one decoder.
        QTest::newRow("audio, multicast: to the decoder") << render(walls::setAudios(group, "10.0.0.22-1", audio))
                                                          << QStringList{audio + " -> 10.0.0.22:41234"};
        QTest::newRow("audio, unicast") << render(walls::setAudios(unicast, "10.0.0.22", audio)) << QStringList{audio + " -> 10.0.0.22:41234"};
        QTest::newRow("audio, host output") << render(walls::setAudios(host, "10.0.0.22", audio)) << QStringList{audio + " -> 10.0.0.22:41234"};
        QTest::newRow("audio, server") << render(walls::setAudios(server, "10.0.0.22-1", audio)) << QStringList{audioJson + kServer};
        QTest::newRow("audio, server, silence")
            << render(walls::setAudios(server, "10.0.0.22", "{SetAudios;1}"))
            << QStringList{QString::fromUtf8("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"1\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("audio, server, four fields: no url")
            << render(walls::setAudios(server, "10.0.0.22", "{SetAudios;1;0|a;b}"))
            << QStringList{QString::fromUtf8("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"1\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("audio, 0.0.0.0 without server") << render(walls::setAudios(group, "0.0.0.0", audio)) << kRefused;
        QTest::newRow("audio, 0.0.0.0 with server")
            << render(walls::setAudios(server, "0.0.0.0", audio))
            << QStringList{QString::fromUtf8("{\"data\":{\"dst_ip\":\"0.0.0.0\",\"panel_id\":\"1\",\"url\":\"0|udp://239.10.1.31:30310\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("audio, server, one field") << render(walls::setAudios(server, "10.0.0.22", "{SetAudios}")) << kRefused;
        QTest::newRow("audio, server, no braces") << render(walls::setAudios(server, "10.0.0.22", "SetAudios;1")) << kRefused;
        QTest::newRow("audio, server, unknown wall")
            << render(walls::setAudios(server, "10.0.0.22", "{SetAudios;9}"))
            << QStringList{QString::fromUtf8("{\"data\":{\"dst_ip\":\"10.0.0.22\",\"panel_id\":\"9\",\"url\":\"\"},\"request\":\"SetAudios\"}") + kServer};
        QTest::newRow("audio, server, no wall") << render(walls::setAudios(server, "10.0.0.22", "{SetAudios;}")) << kRefused;
        QTest::newRow("audio, not an address") << render(walls::setAudios(group, "decoder", audio)) << kRefused;
        QTest::newRow("audio, no decoder") << render(walls::setAudios(server, "", audio)) << kRefused;

        // Scenes: names from the controller or the first output, scenes from the first output.
        QTest::newRow("GetSceneNames, multicast") << render(scenes::getSceneNames(group, "1")) << QStringList{"{GetSceneNames;1}" + kFirstDecoder};
        QTest::newRow("GetSceneNames, unicast") << render(scenes::getSceneNames(unicast, "1")) << QStringList{"{GetSceneNames;1}" + kFirstDecoder};
        QTest::newRow("GetSceneNames, host output") << render(scenes::getSceneNames(host, "1")) << QStringList{"{GetSceneNames;1}" + kHost};
        QTest::newRow("GetSceneNames, server") << render(scenes::getSceneNames(server, "1")) << QStringList{"{GetSceneNames;1}" + kServer};
        QTest::newRow("GetSceneNames, server, wall without outputs") << render(scenes::getSceneNames(server, "2"))
                                                                     << QStringList{"{GetSceneNames;2}" + kServer};
        QTest::newRow("GetSceneNames, wall without outputs") << render(scenes::getSceneNames(group, "2")) << kRefused;
        QTest::newRow("GetSceneNames, server, unknown wall") << render(scenes::getSceneNames(server, "9"))
                                                             << QStringList{"{GetSceneNames;9}" + kServer};
        QTest::newRow("GetScenes, multicast") << render(scenes::getScenes(group, "1")) << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("GetScenes, unicast") << render(scenes::getScenes(unicast, "1")) << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("GetScenes, host output") << render(scenes::getScenes(host, "1")) << QStringList{"{GetScenes;1}" + kHost};
        QTest::newRow("GetScenes, server: still the output") << render(scenes::getScenes(server, "1")) << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("GetScenes, unknown wall") << render(scenes::getScenes(server, "9")) << kRefused;

        // Scene changes by the wall route.
        QTest::newRow("SaveScene, multicast") << render(scenes::saveScene(group, "1", "s1", "Morning")) << QStringList{"{SaveScene;1;s1,Morning}" + kGroup};
        QTest::newRow("SaveScene, unicast") << render(scenes::saveScene(unicast, "1", "s1", "Morning"))
                                            << QStringList{"{SaveScene;1;s1,Morning}" + kDecodersWithHole};
        QTest::newRow("SaveScene, host output") << render(scenes::saveScene(host, "1", "s1", "Morning"))
                                                << QStringList{"{SaveScene;1;s1,Morning}" + kAllDecoders};
        QTest::newRow("SaveScene, server") << render(scenes::saveScene(server, "1", "s1", "Morning")) << QStringList{"{SaveScene;1;s1,Morning}" + kServer};
        QTest::newRow("DeleteScene, multicast") << render(scenes::deleteScene(group, "1", "s1")) << QStringList{"{DeleteScene;1;s1}" + kGroup};
        QTest::newRow("DeleteScene, unicast") << render(scenes::deleteScene(unicast, "1", "s1")) << QStringList{"{DeleteScene;1;s1}" + kDecodersWithHole};
        QTest::newRow("DeleteScene, server") << render(scenes::deleteScene(server, "1", "s1")) << QStringList{"{DeleteScene;1;s1}" + kServer};
        QTest::newRow("CallScene, multicast") << render(scenes::callScene(group, "1", "s1")) << QStringList{"{CallScene;1;s1}" + kGroup};
        QTest::newRow("CallScene, host output") << render(scenes::callScene(host, "1", "s1")) << QStringList{"{CallScene;1;s1}" + kAllDecoders};
        QTest::newRow("CallScene, server") << render(scenes::callScene(server, "1", "s1")) << QStringList{"{CallScene;1;s1}" + kServer};
        QTest::newRow("CallScene, unknown wall, multicast") << render(scenes::callScene(group, "9", "s1"))
                                                            << QStringList{"{CallScene;9;s1}" + kGroup};
        QTest::newRow("CallScene, unknown wall, unicast") << render(scenes::callScene(unicast, "9", "s1")) << kRefused;
        QTest::newRow("SaveScene, unknown wall, server") << render(scenes::saveScene(server, "9", "s1", "Morning"))
                                                         << QStringList{"{SaveScene;9;s1,Morning}" + kServer};

        // Preview and query by the output route; the preview ends with the key frame.
        QTest::newRow("preview, multicast") << render(scenes::previewScene(group, "1", "s1"))
                                            << QStringList{"{GetScene;1;s1}" + kFirstDecoder, kSceneKeyFrame};
        QTest::newRow("preview, host output") << render(scenes::previewScene(host, "1", "s1"))
                                              << QStringList{"{GetScene;1;s1}" + kHost, kSceneKeyFrame};
        QTest::newRow("preview, server") << render(scenes::previewScene(server, "1", "s1"))
                                         << QStringList{"{GetScene;1;s1}" + kServer, kSceneKeyFrame};
        QTest::newRow("preview, server, wall without outputs") << render(scenes::previewScene(server, "2", "s1")) << kRefused;
        QTest::newRow("query, unicast") << render(scenes::queryScene(unicast, "1", "s1")) << QStringList{"{GetScene;1;s1}" + kFirstDecoder};
        QTest::newRow("query, host output") << render(scenes::queryScene(host, "1", "s1")) << QStringList{"{GetScene;1;s1}" + kHost};
        QTest::newRow("query, server") << render(scenes::queryScene(server, "1", "s1")) << QStringList{"{GetScene;1;s1}" + kServer};
        QTest::newRow("scene key frame") << render(scenes::sceneKeyFrame()) << QStringList{kSceneKeyFrame};

        // Polling: stopped by the wall route, started at the first output (and the controller).
        QTest::newRow("close cycle, multicast") << render(scenes::closeSceneCycle(group, "1")) << QStringList{"{SetScenesPolling;1;0}" + kGroup};
        QTest::newRow("close cycle, unicast") << render(scenes::closeSceneCycle(unicast, "1"))
                                              << QStringList{"{SetScenesPolling;1;0}" + kDecodersWithHole};
        QTest::newRow("close cycle, server") << render(scenes::closeSceneCycle(server, "1")) << QStringList{"{SetScenesPolling;1;0}" + kServer};
        QTest::newRow("close cycle, no wall selected") << render(scenes::closeSceneCycle(group, "")) << kRefused;
        QTest::newRow("close cycle, unknown wall, multicast") << render(scenes::closeSceneCycle(group, "9"))
                                                              << QStringList{"{SetScenesPolling;9;0}" + kGroup};
        QTest::newRow("cycle, multicast") << render(scenes::sceneCycle(group, "1", {"s1", "s2"}, "5"))
                                          << QStringList{"{SetScenesPolling;1;5;s1,s2}" + kFirstDecoder};
        QTest::newRow("cycle, unicast") << render(scenes::sceneCycle(unicast, "1", {"s1", "s2"}, "5"))
                                        << QStringList{"{SetScenesPolling;1;5;s1,s2}" + kFirstDecoder};
        QTest::newRow("cycle, host output") << render(scenes::sceneCycle(host, "1", {"s1", "s2"}, "5"))
                                            << QStringList{"{SetScenesPolling;1;5;s1,s2}" + kHost};
        QTest::newRow("cycle, server: the controller and the output")
            << render(scenes::sceneCycle(server, "1", {"s1", "s2"}, "5"))
            << QStringList{"{SetScenesPolling;1;5;s1,s2} -> 10.0.0.5:41235 10.0.0.21:41234"};
        QTest::newRow("cycle, server, unknown wall: the controller") << render(scenes::sceneCycle(server, "9", {"s1"}, "5"))
                                                                    << QStringList{"{SetScenesPolling;9;5;s1} -> 10.0.0.5:41235"};
        QTest::newRow("cycle, empty list") << render(scenes::sceneCycle(group, "1", {}, "5"))
                                           << QStringList{"{SetScenesPolling;1;5}" + kFirstDecoder};

        // The cycle group store always goes to the group.
        const QString store = "{SaveClientInfo;1_cycleGroups,\"{\"data\":[],\"id\":\"1\",\"obj\":\"cycleGroups\"}\"}";
        QTest::newRow("cycle groups, multicast") << render(scenes::saveCycleGroups(group, "1")) << QStringList{store + kGroup};
        QTest::newRow("cycle groups, unicast") << render(scenes::saveCycleGroups(unicast, "1")) << QStringList{store + kGroup};
        QTest::newRow("cycle groups, server") << render(scenes::saveCycleGroups(server, "1")) << QStringList{store + kGroup};
        QTest::newRow("cycle groups, unknown wall") << render(scenes::saveCycleGroups(group, "9")) << kRefused;
    }
    void senders()
    {
        QFETCH(QStringList, got);
        QFETCH(QStringList, expected);
        QCOMPARE(got, expected);
    }
};

QTEST_APPLESS_MAIN(TestWallCommands)
#include "tst_wallcommands.moc"
