// Signal lists into the model: one copy per id, and totals no number of lists can pass.
#include "dispatch/signallists.h"

#include "support/testmain.h"

using namespace kora;
using namespace kora::dispatch;

namespace {

QVariantMap entry(const QString &id, const QString &path = QString())
{
    return {{"id", id}, {"name", "Camera " + id}, {"url0", "rtsp://" + id}, {"url1", ""}, {"snapUrl", "239.1.1.1:5000"}, {"path", path}};
}

// "group name: member ids" per group, for readable comparisons.
QStringList render(const std::vector<SignalRecord> &signalList, const std::vector<SignalGroupRecord> &groups)
{
    QStringList out;
    for (const SignalGroupRecord &g : groups) {
        QStringList ids;
        for (int index : g.signalIndexes)
            ids.append(signalList[size_t(index)].ip);
        const QString members = g.members.size() == g.signalIndexes.size() ? QString() : QStringLiteral(" (members differ)");
        out.append(g.name + ": " + ids.join(',') + members);
    }
    return out;
}

} // namespace

class TestSignalLists : public QObject
{
    Q_OBJECT
private slots:
    void merge_data()
    {
        // The lists are merged one after the other; "added" counts those the last one added.
        columns<bool, QList<QVariantList>, QStringList, QStringList, int>({"paged", "lists", "signalIds", "groups", "added"});
        const QVariantList ab{entry("a", "Cams"), entry("b", "Doors")};
        QTest::newRow("whole list again: the same group, no copies")
            << false << QList<QVariantList>{ab, ab, ab} << QStringList{"d", "a", "b"} << QStringList{"Device: d", ": a,b"} << 0;
        QTest::newRow("whole list, changed: the group holds the latest")
            << false << QList<QVariantList>{ab, {entry("b"), entry("c")}} << QStringList{"d", "a", "b", "c"}
            << QStringList{"Device: d", ": b,c"} << 1;
        QTest::newRow("paged: a group per path") << true << QList<QVariantList>{ab} << QStringList{"d", "a", "b"}
                                                 << QStringList{"Device: d", "Cams: a", "Doors: b"} << 2;
    }
    void merge()
    {
        QFETCH(bool, paged);
        QFETCH(QList<QVariantList>, lists);
        QFETCH(int, added);
        // The device file's signal "d" in its group "Device".
        std::vector<SignalRecord> signalList(1);
        signalList[0].ip = "d";
        std::vector<SignalGroupRecord> groupList(1);
        groupList[0].name = "Device";
        groupList[0].signalIndexes = {0};
        groupList[0].members = {{0, 0}};
        int whole = -1;
        SignalMerge merge;
        for (const QVariantList &list : lists)
            merge = mergeSignalList(signalList, groupList, list, paged, &whole);
        QStringList ids;
        for (const SignalRecord &s : signalList)
            ids.append(s.ip);
        QTEST(ids, "signalIds");
        QTEST(render(signalList, groupList), "groups");
        QCOMPARE(merge.added.size(), added);
        QCOMPARE(merge.refused, 0);
        QCOMPARE(merge.group, paged ? -1 : 1);
        for (int index : merge.added)
            QCOMPARE(signalList[size_t(index)].snapshotUrl, QStringLiteral("239.1.1.1:5000"));
    }

    void totalsAreCapped_data()
    {
        QTest::addColumn<bool>("paged");
        QTest::newRow("whole lists") << false;
        QTest::newRow("paged, a group per signal") << true;
    }
    void totalsAreCapped()
    {
        QFETCH(bool, paged);
        std::vector<SignalRecord> signalList;
        std::vector<SignalGroupRecord> groups;
        int whole = -1;
        int refused = 0;
        int added = 0;
        for (int n = 0; n < 12; ++n) {
            QVariantList list;
            for (int i = 0; i < 1000; ++i) {
                const QString id = QStringLiteral("s%1-%2").arg(n).arg(i);
                list.append(entry(id, id));
            }
            const SignalMerge merge = mergeSignalList(signalList, groups, list, paged, &whole);
            refused += merge.refused;
            added += merge.added.size();
        }
        QCOMPARE(int(signalList.size()), paged ? kMaxGroups : kMaxSignals);
        QCOMPARE(int(groups.size()), paged ? kMaxGroups : 1);
        QCOMPARE(added, int(signalList.size()));
        QCOMPARE(refused + added, 12000);
        // Nothing listed later gets in, not even a new group.
        const SignalMerge late = mergeSignalList(signalList, groups, {entry("late", "late")}, true, &whole);
        QCOMPARE(late.refused, 1);
        QVERIFY(late.added.isEmpty());
        QCOMPARE(int(groups.size()), paged ? kMaxGroups : 1);
    }
};

KORA_TEST(TestSignalLists)
#include "tst_signallists.moc"
