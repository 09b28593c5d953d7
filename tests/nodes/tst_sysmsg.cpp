// The node status answer as a node sends it, and as hostile or broken senders do.
#include "nodes/sysmsg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
    void request()
    {
        const QJsonObject o = QJsonDocument::fromJson(statusRequest()).object();
        QCOMPARE(o, (QJsonObject{{"Function", "getLog"}, {"Type", "System"}, {"Value", QJsonObject{{"get_sys_msg", "echo"}}}}));
        QVERIFY(!statusRequest().contains(' ')); // compact
        QCOMPARE(nodePort(1), kDecoderPort);
        QCOMPARE(nodePort(0), kEncoderPort);
        QCOMPARE(nodePort(2), quint16(0));
        QCOMPARE(nodePort(-1), quint16(0));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full report") << QByteArray("[sys_msg]\nNetSpeed: 12.4Mbps\nCPU: 12.5%\nMemoryFree: 768M\n"
                                                   "MemoryUsed: 256M\nMemoryTotal: 1024M\nTemperature: 48\nRuningTime: 3d 04:05:06\n")
                                     << "12.5|25|48|12.4Mbps|3d 04:05:06|768|256|1024";
        QTest::newRow("units dropped whatever they are")
            << QByteArray("[sys_msg]\nCPU:7.25 \nMemoryUsed:300K\nMemoryTotal:600K") << "7.2|50|0|||0|300|600";
        QTest::newRow("no total gives mem 0") << QByteArray("[sys_msg]\nMemoryUsed: 256M\nMemoryFree: 10M") << "0|0|0|||10|256|0";
        QTest::newRow("zero total gives mem 0") << QByteArray("[sys_msg]\nMemoryUsed: 256M\nMemoryTotal: 0M") << "0|0|0|||0|256|0";
        QTest::newRow("total without unit loses its last digit")
            << QByteArray("[sys_msg]\nMemoryUsed: 5M\nMemoryTotal: 100") << "0|50|0|||0|5|10";
        QTest::newRow("temperature read whole, a unit makes it 0")
            << QByteArray("[sys_msg]\nTemperature: 48C") << "0|0|0|||0|0|0";
        QTest::newRow("unknown lines and lines without a colon ignored")
            << QByteArray("[sys_msg]\nFan: 3000rpm\nno colon here\n\n\nTemperature: 61\ncpu: 99%") << "0|0|61|||0|0|0";
        QTest::newRow("name is before the first colon, the value keeps the others")
            << QByteArray("[sys_msg]\nRuningTime:  00:10:59  \nNetSpeed: a:b") << "0|0|0|a:b|00:10:59|0|0|0";
        QTest::newRow("empty value") << QByteArray("[sys_msg]\nCPU:\nMemoryTotal:\nNetSpeed:") << "0|0|0|||0|0|0";
        QTest::newRow("later line wins") << QByteArray("[sys_msg]\nTemperature: 40\nTemperature: 41") << "0|0|41|||0|0|0";
        QTest::newRow("header alone") << QByteArray("[sys_msg]") << "0|0|0|||0|0|0";
        QTest::newRow("unreadable numbers stay 0")
            << QByteArray("[sys_msg]\nCPU: hot%\nMemoryUsed: lots\nTemperature: 99999999999") << "0|0|0|||0|0|0";
        QTest::newRow("non-finite cpu is 0") << QByteArray("[sys_msg]\nCPU: nan%\nMemoryTotal: inf%") << "0|0|0|||0|0|0";
        QTest::newRow("negative values read as sent")
            << QByteArray("[sys_msg]\nTemperature: -5\nMemoryUsed: -1M\nMemoryTotal: 4M") << "0|-25|-5|||0|-1|4";
        QTest::newRow("long texts are cut")
            << QByteArray("[sys_msg]\nNetSpeed: ") + QByteArray(500, 'x') << QStringLiteral("0|0|0|%1||0|0|0").arg(QString(kMaxText, 'x'));
        QTest::newRow("other first line") << QByteArray("[venc]\nCPU: 12.5%") << "none";
        QTest::newRow("header not first") << QByteArray("CPU: 12.5%\n[sys_msg]") << "none";
        QTest::newRow("header with a CR") << QByteArray("[sys_msg]\r\nCPU: 12.5%") << "none";
        QTest::newRow("header with a space") << QByteArray(" [sys_msg]\nCPU: 12.5%") << "none";
        QTest::newRow("empty datagram") << QByteArray() << "none";
        QTest::newRow("binary") << QByteArray("\0\xff\xfe[sys_msg]\n", 13) << "none";
    }
    void parse()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, expected);
        QCOMPARE(render(parseSysMsg(answer)), expected);
    }

    void map()
    {
        const std::optional<SysMsg> m =
            parseSysMsg("[sys_msg]\nCPU: 12.5%\nMemoryUsed: 1M\nMemoryTotal: 4M\nTemperature: 48\nNetSpeed: 1Mbps\nRuningTime: 5s");
        QVERIFY(m);
        const QVariantMap status = statusMap(*m);
        QCOMPARE(status.keys(), (QStringList{"cpu", "mem", "netSpeed", "runingTime", "temperature"}));
        QCOMPARE(status.value("cpu").toDouble(), 12.5);
        QCOMPARE(status.value("mem").toDouble(), 25.0);
        QCOMPARE(status.value("temperature").type(), QVariant::Int);
        QCOMPARE(status.value("temperature").toInt(), 48);
        QCOMPARE(status.value("netSpeed").toString(), QStringLiteral("1Mbps"));
        QCOMPARE(status.value("runingTime").toString(), QStringLiteral("5s"));
    }
};

QTEST_GUILESS_MAIN(TestSysMsg)
#include "tst_sysmsg.moc"
