// The node status answer as a node sends it, and as hostile or broken senders do.
#include "nodes/sysmsg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include "support/testmain.h"

using namespace kora::nodes;

namespace {

// cpu|mem|temperature|netSpeed|runingTime|free|used|total, or "none" when not read at all.
QString render(const std::optional<SysMsg> &m)
{
    if (!m)
        return QStringLiteral("none");
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
        .arg(QString::number(double(m->cpu), 'g', 6), QString::number(double(m->mem), 'g', 6))
        .arg(m->temperature)
        .arg(m->netSpeed, m->runingTime)
        .arg(m->memoryFree)
        .arg(m->memoryUsed)
        .arg(m->memoryTotal);
}

} // namespace

class TestSysMsg : public QObject
{
    Q_OBJECT
private slots:

    void parse_data()
    {
        columns<QByteArray, QString>({"answer", "expected"});
        QTest::newRow("full report") << QByteArray("[sys_msg]\nNetSpeed: 12.4Mbps\nCPU: 12.5%\nMemoryFree: 768M\n"
                                                   "MemoryUsed: 256M\nMemoryTotal: 1024M\nTemperature: 48\nRuningTime: 3d 04:05:06\n")
                                     << "12.5|25|48|12.4Mbps|3d 04:05:06|768|256|1024";
        QTest::newRow("no total gives mem 0") << QByteArray("[sys_msg]\nMemoryUsed: 256M\nMemoryFree: 10M") << "0|0|0|||10|256|0";
        QTest::newRow("total without unit loses its last digit")
            << QByteArray("[sys_msg]\nMemoryUsed: 5M\nMemoryTotal: 100") << "0|50|0|||0|5|10";
        QTest::newRow("temperature read whole, a unit makes it 0")
            << QByteArray("[sys_msg]\nTemperature: 48C") << "0|0|0|||0|0|0";
        QTest::newRow("unreadable numbers stay 0")
            << QByteArray("[sys_msg]\nCPU: hot%\nMemoryUsed: lots\nTemperature: 99999999999") << "0|0|0|||0|0|0";
        QTest::newRow("long texts are cut")
            << QByteArray("[sys_msg]\nNetSpeed: ") + QByteArray(500, 'x') << QStringLiteral("0|0|0|%1||0|0|0").arg(QString(kMaxText, 'x'));
        QTest::newRow("other first line") << QByteArray("[venc]\nCPU: 12.5%") << "none";
    }
    void parse()
    {
        QFETCH(QByteArray, answer);
        QTEST(render(parseSysMsg(answer)), "expected");
    }

};

KORA_TEST(TestSysMsg)
#include "tst_sysmsg.moc"
