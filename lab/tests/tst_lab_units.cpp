// The lab's fault plans: which download fragments go out first.
#include "engine.h"
#include "faults.h"

#include <QJsonArray>
#include <QtTest>
#include "support/table.h"

using namespace lab;

class TestLabUnits : public QObject
{
    Q_OBJECT
private slots:
    void faultOrder_data()
    {
        columns<QJsonObject, QString>({"faults", "expected"});
        QTest::newRow("none") << QJsonObject{} << "0,1,2,3,4,5,6,7,8,9";
        QTest::newRow("drop listed") << QJsonObject{{"dropFragments", QJsonArray{0, 4, 9}}} << "1,2,3,5,6,7,8";
        QTest::newRow("stop after 3") << QJsonObject{{"stopFile", "*"}, {"stopAfterFragments", 3}} << "0,1,2";
    }
    void faultOrder()
    {
        QFETCH(QJsonObject, faults);
        FaultPlan plan;
        QVERIFY(FaultPlan::fromJson(faults, plan, nullptr));
        const QVector<quint32> order = firstSendOrder(plan, "device.json", 10);
        QStringList text;
        for (quint32 n : order)
            text.append(QString::number(n));
        QTEST(text.join(','), "expected");
        QCOMPARE(firstSendOrder(plan, "device.json", 10), order); // replayable
    }
};

QTEST_GUILESS_MAIN(TestLabUnits)
#include "tst_lab_units.moc"
