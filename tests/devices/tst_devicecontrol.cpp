// Single devices with a recording sender: where each operation's bytes go and from which
// socket, and which source an alarm's answer reaches.
#include "devices/devicecontrol.h"
#include "devicerecords.h"
#include "support/recordingsender.h"

#include "support/testmain.h"

using kora::devices::DeviceControl;
using devicerecords::file;
using devicerecords::signal;
using Op = std::function<void(DeviceControl &)>;
Q_DECLARE_METATYPE(Op)

class TestDeviceControl : public QObject
{
    Q_OBJECT

    struct Rig {
        Rig()
            : devices(sender, signalList, settings, [this] { return hosts; })
        {
            signalList = {signal("Seat A", "10.0.0.5-0", "fpga_arm"), signal("Seat B", "10.0.0.6-0", "x86")};
            settings.serverIp = QStringLiteral("10.0.0.1");
            settings.minSnap = QSize(256, 144);
            settings.maxSnap = QSize(640, 360);
            hosts = {{"10.0.0.40", "10.0.0.6", {file("1", "0", "films", 0, {file("11", "1", "a.mp4", 1)})}}};
        }
        RecordingSender sender;
        std::vector<kora::SignalRecord> signalList;
        kora::ControlSettings settings;
        QList<kora::devices::HostTree> hosts;
        DeviceControl devices;
    };

    static QString destination(const QString &line) { return line.mid(line.lastIndexOf(QLatin1String(" -> ")) + 4); }

private slots:
    // Each operation reaches the device its address names, at its port, from the right socket.
    void operationsGoWhereTheirDeviceListens_data()
    {
        columns<Op, QString>({"operation", "to"});
        QTest::newRow("kvm mouse, fpga seat") << Op([](DeviceControl &d) { d.kvmMouse("10.0.0.5-0", 1, 300, 2); }) << "10.0.0.5:41300";
        QTest::newRow("camera move") << Op([](DeviceControl &d) { d.cameraMove("cam1", 3); }) << "10.0.0.1:41235";
        QTest::newRow("marking") << Op([](DeviceControl &d) { d.markStroke("10.0.0.5-0", 1, 2, 4, "#0000ff"); }) << "10.0.0.5:12346";
        QTest::newRow("crop") << Op([](DeviceControl &d) { d.crop("10.0.0.6-1", 0, 0, 960, 540); }) << "10.0.0.6:12345";
        QTest::newRow("host tree, from the host socket") << Op([](DeviceControl &d) { d.requestHostTree("10.0.0.6-0"); })
                                                         << "host:10.0.0.40:3210";
        QTest::newRow("host playback") << Op([](DeviceControl &d) { d.controlHostFile(1, "11", "play", "10.0.0.40"); })
                                       << "host:10.0.0.40:3210";
    }
    void operationsGoWhereTheirDeviceListens()
    {
        QFETCH(Op, operation);
        Rig rig;
        operation(rig.devices);
        QCOMPARE(rig.sender.sent.size(), 1);
        const QString line = rig.sender.sent.first();
        const QString seen = (line.startsWith("host ") ? QStringLiteral("host:") : QString()) + destination(line);
        QTEST(seen, "to");
    }

    void nothingGoesOutWithoutAnAddress_data()
    {
        QTest::addColumn<Op>("operation");
        QTest::newRow("host tree of an unknown encoder") << Op([](DeviceControl &d) { d.requestHostTree("10.0.0.99"); });
        QTest::newRow("playback to no host") << Op([](DeviceControl &d) { d.controlHostFile(1, "11", "play", ""); });
        QTest::newRow("audio answer before any alarm") << Op([](DeviceControl &d) { d.answerAudioEvent("e1", true, 30); });
        QTest::newRow("camera without a controller") << Op([](DeviceControl &d) { d.cameraZoom("cam1", 1); });
    }
    void nothingGoesOutWithoutAnAddress()
    {
        QFETCH(Op, operation);
        Rig rig;
        rig.settings.serverIp.clear();
        operation(rig.devices);
        QCOMPARE(rig.sender.sent, QStringList());
    }

    // Each open audio alarm keeps its own requester, however many came in since; the oldest
    // beyond the cards the pages keep are forgotten.
    void eachAudioAlarmIsAnsweredToItsSource_data()
    {
        QTest::addColumn<int>("alarms"); // e0 … e(n-1), each from its own port
        QTest::addColumn<QString>("answered");
        QTest::addColumn<QString>("to"); // "" for nothing sent
        QTest::newRow("the older of two") << 2 << "e0" << "10.0.0.70:7000";
        QTest::newRow("the newer of two") << 2 << "e1" << "10.0.0.70:7001";
        QTest::newRow("the oldest of a flood, forgotten") << kora::devices::kMaxOpenAlarms + 1 << "e0" << "";
        QTest::newRow("the second oldest of a flood") << kora::devices::kMaxOpenAlarms + 1 << "e1" << "10.0.0.70:7001";
    }
    void eachAudioAlarmIsAnsweredToItsSource()
    {
        QFETCH(int, alarms);
        QFETCH(QString, answered);
        QFETCH(QString, to);
        Rig rig;
        for (int i = 0; i < alarms; ++i)
            rig.devices.handleEvent(QStringLiteral(R"({"request":"ActiveAudio","data":{"name":"Hall","eventID":"e%1","next_time":30}})")
                                        .arg(i).toUtf8(),
                                    QHostAddress(QStringLiteral("10.0.0.70")), quint16(7000 + i));
        rig.devices.answerAudioEvent(answered, true, 30);
        rig.devices.answerAudioEvent(answered, true, 30); // answered once only
        QCOMPARE(rig.sender.sent.size(), int(!to.isEmpty()));
        if (!to.isEmpty())
            QCOMPARE(destination(rig.sender.sent.first()), to);
    }
};

KORA_TEST(TestDeviceControl)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_devicecontrol.moc"
