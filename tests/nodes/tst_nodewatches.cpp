// Which nodes the pollers ask, as monitors come, go and are pointed elsewhere, and when a
// node that stopped answering is reported.
#include "nodes/watches.h"

#include "support/testmain.h"

using namespace kora::nodes;
using Change = Watchers::Change;

Q_DECLARE_METATYPE(Change)

namespace {

// Steps "+ip" (a monitor starts watching), "-ip" (one stops): after each, what the poller
// is told ("insert ip", "delete ip" or nothing) and its list as it then is.
QStringList run(const QStringList &steps)
{
    Watchers watchers;
    QStringList list, out;
    for (const QString &step : steps) {
        const QString ip = step.mid(1);
        const Change c = step.startsWith('+') ? watchers.watch(ip) : watchers.unwatch(ip);
        QString told;
        if (c == Change::Insert && addWatch(list, ip))
            told = "insert " + ip;
        else if (c == Change::Delete && removeWatch(list, ip))
            told = "delete " + ip;
        out << told + " [" + list.join(',') + "]";
    }
    return out;
}

} // namespace

class TestNodeWatches : public QObject
{
    Q_OBJECT
private slots:
    void pollerList_data()
    {
        columns<QStringList, QString, QString, bool, QStringList>({"start", "op", "ip", "changed", "after"});
        const QStringList two{"10.0.0.1", "10.0.0.2"};
        QTest::newRow("add to empty") << QStringList() << "add" << "10.0.0.1" << true << QStringList{"10.0.0.1"};
        QTest::newRow("add twice keeps one") << two << "add" << "10.0.0.2" << false << two;
        QTest::newRow("remove not watched sends nothing") << two << "remove" << "10.0.0.3" << false << two;
        QTest::newRow("empty address") << two << "add" << "" << false << two;
        QTest::newRow("leading zeros") << two << "add" << "10.0.0.03" << false << two;
    }
    void pollerList()
    {
        QFETCH(QStringList, start);
        QFETCH(QString, op);
        QFETCH(QString, ip);
        QStringList list = start;
        QTEST(op == "add" ? addWatch(list, ip) : removeWatch(list, ip), "changed");
        QTEST(list, "after");
    }

    void monitors_data()
    {
        columns<QStringList, QStringList>({"steps", "expected"});
        QTest::newRow("one monitor shown and hidden")
            << QStringList{"+10.0.0.1", "-10.0.0.1"} << QStringList{"insert 10.0.0.1 [10.0.0.1]", "delete 10.0.0.1 []"};
        // A design command points a monitor elsewhere: the old watch goes first, then the new.
        QTest::newRow("re-pointed monitor")
            << QStringList{"+10.0.0.1", "-10.0.0.1", "+10.0.0.2"}
            << QStringList{"insert 10.0.0.1 [10.0.0.1]", "delete 10.0.0.1 []", "insert 10.0.0.2 [10.0.0.2]"};
        QTest::newRow("re-pointed while another monitor keeps the old node")
            << QStringList{"+10.0.0.1", "+10.0.0.1", "-10.0.0.1", "+10.0.0.2"}
            << QStringList{"insert 10.0.0.1 [10.0.0.1]", " [10.0.0.1]", " [10.0.0.1]", "insert 10.0.0.2 [10.0.0.1,10.0.0.2]"};
        QTest::newRow("stop watching what was never watched")
            << QStringList{"-10.0.0.1", "+10.0.0.1"} << QStringList{" []", "insert 10.0.0.1 [10.0.0.1]"};
    }
    void monitors()
    {
        QFETCH(QStringList, steps);
        QTEST(run(steps), "expected");
    }

    // Each character is one period: "a" the node answered in it, "." it did not. The
    // periods that end with a report are marked "!".
    void silence_data()
    {
        columns<QString, QString>({"periods", "reports"});
        QTest::newRow("silent from the start") << "......" << "..!...";
        QTest::newRow("silent after answering") << "aa...." << "....!.";
        QTest::newRow("answers again, then silent again") << "...a..." << "..!...!";
    }
    void silence()
    {
        QFETCH(QString, periods);
        Silence s;
        const QStringList watched{"10.0.0.1"};
        QString got;
        for (const QChar p : periods) {
            if (p == 'a')
                s.answered("10.0.0.1");
            got += s.periodEnd(watched).isEmpty() ? '.' : '!';
        }
        QTEST(got, "reports");
    }

};

KORA_TEST(TestNodeWatches)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_nodewatches.moc"
