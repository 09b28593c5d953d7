// Scene, polling and cycle group commands without sockets: exact bytes, the polling
// checks and the cycle group list rules.
#include "scenes/scenecommands.h"

#include <QtTest>

#include "support/installations.h"
#include "support/table.h"

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
    void refusals_data()
    {
        columns<QStringList, QStringList>({"got", "expected"});
        const walls::Installation in = fixtures::multicastWall();
        const QStringList refused{"refused"};
        QTest::newRow("save, GBK name on the wire") << fixtures::render(scenes::saveScene(in, "1", "s1", "早会"))
                                                    << QStringList{QString::fromLatin1("{SaveScene;1;s1,\xd4\xe7\xbb\xe1} -> 224.168.1.1:41234")};
        QTest::newRow("save, id with a comma") << fixtures::render(scenes::saveScene(in, "1", "a,b", "Morning")) << refused;
        QTest::newRow("save, name with a field separator") << fixtures::render(scenes::saveScene(in, "1", "s1", "a;b")) << refused;
        QTest::newRow("save, unknown wall: by the group") << fixtures::render(scenes::saveScene(in, "9", "s1", "Morning"))
                                                         << QStringList{"{SaveScene;9;s1,Morning} -> 224.168.1.1:41234"};
    }
    void refusals()
    {
        QFETCH(QStringList, got);
        QTEST(got, "expected");
    }

    void cycleChecks_data()
    {
        columns<QString, QStringList, QString, bool>({"wallId", "ids", "secs", "accepted"});
        QTest::newRow("scenes and seconds") << "1" << QStringList{"s1", "s2"} << "5" << true;
        QTest::newRow("not a number") << "1" << QStringList{"s1"} << "five" << false;
        QTest::newRow("no output serves the wall") << "2" << QStringList{"s1"} << "5" << false;
    }
    void cycleChecks()
    {
        QFETCH(QString, wallId);
        QFETCH(QStringList, ids);
        QFETCH(QString, secs);
        QTEST(scenes::sceneCycleRefusal(fixtures::multicastWall(), wallId, ids, secs).isEmpty(), "accepted");
    }

    void cycleGroupRules_data()
    {
        columns<QList<CycleGroup>, QString>({"before", "op"});
        QTest::addColumn<QString>("key"); // the name (add, del) or the id (edit)
        columns<QString, int, QStringList, QStringList, bool, QStringList>({"newName", "time", "ids", "names", "ok", "after"});
        const QStringList two = render(kTwo);
        const QStringList s{"s9"};
        const QStringList n{"Night"};
        QTest::newRow("add: id is the name, no hotkey") << kTwo << "add" << "Lobby" << "" << 8 << s << n << true
                                                        << two + QStringList{"Lobby|Lobby|8||s9|Night"};
        QTest::newRow("add: name exists") << kTwo << "add" << "Tour" << "" << 8 << s << n << false << two;
        QTest::newRow("add: name is a renamed group's id") << kTwo << "add" << "Evening" << "" << 8 << s << n << false << two;
        QTest::newRow("add: no scenes") << kTwo << "add" << "Lobby" << "" << 8 << QStringList{} << QStringList{} << false << two;
        QTest::newRow("add: zero seconds") << kTwo << "add" << "Lobby" << "" << 0 << s << n << false << two;
        QTest::newRow("edit: rename keeps id") << kTwo << "edit" << "Tour" << "Day" << 7 << s << n << true
                                               << QStringList{"Tour|Day|7||s9|Night", two.at(1)};
        QTest::newRow("edit: by id, not by name") << kTwo << "edit" << "晚间" << "X" << 7 << s << n << false << two;
        QTest::newRow("delete by name") << kTwo << "del" << "晚间" << "" << 0 << QStringList{} << QStringList{} << true
                                        << QStringList{two.at(0)};
        QTest::newRow("delete: the first of that name")
            << QList<CycleGroup>{group("A", "1", 5, s, n), group("A", "2", 5, s, n)} << "del" << "A" << "" << 0 << QStringList{}
            << QStringList{} << true << QStringList{"2|A|5||s9|Night"};
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
        QTEST(render(groups), "after");
    }
};

QTEST_APPLESS_MAIN(TestSceneCommands)
#include "tst_scenecommands.moc"
