// The lab's pure parts: journal lines, fault plans, scan replies, the download server, the
// alarms of the event source and the control command that holds an equipment level.
#include "engine.h"
#include "faults.h"
#include "journal.h"
#include "labconfig.h"
#include "peers/scannode.h"
#include "peers/services.h"
#include "peers/walls.h"
#include "devices/devicecommands.h"
#include "nodes/sysmsg.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "support/testfiles.h"

using namespace lab;

namespace {
PackageFile file(const QString &name, const QByteArray &bytes)
{
    return {name, QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()), bytes};
}
quint32 le32(const QByteArray &d, int at) { return qFromLittleEndian<quint32>(d.constData() + at); }
} // namespace

class TestLabUnits : public QObject
{
    Q_OBJECT
private slots:
    void journalLineIsOneJsonObject()
    {
        JournalEntry e{"host-node", "out", "udp", QHostAddress("10.77.1.10"), 41234, QHostAddress("10.77.1.1"), 54322,
                       QByteArray("{GetNodes2}\n\x01\xff", 14), QString()};
        const QByteArray line = journalLine(e, 7, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC), 512);
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1); // payload line feeds are escaped
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QCOMPARE(o.value("t").toString(), QStringLiteral("2026-01-02T03:04:05.006Z"));
        QCOMPARE(o.value("seq").toInt(), 7);
        QCOMPARE(o.value("peer").toString(), QStringLiteral("host-node"));
        QCOMPARE(o.value("src").toString(), QStringLiteral("10.77.1.10:41234"));
        QCOMPARE(o.value("dst").toString(), QStringLiteral("10.77.1.1:54322"));
        QCOMPARE(o.value("len").toInt(), 14);
        QCOMPARE(o.value("hex").toString(), QStringLiteral("7b4765744e6f646573327d0a01ff"));
        QCOMPARE(o.value("text").toString().left(11), QStringLiteral("{GetNodes2}"));
        QVERIFY(!o.contains("truncated"));

        e.payload = QByteArray(2000, 'a');
        const QJsonObject cut = QJsonDocument::fromJson(journalLine(e, 8, QDateTime::currentDateTimeUtc(), 100)).object();
        QCOMPARE(cut.value("len").toInt(), 2000);
        QCOMPARE(cut.value("hex").toString().size(), 200);
        QVERIFY(cut.value("truncated").toBool());
    }

    void faultOrder_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<QString>("expected"); // "" means: check invariants only
        QTest::newRow("none") << QJsonObject{} << "0,1,2,3,4,5,6,7,8,9";
        QTest::newRow("drop listed") << QJsonObject{{"dropFragments", QJsonArray{0, 4, 9}}} << "1,2,3,5,6,7,8";
        QTest::newRow("stop after 3") << QJsonObject{{"stopFile", "*"}, {"stopAfterFragments", 3}} << "0,1,2";
        QTest::newRow("stop another file") << QJsonObject{{"stopFile", "x.ds"}, {"stopAfterFragments", 3}} << "0,1,2,3,4,5,6,7,8,9";
        QTest::newRow("reorder") << QJsonObject{{"reorder", true}, {"seed", 5}} << "";
        QTest::newRow("duplicate all") << QJsonObject{{"duplicateFraction", 1.0}} << "0,0,1,1,2,2,3,3,4,4,5,5,6,6,7,7,8,8,9,9";
    }
    void faultOrder()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(QString, expected);
        FaultPlan plan;
        QVERIFY(FaultPlan::fromJson(faults, plan, nullptr));
        const QVector<quint32> order = firstSendOrder(plan, "device.json", 10);
        QStringList text;
        for (quint32 n : order)
            text.append(QString::number(n));
        if (!expected.isEmpty()) {
            QCOMPARE(text.join(','), expected);
        } else {
            QVector<quint32> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            QCOMPARE(sorted.size(), 10);
            for (int i = 0; i < 10; ++i)
                QCOMPARE(sorted[i], quint32(i));
            QVERIFY(order != sorted); // seed 5 does shuffle ten fragments
        }
        QCOMPARE(firstSendOrder(plan, "device.json", 10), order); // replayable
    }

    void laterSendsLoseOtherFragments()
    {
        FaultPlan plan;
        plan.dropFraction = 0.3;
        plan.dropFragments = {0};
        plan.seed = 9;
        const QVector<quint32> first = firstSendOrder(plan, "image.zip", 100, 0);
        const QVector<quint32> second = firstSendOrder(plan, "image.zip", 100, 1);
        QVERIFY(!first.contains(0));
        QVERIFY(first != second);
        QCOMPARE(firstSendOrder(plan, "image.zip", 100, 1), second); // still replayable
        plan.dropFraction = 0;
        QVERIFY(firstSendOrder(plan, "image.zip", 100, 1).contains(0)); // the named drops: first send only
    }

    void seededLossIsAboutTheFraction()
    {
        FaultPlan plan;
        plan.dropFraction = 0.05;
        plan.seed = 42;
        const int kept = firstSendOrder(plan, "image.zip", 10000).size();
        QVERIFY2(kept > 9350 && kept < 9650, qPrintable(QString::number(kept)));
    }

    void badFaultsAreRefused_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::newRow("unknown key") << QJsonObject{{"dropEverything", true}};
        QTest::newRow("fraction above one") << QJsonObject{{"dropFraction", 1.5}};
        QTest::newRow("negative fragment") << QJsonObject{{"dropFragments", QJsonArray{-1}}};
        QTest::newRow("malformed kind") << QJsonObject{{"malformed", "sideways"}};
        QTest::newRow("delay too long") << QJsonObject{{"delayMs", 999999}};
        QTest::newRow("inbound fraction above one") << QJsonObject{{"inDropFraction", 2}};
        QTest::newRow("inbound port zero") << QJsonObject{{"inDropPorts", QJsonArray{0}}};
        QTest::newRow("inbound port not a number") << QJsonObject{{"inDropPorts", QJsonArray{"5000"}}};
    }
    void badFaultsAreRefused()
    {
        QFETCH(QJsonObject, faults);
        FaultPlan plan;
        QString error;
        QVERIFY(!FaultPlan::fromJson(faults, plan, &error));
        QVERIFY(!error.isEmpty());
    }

    void inboundLoss_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("lowest"); // of 10000 datagrams lost
        QTest::addColumn<int>("highest");
        QTest::newRow("off") << QJsonObject{} << 5000 << 0 << 0;
        QTest::newRow("5% on every port") << QJsonObject{{"inDropFraction", 0.05}, {"seed", 3}} << 41234 << 400 << 600;
        QTest::newRow("5% on the listed port") << QJsonObject{{"inDropFraction", 0.05}, {"inDropPorts", QJsonArray{5000}}} << 5000 << 400 << 600;
        QTest::newRow("another port") << QJsonObject{{"inDropFraction", 0.05}, {"inDropPorts", QJsonArray{5000}}} << 41234 << 0 << 0;
        QTest::newRow("all") << QJsonObject{{"inDropFraction", 1}} << 1 << 10000 << 10000;
    }
    void inboundLoss()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(int, port);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        FaultPlan plan;
        QVERIFY(FaultPlan::fromJson(faults, plan, nullptr));
        auto series = [&plan, port](InboundLoss &loss) {
            QVector<int> lost;
            for (int i = 0; i < 10000; ++i) {
                if (loss.drops(plan, quint16(port)))
                    lost.append(i);
            }
            return lost;
        };
        InboundLoss loss;
        const QVector<int> lost = series(loss);
        QVERIFY2(lost.size() >= lowest && lost.size() <= highest, qPrintable(QString::number(lost.size())));
        InboundLoss again;
        QCOMPARE(series(again), lost); // replayable
        ++plan.generation;
        QCOMPARE(series(loss), lost); // a new plan starts its series afresh
    }

    void alarmsAreWhatClientsRead()
    {
        using kora::devices::EventMessage;
        using kora::devices::parseEvent;
        const EventMessage audio = parseEvent(EventSourcePeer::alarm(
            "ActiveAudio", QJsonObject{{"name", "Hall noise"}, {"eventID", "7"}, {"next_time", 30}}, false));
        QCOMPARE(audio.kind, EventMessage::Kind::AudioRequest);
        QCOMPARE(audio.name, QStringLiteral("Hall noise"));
        QCOMPARE(audio.eventId, QStringLiteral("7"));
        QCOMPARE(audio.nextTime, 30);
        const EventMessage input = parseEvent(
            EventSourcePeer::alarm("ActiveInput", QJsonObject{{"src_ip", "10.77.1.31"}, {"next_time", 5}}, false));
        QCOMPARE(input.kind, EventMessage::Kind::InputRequest);
        QCOMPARE(input.srcIp, QStringLiteral("10.77.1.31"));
        QCOMPARE(input.nextTime, 5);
        const EventMessage over = parseEvent(EventSourcePeer::alarm("ActiveInput", QJsonObject{{"src_ip", "10.77.1.31"}}, true));
        QCOMPARE(over.kind, EventMessage::Kind::Response);
        QCOMPARE(over.response, QStringLiteral("ActiveInput"));
        QVERIFY(EventSourcePeer::alarm("ActiveFire", QJsonObject{}, false).isEmpty());
    }

    void scanReplies()
    {
        FaultPlan plan;
        const QList<PackageFile> files{file("lumora.ds", "{}"), file("device.json", "[]")};
        QCOMPARE(composeScanReply("1", "lumora", files, plan),
                 QByteArray("{GetNodes2;1;KORA-LAB;1.0;lumora;lumora.ds 99914b932bd37a50b983c5e7c90ae93b,"
                            "device.json d751713988987e9331980363e24189ce}"));
        QCOMPARE(composeScanReply("2", QString(), {}, plan), QByteArray("{GetNodes2;2;KORA-LAB;1.0;null}"));
        const QList<PackageFile> older{{"pic.dat", "00", "x"}, {"config_host.cfg", "0123456789abcdef0123456789abcdef", "y"}};
        QCOMPARE(composeScanReply("1", "lumora", older, plan), QByteArray("{GetNodes;1;1,01234567}"));
        plan.corruptMd5 = "device.json";
        const QByteArray corrupt = composeScanReply("1", "lumora", files, plan);
        QVERIFY(corrupt.contains("lumora.ds 99914b932bd37a50b983c5e7c90ae93b"));
        QVERIFY(corrupt.contains("device.json 00000000000000000000000000000000"));
    }

    void downloadServesFragmentsAndGaps()
    {
        FaultPlan plan;
        plan.dropFragments = {1};
        QByteArray bytes;
        for (int i = 0; i < 25; ++i)
            bytes.append(char('a' + i));
        ScanNodePeer host("host-node", QHostAddress("10.77.1.10"), "1", "lumora", {file("device.json", bytes)}, 10, plan);
        Datagram in{"{DownloadFile;1;device.json;10.77.1.1,54322,7000,1000}", QHostAddress("10.77.1.1"), 41234,
                    QHostAddress("224.168.1.1"), 41234};
        QList<Outgoing> out = host.handle(in);
        QCOMPARE(out.size(), 2); // fragment 1 of 3 dropped on the first send
        for (const Outgoing &o : out) {
            QCOMPARE(o.to, QHostAddress("10.77.1.1"));
            QCOMPARE(o.port, quint16(54322));
            QVERIFY(o.bulk);
            QCOMPARE(le32(o.data, 0), 3u);
        }
        QCOMPARE(le32(out[0].data, 4), 0u);
        QCOMPARE(out[0].data.mid(8), QByteArray("abcdefghij"));
        QCOMPARE(le32(out[1].data, 4), 2u);
        QCOMPARE(out[1].data.mid(8), QByteArray("uvwxy"));

        in.data = "{DownloadFile;1;device.json;10.77.1.1,54322,7000,1000;1,7,1,x}";
        out = host.handle(in);
        QCOMPARE(out.size(), 1); // out of range, repeated and non-numbers are ignored
        QCOMPARE(le32(out[0].data, 4), 1u);
        QCOMPARE(out[0].data.mid(8), QByteArray("klmnopqrst"));
    }

    void scanNodeIgnoresNonsense_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no braces") << QByteArray("GetNodes2");
        QTest::newRow("unknown command") << QByteArray("{Reboot}");
        QTest::newRow("unknown file") << QByteArray("{DownloadFile;1;nothere;10.77.1.1,54322,7000,1000}");
        QTest::newRow("bad client address") << QByteArray("{DownloadFile;1;a.ds;nowhere,54322,7000,1000}");
        QTest::newRow("bad port") << QByteArray("{DownloadFile;1;a.ds;10.77.1.1,99999,7000,1000}");
        QTest::newRow("too many fields") << QByteArray("{DownloadFile;1;a.ds;10.77.1.1,54322;1;2}");
        QTest::newRow("garbage") << QByteArray(65000, '\xff');
    }
    void scanNodeIgnoresNonsense()
    {
        QFETCH(QByteArray, data);
        FaultPlan plan;
        ScanNodePeer host("host-node", QHostAddress("10.77.1.10"), "1", "lumora", {file("a.ds", "{}")}, 10, plan);
        QVERIFY(host.handle({data, QHostAddress("10.77.1.1"), 41234, QHostAddress("10.77.1.10"), 41234}).isEmpty());
    }

    void emptyFileIsOneEmptyFragment()
    {
        FaultPlan plan;
        ScanNodePeer host("host-node", QHostAddress("10.77.1.10"), "1", "p", {file("empty.txt", QByteArray())}, 10, plan);
        const QList<Outgoing> out = host.handle({"{DownloadFile;1;empty.txt;10.77.1.1,54322,7000,1000}",
                                                 QHostAddress("10.77.1.1"), 41234, QHostAddress(), 41234});
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].data, QByteArray::fromHex("0100000000000000"));
    }

    void packageFromManifestOrFolder()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a.ds"), "{}");
        writeFile(dir.filePath("b.json"), "[]");
        QList<PackageFile> files;
        QVERIFY(loadPackage(dir.path(), files, nullptr));
        QCOMPARE(files.size(), 2);
        writeFile(dir.filePath("files.txt"), "b.json d751713988987e9331980363e24189ce\n");
        QVERIFY(loadPackage(dir.path(), files, nullptr));
        QCOMPARE(files.size(), 1);
        QCOMPARE(files[0].name, QStringLiteral("b.json"));
        QString error;
        QVERIFY(!loadPackage(dir.filePath("missing"), files, &error));
        QVERIFY(!error.isEmpty());
    }

    void hostServiceAndDiscovery()
    {
        HostServicePeer service(QHostAddress("10.77.1.6"), "kvm-1");
        QList<Outgoing> out = service.handle({R"({"request":"GetDevStructureTree"})", QHostAddress("10.77.1.1"), 50000, QHostAddress("10.77.1.6"), 3210});
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].port, quint16(50000));
        const QJsonObject tree = QJsonDocument::fromJson(out[0].data).object();
        QCOMPARE(tree.value("response").toString(), QStringLiteral("GetDevStructureTree"));
        QCOMPARE(tree.value("code").toString(), QStringLiteral("0"));
        QVERIFY(tree.value("data").toArray().size() >= 3);
        QVERIFY(service.handle({"not json", QHostAddress("10.77.1.1"), 50000, QHostAddress(), 3210}).isEmpty());

        DiscoveryPeer discovery(QHostAddress("10.77.1.7"));
        out = discovery.handle({R"({"mx":1,"st":"urn:vxr:sw:korav2","type":"search"})", QHostAddress("10.77.1.1"), 40000, QHostAddress("239.255.255.250"), 1901});
        QCOMPARE(out.size(), 1);
        const QJsonObject answer = QJsonDocument::fromJson(out[0].data).object();
        QCOMPARE(answer.value("type").toString(), QStringLiteral("rsearch"));
        QVERIFY(answer.value("usn").toString().startsWith("uuid:"));
        QVERIFY(answer.value("usn").toString().endsWith("::urn:vxr:sw:korav2"));
        QVERIFY(discovery.handle({R"({"mx":1,"st":"urn:other","type":"search"})", QHostAddress("10.77.1.1"), 40000, QHostAddress(), 1901}).isEmpty());
    }

    // The encoder's report follows the crop and overlay commands; values of the wrong kind
    // and unknown keys change nothing.
    void encoderReportFollowsCropAndOverlay()
    {
        EncoderPeer encoder(30, QHostAddress("10.77.1.30"));
        const auto send = [&encoder](const QByteArray &function, const QByteArray &value) {
            return encoder.handle({R"({"Type":"System","Function":")" + function + R"(","Value":)" + value + "}",
                                   QHostAddress("10.77.1.1"), 41234, QHostAddress("10.77.1.30"), 12345});
        };
        const auto lines = [&send] { return send("getSystemMsg", R"({"get_venc_config":"echo"})").value(0).data.split('\n'); };
        QVERIFY(lines().contains("kChn0_VI_Crop_Enable=0"));
        QVERIFY(send("setViCrop", R"({"channel":"chn0","crop_x":100,"crop_y":50,"crop_w":800,"crop_h":"600","vi_crop_enable":1,"other":7})").isEmpty());
        QVERIFY(send("setOsd", R"({"channel":"chn0","osd_enable":1,"osd_name":"Desk 1","osd_x":16,"osd_y":8,"osd_size":24,"osd_mode":0})").isEmpty());
        const QList<QByteArray> report = lines();
        for (const char *line : {"kChn0_VI_W=1920", "kChn0_VI_H=1080", "kChn0_VI_X=100", "kChn0_VI_Y=50", "kChn0_VI_Width=800",
                                 "kChn0_VI_Height=1080", "kChn0_VI_Crop_Enable=1", "kChn0_Osd_Enable=1",
                                 "kChn0_Osd_Name=Desk 1", "kChn0_Osd_X=16", "kChn0_Osd_Y=8", "kChn0_Osd_Size=24"})
            QVERIFY2(report.contains(line), line);
        QVERIFY(!report.join().contains("other"));
    }

    // Level requests of the designed equipment: hex and text layouts, to the asker or to the
    // level group; the priming reset and other frames get no answer.
    void equipmentAnswersLevels_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QByteArray>("answer"); // "LL HH" / "%1" stand for the level
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("port");
        const QString asker = QStringLiteral("10.77.1.1");
        QTest::newRow("hex to the asker") << QByteArray::fromHex("aa551001cc") << 1 << QByteArray::fromHex("aa559001") << asker << 9010;
        QTest::newRow("hex to the group") << QByteArray::fromHex("aa551102cc") << 2 << QByteArray::fromHex("aa559002") << "239.77.8.1" << 9012;
        QTest::newRow("text level") << QByteArray("{GetLevel;3}") << 3 << QByteArray("{Level;3;%1}") << asker << 9010;
        QTest::newRow("audio data query") << QByteArray("{GetAoData;1;4}") << 4 << QByteArray("{AoData;4;%1}") << asker << 9010;
        QTest::newRow("audio data reset") << QByteArray("{GetAoData;0;4}") << 4 << QByteArray() << QString() << 0;
        QTest::newRow("projector frame") << QByteArray::fromHex("aa5501010001cc") << 0 << QByteArray() << QString() << 0;
        QTest::newRow("hex without its end") << QByteArray::fromHex("aa551001cd") << 1 << QByteArray() << QString() << 0;
        QTest::newRow("text channel not a number") << QByteArray("{GetLevel;x}") << 0 << QByteArray() << QString() << 0;
        QTest::newRow("text without braces") << QByteArray("GetLevel;1") << 1 << QByteArray() << QString() << 0;
    }
    void equipmentAnswersLevels()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, channel);
        QFETCH(QByteArray, answer);
        QFETCH(QString, to);
        QFETCH(int, port);
        EquipmentPeer equipment(QHostAddress("10.77.1.8"), {9000});
        const Datagram in{request, QHostAddress("10.77.1.1"), 9010, QHostAddress("10.77.1.8"), 9000};
        const QList<Outgoing> first = equipment.handle(in);
        if (answer.isEmpty()) {
            QVERIFY(first.isEmpty());
            return;
        }
        const QList<Outgoing> second = equipment.handle(in);
        QCOMPARE(first.size(), 1);
        QCOMPARE(second.size(), 1);
        QCOMPARE(first[0].to, QHostAddress(to));
        QCOMPARE(int(first[0].port), port);
        // Each answer is one step further: the value moves.
        for (int step = 0; step < 2; ++step) {
            const double level = EquipmentPeer::level(channel, quint64(step));
            const QByteArray &got = (step ? second : first)[0].data;
            if (request.startsWith('{')) {
                QCOMPARE(got, QString::fromLatin1(answer).arg(level, 0, 'f', 1).toLatin1());
            } else {
                const quint16 v = quint16(qint16(qRound(level)));
                QCOMPARE(got.toHex(), (answer + char(v & 0xff) + char(v >> 8) + '\xcc').toHex());
            }
        }
        QVERIFY(first[0].data != second[0].data);
    }

    void equipmentLevelsStayInRange()
    {
        for (int channel = 0; channel < 4; ++channel) {
            for (quint64 step = 0; step < 700; ++step) {
                const double level = EquipmentPeer::level(channel, step);
                QVERIFY(level <= 0 && level >= -59.9);
            }
        }
    }

    // The "level" control command holds a channel of the designed equipment still, so a test
    // can predict what a level docker draws; "dB": null lets it move on. Commands the lab
    // cannot carry out are refused and change nothing.
    void equipmentHoldsLevels_data()
    {
        QTest::addColumn<QByteArray>("commands"); // a JSON array, to the control handler in order
        QTest::addColumn<bool>("accepted");       // the last command's answer
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer"); // both of two answers; empty: the level moves
        const QByteArray hex1 = QByteArray::fromHex("aa551001cc");
        QTest::newRow("held at -6 dB, hex") << QByteArray(R"([{"cmd":"level","channel":1,"dB":-6}])") << true << hex1
                                            << QByteArray::fromHex("aa559001faffcc");
        QTest::newRow("held at -54 dB, hex to the group")
            << QByteArray(R"([{"cmd":"level","channel":2,"dB":-54}])") << true << QByteArray::fromHex("aa551102cc")
            << QByteArray::fromHex("aa559002caffcc");
        QTest::newRow("held at a positive level") << QByteArray(R"([{"cmd":"level","channel":1,"dB":3}])") << true << hex1
                                                  << QByteArray::fromHex("aa5590010300cc");
        QTest::newRow("held with a decimal, text")
            << QByteArray(R"([{"cmd":"level","channel":3,"dB":-12.7}])") << true << QByteArray("{GetLevel;3}")
            << QByteArray("{Level;3;-12.7}");
        QTest::newRow("another channel moves")
            << QByteArray(R"([{"cmd":"level","channel":2,"dB":-6}])") << true << hex1 << QByteArray();
        QTest::newRow("held, then released")
            << QByteArray(R"([{"cmd":"level","channel":1,"dB":-6},{"cmd":"level","channel":1,"dB":null}])") << true
            << hex1 << QByteArray();
        QTest::newRow("held again: the latest level")
            << QByteArray(R"([{"cmd":"level","channel":1,"dB":-6},{"cmd":"level","channel":1,"dB":-30}])") << true
            << hex1 << QByteArray::fromHex("aa559001e2ffcc");
        for (const char *bad : {R"({"cmd":"level","channel":1})", R"({"cmd":"level","channel":"1","dB":-6})",
                                R"({"cmd":"level","channel":1.5,"dB":-6})", R"({"cmd":"level","channel":256,"dB":-6})",
                                R"({"cmd":"level","dB":-6})", R"({"cmd":"level","channel":1,"dB":"-6"})",
                                R"({"cmd":"level","channel":1,"dB":40000})"})
            QTest::addRow("refused: %s", bad) << (QByteArray("[") + bad + "]") << false << hex1 << QByteArray();
    }
    void equipmentHoldsLevels()
    {
        QFETCH(QByteArray, commands);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        Journal journal{QString()};
        Engine engine(LabConfig(), journal);
        auto owned = std::make_unique<EquipmentPeer>(QHostAddress("10.77.1.8"), QList<quint16>{9000});
        EquipmentPeer *equipment = owned.get();
        engine.addPeer(std::move(owned));
        QJsonObject last;
        for (const QJsonValue &command : QJsonDocument::fromJson(commands).array())
            last = engine.control(command.toObject());
        QCOMPARE(last.value("ok").toBool(), accepted);

        const Datagram in{request, QHostAddress("10.77.1.1"), 9010, QHostAddress("10.77.1.8"), 9000};
        const QList<Outgoing> first = equipment->handle(in);
        const QList<Outgoing> second = equipment->handle(in);
        QCOMPARE(first.size(), 1);
        QCOMPARE(second.size(), 1);
        if (answer.isEmpty()) {
            QVERIFY(first[0].data != second[0].data);
        } else {
            QCOMPARE(first[0].data.toHex(), answer.toHex());
            QCOMPARE(second[0].data.toHex(), answer.toHex());
        }
    }

    // Decoders (41234) and encoders (12345) answer the client's own status request on their
    // own address, with reports the client reads and whose values move.
    void nodesAnswerStatusRequests_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("answered");
        const QByteArray request = kora::nodes::statusRequest();
        for (const char *peer : {"decoder", "encoder"}) {
            const QString p = peer;
            QTest::addRow("%s: the client's request", peer) << p << request << "own" << true;
            QTest::addRow("%s: keys in another order", peer)
                << p << QByteArray(R"({"Value":{"get_sys_msg":"echo"},"Type":"System","Function":"getLog"})") << "own" << true;
            QTest::addRow("%s: through the wall group", peer) << p << request << "224.168.1.1" << false;
            QTest::addRow("%s: another log", peer)
                << p << QByteArray(R"({"Function":"getLog","Type":"Run","Value":{"get_sys_msg":"echo"}})") << "own" << false;
            QTest::addRow("%s: no value", peer) << p << QByteArray(R"({"Function":"getLog","Type":"System"})") << "own" << false;
            QTest::addRow("%s: not JSON", peer) << p << QByteArray(R"({"Function":"getLog")") << "own" << false;
        }
    }
    void nodesAnswerStatusRequests()
    {
        QFETCH(QString, peer);
        QFETCH(QByteArray, request);
        QFETCH(QString, to);
        QFETCH(bool, answered);
        const QHostAddress self(peer == "decoder" ? "10.77.1.20" : "10.77.1.30");
        WallSystem walls({WallConfig{"1", {QHostAddress("10.77.1.20")}}});
        DecoderPeer decoder(walls, self);
        EncoderPeer encoder(1, self);
        Peer &node = peer == "decoder" ? static_cast<Peer &>(decoder) : encoder;
        const quint16 port = peer == "decoder" ? kora::nodes::kDecoderPort : kora::nodes::kEncoderPort;
        const QHostAddress destination = to == "own" ? self : QHostAddress(to);
        const auto ask = [&](qint64 ms) {
            Datagram in{request, QHostAddress("10.77.1.1"), 50123, destination, port, ms};
            return node.handle(in);
        };
        const QList<Outgoing> first = ask(1000);
        QCOMPARE(first.size(), answered ? 1 : 0);
        if (!answered)
            return;
        QCOMPARE(first[0].to, QHostAddress("10.77.1.1"));
        QCOMPARE(first[0].port, quint16(50123));
        const auto a = kora::nodes::parseSysMsg(first[0].data);
        const auto b = kora::nodes::parseSysMsg(ask(6000).value(0).data);
        QVERIFY(a && b);
        QVERIFY(a->cpu > 0 && a->cpu <= 100);
        QCOMPARE(a->memoryTotal, a->memoryFree + a->memoryUsed);
        QVERIFY(a->mem > 0 && a->mem < 100);
        QVERIFY(a->temperature >= 40 && a->temperature < 70);
        QVERIFY(!a->netSpeed.isEmpty());
        // The values move, and the running time goes on with the lab's clock.
        QVERIFY(a->cpu != b->cpu && a->memoryUsed != b->memoryUsed && a->temperature != b->temperature && a->netSpeed != b->netSpeed);
        QCOMPARE(a->runingTime.right(2).toInt() + 5, b->runingTime.right(2).toInt());
    }

    void configFile()
    {
        LabConfig c;
        QString error;
        QVERIFY(LabConfig::fromJson(QJsonDocument::fromJson(R"({"net":"10.77.9","encoderCount":3,"walls":[{"id":"7","nodes":[40,41]}]})").object(), c, &error));
        QCOMPARE(c.address(c.hostNode), QHostAddress("10.77.9.10"));
        QCOMPARE(c.wallConfigs().size(), 1);
        QCOMPARE(c.wallConfigs()[0].nodes.size(), 2);
        QVERIFY(c.allHosts().contains(32));
        QVERIFY(!LabConfig::fromJson(QJsonDocument::fromJson(R"({"hostnode":10})").object(), c, &error));
        QVERIFY(error.contains("hostnode"));
        QVERIFY(!LabConfig::fromJson(QJsonDocument::fromJson(R"({"hostNode":300})").object(), c, &error));
    }
};

QTEST_GUILESS_MAIN(TestLabUnits)
#include "tst_lab_units.moc"
