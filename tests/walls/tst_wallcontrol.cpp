// The wall and scene controls with a recording sender: each composed datagram goes out once
// per destination, in order; the follow-ups come after their pause, composed from the
// installation as it is then; refusals send nothing; polling publishes its state; cycle
// groups are kept per wall.
#include "scenes/scenecommands.h"
#include "scenes/scenecontrol.h"
#include "walls/wallcontrol.h"

#include <QRectF>
#include <QSignalSpy>
#include "support/testmain.h"
#include <functional>

#include "support/installations.h"
#include "support/recordingsender.h"

using namespace kora;

namespace {

// Short pauses, so that a test waits little; every follow-up is due well before kSettledMs.
constexpr walls::WallTimings kWallTimings{5, 5, 20};
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

// Waits until every follow-up the controls scheduled so far is due and has run.
void settle() { QTest::qWait(kSettledMs); }

const QString kGroup = QStringLiteral(" -> 224.168.1.1:41234");
const QString kFirstDecoder = QStringLiteral(" -> 10.0.0.21:41234");
const QString kEncoders = QStringLiteral(" -> 224.168.1.1:12345");

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

    // A decoder asked for its wall's windows is marked when it does not answer in time, and
    // cleared by anything heard from it. What the controller answers for is not watched.
    void unansweredQueries_data()
    {
        columns<bool, QString, QStringList>({"controller", "heard", "silent"});
        QTest::newRow("no answer") << false << QString() << QStringList{"10.0.0.21"};
        QTest::newRow("answered") << false << QString("10.0.0.21") << QStringList{};
        QTest::newRow("another decoder answered") << false << QString("10.0.0.22") << QStringList{"10.0.0.21"};
        QTest::newRow("through the controller") << true << QString() << QStringList{};
    }
    void unansweredQueries()
    {
        QFETCH(bool, controller);
        QFETCH(QString, heard);
        Controls c(controller ? fixtures::serverWall() : fixtures::multicastWall());
        QSignalSpy changed(&c.walls, &walls::WallControl::silentOutputsChanged);
        c.walls.getWindows(QStringLiteral("1"));
        c.walls.getWindows(QStringLiteral("1"));
        c.walls.heardFrom(heard);
        settle();
        QTEST(c.walls.silentOutputs(), "silent");
        c.walls.heardFrom(QStringLiteral("::ffff:10.0.0.21"));
        QCOMPARE(c.walls.silentOutputs(), QStringList());
        QFETCH(QStringList, silent);
        QCOMPARE(changed.count(), silent.isEmpty() ? 0 : 2);
    }

    // What goes out at once, and what follows after the pause.
    void followUps_data()
    {
        columns<Operation, QStringList, QStringList>({"operation", "immediate", "later"});
        const QString sceneKeyFrame = line(scenes::keyFrameCommand(), kEncoders);

        QTest::newRow("clear wall: its windows are asked for")
            << Operation([](Controls &c, const QString &w) { QVERIFY(c.walls.clearWall(w)); })
            << QStringList{"{SetWindows;1}" + kGroup, "{SetAudios;1}" + kGroup} << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("call scene: windows, then the key frame")
            << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s1", false); })
            << QStringList{"{CallScene;1;s1}" + kGroup} << QStringList{"{GetWindows;1}" + kFirstDecoder, sceneKeyFrame};
        QTest::newRow("save scene: the scene list")
            << Operation([](Controls &c, const QString &w) { c.scenes.saveScene(w, "s1", "Morning"); })
            << QStringList{"{SaveScene;1;s1,Morning}" + kGroup} << QStringList{"{GetScenes;1}" + kFirstDecoder};
        QTest::newRow("query scene: to the first output")
            << Operation([](Controls &c, const QString &w) { c.scenes.queryScene(w, "s1"); })
            << QStringList{"{GetScene;1;s1}" + kFirstDecoder} << QStringList{};
        QTest::newRow("acknowledged windows")
            << Operation([](Controls &c, const QString &w) { c.walls.getWindowsLater(w); })
            << QStringList{} << QStringList{"{GetWindows;1}" + kFirstDecoder};
        QTest::newRow("clear wall refused: it answers false, and nothing follows")
            << Operation([](Controls &c, const QString &) { QVERIFY(!c.walls.clearWall(QStringLiteral("1;2"))); })
            << QStringList{} << QStringList{};
        QTest::newRow("refused call scene: nothing follows")
            << Operation([](Controls &c, const QString &w) { c.scenes.callScene(w, "s;1", false); })
            << QStringList{} << QStringList{};
    }
    void followUps()
    {
        QFETCH(Operation, operation);
        QFETCH(QStringList, immediate);
        QFETCH(QStringList, later);
        Controls c(fixtures::multicastWall());
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
        columns<QString, Operation>({"wallId", "operation"});
        for (const QString &wall : {QString(), QStringLiteral("1;2")}) {
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

    // The pages hand rectangles as Qt.rect values or as plain objects; anything else refuses
    // the whole list rather than judge a wrong picture.
    void pageRectangles()
    {
        const QVariantMap inside{{"x", 10}, {"y", 10}, {"width", 10}, {"height", 10}};
        QCOMPARE(walls::WallControl::hiddenWindows({QRectF(0, 0, 100, 100), inside}), QList<int>{0}); // bottom-up
        QCOMPARE(walls::WallControl::hiddenWindows({QRect(0, 0, 100, 100), QVariantMap{{"x", 10}}}), QList<int>{});
    }

    // Polling: the running one stops, the new one follows, and its state is published.
    void pollingStoresItsState()
    {
        Controls c(fixtures::multicastWall());
        QSignalSpy stored(&c.scenes, &scenes::SceneControl::stateToStore);
        c.scenes.startPolling("1", {"s1", "s2"}, "5");
        const QStringList stop{"{SetScenesPolling;1;0}" + kGroup};
        QCOMPARE(c.sender.sent, stop);
        QCOMPARE(stored.count(), 0); // only once the polling itself went out
        QTRY_COMPARE(stored.count(), 1);
        QCOMPARE(c.sender.sent, stop + QStringList{"{SetScenesPolling;1;5;s1,s2}" + kFirstDecoder});
        QCOMPARE(stored.at(0).at(1).toString(), scenes::cycleStateText("1", "5", {"s1", "s2"}));
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
        QCOMPARE(c.scenes.cycleGroup("1", "Tour").value("sceneNames").toStringList(), (QStringList{"A", "B"}));
        QCOMPARE(c.sender.sent, QStringList{}); // taking the stored copy sends nothing

        // An edit stores the wall's whole list, to the group in every mode.
        QVERIFY(c.scenes.addCycleGroup("1", "Night", 10, {"s3"}, {"C"}));
        const QList<design::CycleGroup> both = c.scenes.cycleGroups("1");
        QCOMPARE(both.size(), 2);
        QCOMPARE(c.sender.sent, QStringList{line(scenes::saveClientInfoText(scenes::cycleGroupsKey("1"),
                                                                            scenes::cycleGroupStore("1", both)), kGroup)});
        QVERIFY(!c.scenes.addCycleGroup("9", "Other", 10, {"s3"}, {"C"})); // no such wall
        QVERIFY(c.scenes.editCycleGroup("1", "Night", "Late", 20, {"s3"}, {"C"}));
        c.sender.sent.clear();

        // Starting a group polls its scenes at its interval on its wall.
        c.scenes.startCycleGroup("1", "Late");
        QTRY_COMPARE(stored.count(), 1);
        QCOMPARE(stored.at(0).at(1).toString(), scenes::cycleStateText("1", "20", {"s3"}));
        c.scenes.startCycleGroup("2", "Late"); // another wall's group
        settle();
        QCOMPARE(stored.count(), 1);
        QCOMPARE(c.sender.sent, (QStringList{"{SetScenesPolling;1;0}" + kGroup, "{SetScenesPolling;1;20;s3}" + kFirstDecoder}));

        // A new model forgets them.
        c.scenes.clear();
        QCOMPARE(c.scenes.cycleGroupList("1"), QVariantList{});
    }
};

KORA_TEST(TestWallControl)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_wallcontrol.moc"
