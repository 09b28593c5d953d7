// Scene, polling and cycle group commands without sockets: exact bytes, the polling
// checks and the cycle group list rules.
#include "scenes/scenecommands.h"

#include <QtTest>

#include "support/installations.h"

using namespace kora;
using design::CycleGroup;

Q_DECLARE_METATYPE(QList<kora::design::CycleGroup>)

namespace {
CycleGroup group(const QString &name, const QString &id, int time, const QStringList &ids, const QStringList &names)
{
    return {name, QString(), time, id, ids, names};
}

// "id|name|time|hotkey|ids|names" per group, for readable comparisons.
QStringList render(const QList<CycleGroup> &groups)
{
    QStringList out;
    for (const CycleGroup &g : groups) {
        out.append(QStringList{g.id, g.name, QString::number(g.time), g.hotkey, g.sceneIds.join(','), g.sceneNames.join(',')}.join('|'));
    }
    return out;
}

const QList<CycleGroup> kTwo{group("Tour", "Tour", 5, {"s1", "s2"}, {"Morning", "Noon"}),
                             group("晚间", "Evening", 10, {"s3"}, {"夜"})};
} // namespace

class TestSceneCommands : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("scene names") << scenes::sceneNamesQuery("1") << QByteArray("{GetSceneNames;1}");
        QTest::newRow("scenes") << scenes::scenesQuery("2") << QByteArray("{GetScenes;2}");
        QTest::newRow("save") << scenes::saveSceneText("1", "1716191400000_dock=2", "Morning")
                              << QByteArray("{SaveScene;1;1716191400000_dock=2,Morning}");
        QTest::newRow("save, GBK name") << scenes::saveSceneText("1", "1716191400000_dock=1", "早会 Room")
                                        << QByteArray("{SaveScene;1;1716191400000_dock=1,\xd4\xe7\xbb\xe1 Room}");
        QTest::newRow("save, comma stays in the name") << scenes::saveSceneText("1", "s1", "A,B") << QByteArray("{SaveScene;1;s1,A,B}");
        QTest::newRow("delete") << scenes::deleteSceneText("1", "s1") << QByteArray("{DeleteScene;1;s1}");
        QTest::newRow("call") << scenes::callSceneText("2", "s1") << QByteArray("{CallScene;2;s1}");
        QTest::newRow("query") << scenes::sceneQuery("2", "s1") << QByteArray("{GetScene;2;s1}");
        QTest::newRow("polling, several") << scenes::pollingText("1", "5", {"s1", "s2", "s3"}) << QByteArray("{SetScenesPolling;1;5;s1,s2,s3}");
        QTest::newRow("polling, one") << scenes::pollingText("1", "30", {"s1"}) << QByteArray("{SetScenesPolling;1;30;s1}");
        QTest::newRow("polling, empty list: the interval closes it") << scenes::pollingText("1", "5", {}) << QByteArray("{SetScenesPolling;1;5}");
        QTest::newRow("polling stop") << scenes::pollingStopText("1") << QByteArray("{SetScenesPolling;1;0}");
        QTest::newRow("key frame") << scenes::keyFrameCommand() << QByteArray("{\"Function\":\"insertIDR\",\"Type\":\"System\",\"Value\":0}");
        QTest::newRow("cycle state") << scenes::cycleStateText("1", "5", {"s1", "s2"}).toUtf8()
                                     << QByteArray("\"{\"memb\":[\"s1\",\"s2\"],\"obj\":\"cycle\",\"time\":\"5\",\"uuid\":\"1\"}\"");
        QTest::newRow("cycle state, no scenes") << scenes::cycleStateText("2", "10", {}).toUtf8()
                                                << QByteArray("\"{\"memb\":[],\"obj\":\"cycle\",\"time\":\"10\",\"uuid\":\"2\"}\"");
        QTest::newRow("cycle state key") << scenes::cycleStateKey("1").toUtf8() << QByteArray("1_cycle");
        QTest::newRow("store, empty") << scenes::cycleGroupStore("1", {}).toUtf8()
                                      << QByteArray("\"{\"data\":[],\"id\":\"1\",\"obj\":\"cycleGroups\"}\"");
        QTest::newRow("store")
            << scenes::cycleGroupStore("1", kTwo).toUtf8()
            << QByteArray("\"{\"data\":[{\"hotkey\":\"\",\"id\":\"Tour\",\"isCall\":false,\"name\":\"Tour\",\"sceneIds\":[\"s1\",\"s2\"],\"sceneNames\":[\"Morning\",\"Noon\"],\"time\":5},"
                          "{\"hotkey\":\"\",\"id\":\"Evening\",\"isCall\":false,\"name\":\"晚间\",\"sceneIds\":[\"s3\"],\"sceneNames\":[\"夜\"],\"time\":10}],\"id\":\"1\",\"obj\":\"cycleGroups\"}\"");
        QTest::newRow("store key") << scenes::cycleGroupsKey("2").toUtf8() << QByteArray("2_cycleGroups");
        QTest::newRow("client info, UTF-8") << scenes::saveClientInfoText("1_cycleGroups", "\"晚间\"")
                                            << QByteArray("{SaveClientInfo;1_cycleGroups,\"\xe6\x99\x9a\xe9\x97\xb4\"}");
    }
    void texts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytes, expected);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("got");
        QTest::addColumn<QStringList>("expected");
        const walls::Installation in = fixtures::multicastWall();
        const QStringList refused{"refused"};
        QTest::newRow("save, GBK name on the wire") << fixtures::render(scenes::saveScene(in, "1", "s1", "早会"))
                                                    << QStringList{QString::fromLatin1("{SaveScene;1;s1,\xd4\xe7\xbb\xe1} -> 224.168.1.1:41234")};
        QTest::newRow("save, empty name") << fixtures::render(scenes::saveScene(in, "1", "s1", ""))
                                          << QStringList{"{SaveScene;1;s1,} -> 224.168.1.1:41234"};
        QTest::newRow("save, empty id") << fixtures::render(scenes::saveScene(in, "1", "", "Morning")) << refused;
        QTest::newRow("save, id with a comma") << fixtures::render(scenes::saveScene(in, "1", "a,b", "Morning")) << refused;
        QTest::newRow("save, name with a field separator") << fixtures::render(scenes::saveScene(in, "1", "s1", "a;b")) << refused;
        QTest::newRow("save, name with a brace") << fixtures::render(scenes::saveScene(in, "1", "s1", "a}")) << refused;
        QTest::newRow("save, unknown wall: by the group") << fixtures::render(scenes::saveScene(in, "9", "s1", "Morning"))
                                                         << QStringList{"{SaveScene;9;s1,Morning} -> 224.168.1.1:41234"};
        QTest::newRow("save, wall id with a brace") << fixtures::render(scenes::saveScene(in, "9}", "s1", "Morning")) << refused;
        QTest::newRow("save, no wall selected") << fixtures::render(scenes::saveScene(in, "", "s1", "Morning")) << refused;
        QTest::newRow("delete, id with a brace") << fixtures::render(scenes::deleteScene(in, "1", "s}")) << refused;
        QTest::newRow("call, empty id") << fixtures::render(scenes::callScene(in, "1", "")) << refused;
        QTest::newRow("query, id with a field separator") << fixtures::render(scenes::queryScene(in, "1", "a;b")) << refused;
        QTest::newRow("preview, unknown wall") << fixtures::render(scenes::previewScene(in, "9", "s1")) << refused;
    }
    void refusals()
    {
        QFETCH(QStringList, got);
        QFETCH(QStringList, expected);
        QCOMPARE(got, expected);
    }

    void cycleChecks_data()
    {
        QTest::addColumn<QString>("wallId");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("secs");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("scenes and seconds") << "1" << QStringList{"s1", "s2"} << "5" << true;
        QTest::newRow("empty list: the wall and the interval only") << "1" << QStringList{} << "5" << true;
        QTest::newRow("zero seconds, as given") << "1" << QStringList{"s1"} << "0" << true;
        QTest::newRow("negative, as given") << "1" << QStringList{"s1"} << "-5" << true;
        QTest::newRow("not a number") << "1" << QStringList{"s1"} << "five" << false;
        QTest::newRow("no interval") << "1" << QStringList{"s1"} << "" << false;
        QTest::newRow("no wall selected") << "" << QStringList{"s1"} << "5" << false;
        QTest::newRow("id with a comma") << "1" << QStringList{"s1,s2"} << "5" << false;
        QTest::newRow("unknown wall") << "9" << QStringList{"s1"} << "5" << false;
        QTest::newRow("no output serves the wall") << "2" << QStringList{"s1"} << "5" << false;
    }
    void cycleChecks()
    {
        QFETCH(QString, wallId);
        QFETCH(QStringList, ids);
        QFETCH(QString, secs);
        QFETCH(bool, accepted);
        QCOMPARE(scenes::sceneCycleRefusal(fixtures::multicastWall(), wallId, ids, secs).isEmpty(), accepted);
    }

    void cycleGroupRules_data()
    {
        QTest::addColumn<QList<CycleGroup>>("before");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("key"); // the name (add, del) or the id (edit)
        QTest::addColumn<QString>("newName");
        QTest::addColumn<int>("time");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("after");
        const QStringList two = render(kTwo);
        const QStringList s{"s9"};
        const QStringList n{"Night"};
        QTest::newRow("add: id is the name, no hotkey") << kTwo << "add" << "Lobby" << "" << 8 << s << n << true
                                                        << two + QStringList{"Lobby|Lobby|8||s9|Night"};
        QTest::newRow("add to an empty list") << QList<CycleGroup>{} << "add" << "Lobby" << "" << 8 << s << n << true
                                              << QStringList{"Lobby|Lobby|8||s9|Night"};
        QTest::newRow("add: name exists") << kTwo << "add" << "Tour" << "" << 8 << s << n << false << two;
        QTest::newRow("add: name is a renamed group's id") << kTwo << "add" << "Evening" << "" << 8 << s << n << false << two;
        QTest::newRow("add: empty name") << kTwo << "add" << "" << "" << 8 << s << n << false << two;
        QTest::newRow("add: no scenes") << kTwo << "add" << "Lobby" << "" << 8 << QStringList{} << QStringList{} << false << two;
        QTest::newRow("add: names do not match ids") << kTwo << "add" << "Lobby" << "" << 8 << QStringList{"a", "b"} << n << false << two;
        QTest::newRow("add: zero seconds") << kTwo << "add" << "Lobby" << "" << 0 << s << n << false << two;
        QTest::newRow("edit: rename keeps id") << kTwo << "edit" << "Tour" << "Day" << 7 << s << n << true
                                               << QStringList{"Tour|Day|7||s9|Night", two.at(1)};
        QTest::newRow("edit: same name, new scenes") << kTwo << "edit" << "Tour" << "Tour" << 5 << s << n << true
                                                     << QStringList{"Tour|Tour|5||s9|Night", two.at(1)};
        QTest::newRow("edit: by id, not by name") << kTwo << "edit" << "晚间" << "X" << 7 << s << n << false << two;
        QTest::newRow("edit: renamed group by its old id") << kTwo << "edit" << "Evening" << "Late" << 12 << s << n << true
                                                           << QStringList{two.at(0), "Evening|Late|12||s9|Night"};
        QTest::newRow("edit: another group has the name") << kTwo << "edit" << "Tour" << "晚间" << 7 << s << n << false << two;
        QTest::newRow("edit: empty name") << kTwo << "edit" << "Tour" << "" << 7 << s << n << false << two;
        QTest::newRow("edit: no scenes") << kTwo << "edit" << "Tour" << "Tour" << 7 << QStringList{} << QStringList{} << false << two;
        QTest::newRow("delete by name") << kTwo << "del" << "晚间" << "" << 0 << QStringList{} << QStringList{} << true
                                        << QStringList{two.at(0)};
        QTest::newRow("delete: not by id") << kTwo << "del" << "Evening" << "" << 0 << QStringList{} << QStringList{} << false << two;
        QTest::newRow("delete: the first of that name")
            << QList<CycleGroup>{group("A", "1", 5, s, n), group("A", "2", 5, s, n)} << "del" << "A" << "" << 0 << QStringList{}
            << QStringList{} << true << QStringList{"2|A|5||s9|Night"};
        QTest::newRow("delete from an empty list") << QList<CycleGroup>{} << "del" << "A" << "" << 0 << QStringList{} << QStringList{}
                                                   << false << QStringList{};
    }
    void cycleGroupRules()
    {
        QFETCH(QList<CycleGroup>, before);
        QFETCH(QString, op);
        QFETCH(QString, key);
        QFETCH(QString, newName);
        QFETCH(int, time);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, names);
        QFETCH(bool, ok);
        QFETCH(QStringList, after);
        QList<CycleGroup> groups = before;
        QString why;
        bool result = false;
        if (op == "add")
            result = scenes::addCycleGroup(groups, key, time, ids, names, &why);
        else if (op == "edit")
            result = scenes::editCycleGroup(groups, key, newName, time, ids, names, &why);
        else
            result = scenes::deleteCycleGroup(groups, key, &why);
        QCOMPARE(result, ok);
        QCOMPARE(why.isEmpty(), ok); // a refusal always says why
        QCOMPARE(render(groups), after);
    }

    void renameKeepsId()
    {
        QList<CycleGroup> groups;
        QVERIFY(scenes::addCycleGroup(groups, "Tour", 5, {"s1"}, {"Morning"}));
        QVERIFY(scenes::editCycleGroup(groups, "Tour", "Day", 6, {"s1", "s2"}, {"Morning", "Noon"}));
        // Later edits find it by the old id, the name has changed.
        QCOMPARE(scenes::cycleGroupMap(groups, "Tour"),
                 (QVariantMap{{"id", "Tour"}, {"name", "Day"}, {"time", 6}, {"sceneIds", QStringList{"s1", "s2"}},
                              {"sceneNames", QStringList{"Morning", "Noon"}}}));
        QVERIFY(scenes::cycleGroupMap(groups, "Day").isEmpty());
        QVERIFY(scenes::editCycleGroup(groups, "Tour", "Dusk", 7, {"s2"}, {"Noon"}));
        QVERIFY(!scenes::addCycleGroup(groups, "Tour", 5, {"s1"}, {"Morning"})); // its id is still taken
        QVERIFY(!scenes::deleteCycleGroup(groups, "Tour"));
        QVERIFY(!scenes::findCycleGroupByName(groups, "Tour"));
        QCOMPARE(scenes::findCycleGroupByName(groups, "Dusk")->id, QStringLiteral("Tour"));
        QVERIFY(scenes::deleteCycleGroup(groups, "Dusk")); // deletion goes by the new name
        QVERIFY(groups.isEmpty());
    }

    void mapsForThePages()
    {
        QCOMPARE(scenes::cycleGroupList(kTwo),
                 (QVariantList{QVariantMap{{"name", "Tour"}, {"id", "Tour"}}, QVariantMap{{"name", "晚间"}, {"id", "Evening"}}}));
        QCOMPARE(scenes::cycleGroupList({}), QVariantList{});
        QCOMPARE(scenes::cycleGroupMap(kTwo, "Evening"),
                 (QVariantMap{{"id", "Evening"}, {"name", "晚间"}, {"time", 10}, {"sceneIds", QStringList{"s3"}},
                              {"sceneNames", QStringList{"夜"}}}));
        QVERIFY(scenes::cycleGroupMap(kTwo, "晚间").isEmpty()); // by id only
    }

    void storeOfEveryRecordOfTheWall()
    {
        walls::Installation in = fixtures::multicastWall();
        in.walls[0].cycleGroups = {kTwo.at(0)};
        in.walls.append(fixtures::wall("1", {})); // a second record of the same wall
        in.walls.last().cycleGroups = {kTwo.at(1)};
        in.walls[1].cycleGroups = {group("Other", "Other", 3, {"x"}, {"y"})};
        const scenes::Commands c = scenes::saveCycleGroups(in, "1");
        QVERIFY(!c.refused());
        QCOMPARE(c.items.size(), 1);
        QCOMPARE(c.items.first().data, scenes::saveClientInfoText("1_cycleGroups", scenes::cycleGroupStore("1", kTwo)));
        QCOMPARE(c.items.first().to, link::wallMulticast());
    }
};

QTEST_APPLESS_MAIN(TestSceneCommands)
#include "tst_scenecommands.moc"
