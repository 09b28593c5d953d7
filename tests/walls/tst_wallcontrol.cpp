// The wall and scene controls with a recording sender: each composed datagram goes out once
// per destination, in order; the follow-ups come after their pause, composed from the
// installation as it is then; refusals send nothing; polling publishes its state; cycle
// groups are kept per wall. What each composer returns is tst_wallcommands' business.
#include "scenes/scenecommands.h"
#include "scenes/scenecontrol.h"
#include "walls/wallcontrol.h"

#include <QEventLoop>
#include <QRectF>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "support/installations.h"
#include "support/recordingsender.h"

using namespace kora;

namespace {

// Short pauses, so that a test waits little; every follow-up is due well before kSettledMs.
constexpr walls::WallTimings kWallTimings{5, 5};
constexpr scenes::SceneTimings kSceneTimings{5, 5, 5, 5};
constexpr int kSettledMs = 60;

struct Controls {
    explicit Controls(const walls::Installation &in)
        : installation(in)
        , walls(sender, [this] { return installation; }, kWallTimings)
        , scenes(walls, kSceneTimings)
    {
    }
    walls::Installation installation; // what the owner's model says now; a test may change it
    RecordingSender sender;
    walls::WallControl walls;
    scenes::SceneControl scenes;
};

using Operation = std::function<void(Controls &, const QString &wallId)>;

walls::Installation byMode(const QString &mode)
{
    if (mode == QLatin1String("server"))
        return fixtures::serverWall();
    if (mode == QLatin1String("unicast"))
        return fixtures::unicastWall(); // the wall's second decoder is a hole
    return fixtures::multicastWall();
}

// Waits until every follow-up the controls scheduled so far is due and has run.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(kSettledMs, &loop, &QEventLoop::quit);
    loop.exec();
}

const QString kGroup = QStringLiteral(" -> 224.168.1.1:41234");
const QString kServer = QStringLiteral(" -> 10.0.0.5:41235");
const QString kFirstDecoder = QStringLiteral(" -> 10.0.0.21:41234");
const QString kEncoders = QStringLiteral(" -> 224.168.1.1:12345");
const QString kWindows = QStringLiteral("{SetWindows;1;10.0.0.31,udp://239.10.1.31:30310,0,0,1920,1080,1}");

QString line(const QByteArray &data, const QString &to) { return QString::fromLatin1(data) + to; }

// Every wall and scene sender that acts on a wall, by name.
QList<QPair<QString, Operation>> senders()
{
    return {
        {"set windows", [](Controls &c, const QString &w) { c.walls.setWindows(w, QStringLiteral("{SetWindows;%1}").arg(w)); }},
        {"get windows", [](Controls &c, const QString &w) { c.walls.getWindows(w); }},
        {"clear wall", [](Controls &c, const QString &w) { c.walls.clearWall(w); }},
        {"scene names", [](Controls &c, const QString &w) { c.scenes.getSceneNames(w); }},
        {"scenes", [](Controls &c, const QString &w) { c.scenes.getScenes(w); }},
        {"save scene", [](Controls &c, const QString &w) { c.scenes.saveScene(w, "s1", "Morning"); }},
        {"delete scene", [](Controls &c, const QString &w) { c.scenes.deleteScene(w, "s1"); }},
        {"call scene", [](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", false); }},
        {"preview scene", [](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", true); }},
        {"query scene", [](Controls &c, const QString &w) { c.scenes.queryScene(w, "s1"); }},
        {"start polling", [](Controls &c, const QString &w) { c.scenes.startPolling(w, {"s1"}, "5"); }},
        {"stop polling", [](Controls &c, const QString &w) { c.scenes.stopPolling(w); }},
    };
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestWallControl : public QObject
{
    Q_OBJECT
private slots:
    // A few senders in the three routing modes: one datagram per destination, in order.
    void routing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QStringList>("expected");
        const QString keyFrame = line(walls::keyFrameRequest(), kEncoders);
        const Operation setWindows = [](Controls &c, const QString &w) { c.walls.setWindows(w, kWindows); };
        const Operation getWindows = [](Controls &c, const QString &w) { c.walls.getWindows(w); };
        const Operation sceneNames = [](Controls &c, const QString &w) { c.scenes.getSceneNames(w); };
        const Operation stopPolling = [](Controls &c, const QString &w) { c.scenes.stopPolling(w); };

        QTest::newRow("set windows, multicast") << "multicast" << setWindows << QStringList{keyFrame, kWindows + kGroup};
        QTest::newRow("set windows, unicast: each decoder") << "unicast" << setWindows
            << QStringList{keyFrame, kWindows + " -> 10.0.0.21:41234", kWindows + " -> 10.0.0.23:41234",
                           kWindows + " -> 10.0.0.24:41234"};
        QTest::newRow("set windows, server") << "server" << setWindows << QStringList{keyFrame, kWindows + kServer};
        QTest::newRow("get windows, multicast") << "multicast" << getWindows << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("get windows, unicast") << "unicast" << getWindows << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("get windows, server") << "server" << getWindows << QStringList{"{GetWindows;1}" + kServer};
        QTest::newRow("scene names, multicast") << "multicast" << sceneNames << QStringList{"{GetSceneNames;1}" + kFirstDecoder};
        QTest::newRow("scene names, unicast") << "unicast" << sceneNames << QStringList{"{GetSceneNames;1}" + kFirstDecoder};
        QTest::newRow("scene names, server") << "server" << sceneNames << QStringList{"{GetSceneNames;1}" + kServer};
        QTest::newRow("stop polling, multicast") << "multicast" << stopPolling << QStringList{"{SetScenesPolling;1;0}" + kGroup};
        QTest::newRow("stop polling, unicast: each decoder") << "unicast" << stopPolling
            << QStringList{"{SetScenesPolling;1;0} -> 10.0.0.21:41234", "{SetScenesPolling;1;0} -> 10.0.0.23:41234",
                           "{SetScenesPolling;1;0} -> 10.0.0.24:41234"};
        QTest::newRow("stop polling, server") << "server" << stopPolling << QStringList{"{SetScenesPolling;1;0}" + kServer};
    }
    void routing()
    {
        QFETCH(QString, mode);
        QFETCH(Operation, operation);
        QFETCH(QStringList, expected);
        Controls c(byMode(mode));
        operation(c, QStringLiteral("1"));
        QCOMPARE(c.sender.sent, expected);
        settle();
        QCOMPARE(c.sender.sent, expected); // none of these has a follow-up
    }

    // What goes out at once, and what follows after the pause.
    void followUps_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QStringList>("immediate");
        QTest::addColumn<QStringList>("later");
        const QString sceneKeyFrame = line(scenes::keyFrameCommand(), kEncoders);

        QTest::newRow("clear wall: its windows are asked for")
            << "multicast" << Operation([](Controls &c, const QString &w) { QVERIFY(c.walls.clearWall(w)); })
            << QStringList{"{SetWindows;1}" + kGroup, "{SetAudios;1}" + kGroup} << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("clear wall, server")
            << "server" << Operation([](Controls &c, const QString &w) { QVERIFY(c.walls.clearWall(w)); })
            << QStringList{"{SetWindows;1}" + kServer, line(walls::audioClearRequest("1"), kServer)}
            << QStringList{"{GetWindows;1}" + kServer};
        QTest::newRow("clear wall: the follow-up reads the installation of its time")
            << "multicast" << Operation([](Controls &c, const QString &w) {
                   c.walls.clearWall(w);
                   c.installation.serverIp = QStringLiteral("10.0.0.5");
               })
            << QStringList{"{SetWindows;1}" + kGroup, "{SetAudios;1}" + kGroup} << QStringList{"{GetWindows;1}" + kServer};
        QTest::newRow("call scene: windows, then the key frame")
            << "multicast" << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", false); })
            << QStringList{"{CallScene;1;s1}" + kGroup} << QStringList{"{GetWindows;1}" + kFirstDecoder, sceneKeyFrame};
        QTest::newRow("call scene, server")
            << "server" << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", false); })
            << QStringList{"{CallScene;1;s1}" + kServer} << QStringList{"{GetWindows;1}" + kServer, sceneKeyFrame};
        QTest::newRow("preview scene: nothing follows")
            << "multicast" << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", true); })
            << QStringList{"{GetScene;1;s1}" + kFirstDecoder, sceneKeyFrame} << QStringList{};
        QTest::newRow("save scene: the scene list")
            << "multicast" << Operation([](Controls &c, const QString &w) { c.scenes.saveScene(w, "s1", "Morning"); })
            << QStringList{"{SaveScene;1;s1,Morning}" + kGroup} << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("delete scene: the scene list")
            << "unicast" << Operation([](Controls &c, const QString &w) { c.scenes.deleteScene(w, "s1"); })
            << QStringList{"{DeleteScene;1;s1} -> 10.0.0.21:41234", "{DeleteScene;1;s1} -> 10.0.0.23:41234",
                           "{DeleteScene;1;s1} -> 10.0.0.24:41234"}
            << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("acknowledged windows")
            << "multicast" << Operation([](Controls &c, const QString &w) { c.walls.getWindowsLater(w); })
            << QStringList{} << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("acknowledged scenes")
            << "server" << Operation([](Controls &c, const QString &w) { c.scenes.getScenesLater(w); })
            << QStringList{} << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("refused call scene: nothing follows")
            << "multicast" << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s;1", false); })
            << QStringList{} << QStringList{};
        QTest::newRow("refused clear (no decoders, unicast): nothing follows")
            << "unicast" << Operation([](Controls &c, const QString &) { QVERIFY(!c.walls.clearWall("2")); })
            << QStringList{} << QStringList{};
    }
    void followUps()
    {
        QFETCH(QString, mode);
        QFETCH(Operation, operation);
        QFETCH(QStringList, immediate);
        QFETCH(QStringList, later);
        Controls c(byMode(mode));
        operation(c, QStringLiteral("1"));
        QCOMPARE(c.sender.sent, immediate);
        QTRY_COMPARE(c.sender.sent, immediate + later);
        settle();
        QCOMPARE(c.sender.sent, immediate + later);
    }

    // A wall id a command cannot carry: no sender sends anything, now or later, and no state
    // is published. (Cycle groups exist only for walls the design names: cycleGroups.)
    void unaddressableWall_data()
    {
        QTest::addColumn<QString>("wallId");
        QTest::addColumn<Operation>("operation");
        for (const QString &wall : {QString(), QStringLiteral("1;2"), QStringLiteral("{1}")}) {
            for (const auto &s : senders())
                QTest::addRow("%s, wall \"%s\"", qPrintable(s.first), qPrintable(wall)) << wall << s.second;
        }
    }
    void unaddressableWall()
    {
        QFETCH(QString, wallId);
        QFETCH(Operation, operation);
        Controls c(fixtures::serverWall()); // the controller would take any wall that it can address
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        operation(c, wallId);
        settle();
        QCOMPARE(c.sender.sent, QStringList{});
        QCOMPARE(stored.count(), 0);
    }

    // Polling: the running one stops, the new one follows, and its state is published.
    void pollingStoresItsState_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("later");
        QTest::newRow("multicast: the wall's host output") << "multicast"
                                                           << QStringList{"{SetScenesPolling;1;5;s1,s2}" + kFirstDecoder};
        QTest::newRow("server: the controller and the output") << "server"
            << QStringList{"{SetScenesPolling;1;5;s1,s2}" + kServer, "{SetScenesPolling;1;5;s1,s2}" + kFirstDecoder};
    }
    void pollingStoresItsState()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, later);
        Controls c(byMode(mode));
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        c.scenes.startPolling("1", {"s1", "s2"}, "5");
        const QStringList stop{"{SetScenesPolling;1;0}" + (mode == QLatin1String("server") ? kServer : kGroup)};
        QCOMPARE(c.sender.sent, stop);
        QCOMPARE(stored.count(), 0); // only once the polling itself went out
        QTRY_COMPARE(stored.count(), 1);
        QCOMPARE(c.sender.sent, stop + later);
        QCOMPARE(stored.at(0).at(0).toString(), scenes::cycleStateKey("1"));
        QCOMPARE(stored.at(0).at(1).toString(), scenes::cycleStateText("1", "5", {"s1", "s2"}));
    }

    void pollingRefusedWhole()
    {
        Controls c(fixtures::multicastWall());
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        c.scenes.startPolling("1", {"s1"}, "five"); // not even the stop goes out
        c.scenes.startPolling("2", {"s1"}, "5");    // no output serves wall 2
        settle();
        QCOMPARE(c.sender.sent, QStringList{});
        QCOMPARE(stored.count(), 0);
    }

    void pollingLostDuringThePause()
    {
        Controls c(fixtures::multicastWall());
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        c.scenes.startPolling("1", {"s1"}, "5");
        c.installation.outputs.clear(); // a new model without the wall's host output
        settle();
        QCOMPARE(c.sender.sent, QStringList{"{SetScenesPolling;1;0}" + kGroup});
        QCOMPARE(stored.count(), 0);
    }

    // Cycle groups are kept per wall: filled from the stored copy, edited and stored again.
    void cycleGroups()
    {
        Controls c(fixtures::multicastWall());
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        const QVariantMap tour{{"name", "Tour"}, {"hotkey", ""}, {"id", "Tour"}, {"time", 5},
                               {"sceneIds", QStringList{"s1", "s2"}}, {"sceneNames", QStringList{"A", "B"}}};
        c.scenes.setCycleGroups("1", {tour});
        c.scenes.setCycleGroups("9", {tour}); // a wall the design does not name
        QCOMPARE(c.scenes.cycleGroupList("1"), (QVariantList{QVariantMap{{"name", "Tour"}, {"id", "Tour"}}}));
        QCOMPARE(c.scenes.cycleGroupList("9"), QVariantList{});
        QCOMPARE(c.scenes.cycleGroupList("2"), QVariantList{});
        QCOMPARE(c.scenes.cycleGroup("1", "Tour").value("sceneNames").toStringList(), (QStringList{"A", "B"}));
        QCOMPARE(c.sender.sent, QStringList{}); // taking the stored copy sends nothing

        // An edit stores the wall's whole list, to the group in every mode.
        QVERIFY(c.scenes.addCycleGroup("1", "Night", 10, {"s3"}, {"C"}));
        const QList<design::CycleGroup> both = c.scenes.cycleGroups("1");
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.at(1).name, QStringLiteral("Night"));
        QCOMPARE(c.sender.sent, QStringList{line(scenes::saveClientInfoText(scenes::cycleGroupsKey("1"),
                                                                            scenes::cycleGroupStore("1", both)), kGroup)});
        c.sender.sent.clear();
        const QVariantList listed = c.scenes.cycleGroupList("1");

        // Refusals change nothing and send nothing.
        QVERIFY(!c.scenes.addCycleGroup("1", "Night", 10, {"s3"}, {"C"})); // the name exists
        QVERIFY(!c.scenes.addCycleGroup("9", "Other", 10, {"s3"}, {"C"})); // no such wall
        QVERIFY(!c.scenes.deleteCycleGroup("1", "Nobody"));
        QCOMPARE(c.scenes.cycleGroupList("1"), listed);
        QCOMPARE(c.sender.sent, QStringList{});

        QVERIFY(c.scenes.editCycleGroup("1", "Night", "Late", 20, {"s3"}, {"C"}));
        QCOMPARE(c.scenes.cycleGroupList("1"),
                 (QVariantList{QVariantMap{{"name", "Tour"}, {"id", "Tour"}}, QVariantMap{{"name", "Late"}, {"id", "Night"}}}));
        QVERIFY(c.scenes.deleteCycleGroup("1", "Tour"));
        QCOMPARE(c.sender.sent.size(), 2);
        QVERIFY(c.sender.sent.last().contains("\"name\":\"Late\""));
        QVERIFY(!c.sender.sent.last().contains("Tour"));
        c.sender.sent.clear();

        // Starting a group polls its scenes at its interval on its wall.
        c.scenes.startCycleGroup("1", "Late");
        QTRY_COMPARE(stored.count(), 1);
        QCOMPARE(stored.at(0).at(1).toString(), scenes::cycleStateText("1", "20", {"s3"}));
        c.scenes.startCycleGroup("1", "Tour"); // deleted: nothing
        c.scenes.startCycleGroup("2", "Late"); // another wall's group
        settle();
        QCOMPARE(stored.count(), 1);
        QCOMPARE(c.sender.sent, (QStringList{"{SetScenesPolling;1;0}" + kGroup, "{SetScenesPolling;1;20;s3}" + kFirstDecoder}));

        // A new model forgets them.
        c.scenes.clear();
        QCOMPARE(c.scenes.cycleGroupList("1"), QVariantList{});
    }

    // The page's rectangles: Qt.rect() values and plain objects; anything else gives nothing.
    void hiddenWindowsFromThePage()
    {
        const QVariantMap below{{"x", 10}, {"y", 10}, {"width", 20}, {"height", 20}};
        QCOMPARE(walls::WallControl::hiddenWindows({QRectF(0, 0, 100, 100), below}), QList<int>{0});
        QCOMPARE(walls::WallControl::hiddenWindows({QRect(0, 0, 100, 100), QRectF(500, 500, 10, 10)}), QList<int>{});
        QCOMPARE(walls::WallControl::hiddenWindows({QRectF(0, 0, 100, 100), QVariantMap{{"x", 10}, {"y", 10}}}), QList<int>{});
        QCOMPARE(walls::WallControl::hiddenWindows({QRectF(0, 0, 100, 100), QStringLiteral("rect")}), QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestWallControl)
#include "tst_wallcontrol.moc"
