// Single devices with a recording sender: where each operation's bytes go and from which
// socket, and how alarm datagrams become signals and answers. What each composer returns
// byte for byte is tst_devicecommands' business.
#include "devices/devicecontrol.h"
#include "support/recordingsender.h"

#include <QSignalSpy>
#include <QtTest>

using kora::devices::DeviceControl;
Q_DECLARE_METATYPE(std::function<void(DeviceControl &)>)

namespace {
kora::SignalRecord signal(const QString &name, const QString &ip, const QString &platform)
{
    kora::SignalRecord s;
    s.name = name;
    s.ip = ip;
    s.platform = platform;
    return s;
}

kora::commands::FileInfo node(const QString &id, const QString &name, int type, QList<kora::commands::FileInfo> children = {})
{
    kora::commands::FileInfo f;
    f.id = id;
    f.name = name;
    f.type = type;
    f.children = std::move(children);
    return f;
}
} // namespace

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
            hosts = {{"10.0.0.40", "10.0.0.6", {node("1", "films", 0, {node("11", "a.mp4", 1)})}}};
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
        QTest::addColumn<std::function<void(DeviceControl &)>>("operation");
        QTest::addColumn<QString>("to");
        using Op = std::function<void(DeviceControl &)>;
        QTest::newRow("kvm mouse, fpga seat") << Op([](DeviceControl &d) { d.kvmMouse("10.0.0.5-0", 1, 300, 2); }) << "10.0.0.5:41300";
        QTest::newRow("kvm key, fpga seat") << Op([](DeviceControl &d) { d.kvmKey("10.0.0.5-0", Qt::Key_A, 0); }) << "10.0.0.5:2710";
        QTest::newRow("kvm release, other seat") << Op([](DeviceControl &d) { d.kvmKeyReleased("10.0.0.6-0"); }) << "10.0.0.6:80";
        QTest::newRow("kvm, unknown seat") << Op([](DeviceControl &d) { d.kvmMouse("10.0.0.9", 0, 1, 1); }) << "10.0.0.9:80";
        QTest::newRow("camera move") << Op([](DeviceControl &d) { d.cameraMove("cam1", 3); }) << "10.0.0.1:41235";
        QTest::newRow("camera preset") << Op([](DeviceControl &d) { d.cameraPreset("cam1", "door", 1); }) << "10.0.0.1:41235";
        QTest::newRow("marking") << Op([](DeviceControl &d) { d.markStroke("10.0.0.5-0", 1, 2, 4, "#0000ff"); }) << "10.0.0.5:12346";
        QTest::newRow("crop") << Op([](DeviceControl &d) { d.crop("10.0.0.6-1", 0, 0, 960, 540); }) << "10.0.0.6:12345";
        QTest::newRow("snapshot size") << Op([](DeviceControl &d) { d.snapshotSize("10.0.0.6-1", 1); }) << "10.0.0.6:12345";
        QTest::newRow("configuration") << Op([](DeviceControl &d) { d.queryConfig("10.0.0.6"); }) << "10.0.0.6:12345";
        QTest::newRow("host tree, from the host socket") << Op([](DeviceControl &d) { d.requestHostTree("10.0.0.6-0"); })
                                                         << "host:10.0.0.40:3210";
        QTest::newRow("host playback") << Op([](DeviceControl &d) { d.controlHostFile(1, "11", "play", "10.0.0.40"); })
                                       << "host:10.0.0.40:3210";
    }
    void operationsGoWhereTheirDeviceListens()
    {
        QFETCH(std::function<void(DeviceControl &)>, operation);
        QFETCH(QString, to);
        Rig rig;
        operation(rig.devices);
        QCOMPARE(rig.sender.sent.size(), 1);
        const QString line = rig.sender.sent.first();
        const QString seen = (line.startsWith("host ") ? QStringLiteral("host:") : QString()) + destination(line);
        QCOMPARE(seen, to);
    }

    void nothingGoesOutWithoutAnAddress_data()
    {
        QTest::addColumn<std::function<void(DeviceControl &)>>("operation");
        using Op = std::function<void(DeviceControl &)>;
        QTest::newRow("kvm to a name") << Op([](DeviceControl &d) { d.kvmMouse("seat", 1, 1, 1); });
        QTest::newRow("marking to nothing") << Op([](DeviceControl &d) { d.markStart(""); });
        QTest::newRow("host tree of an unknown encoder") << Op([](DeviceControl &d) { d.requestHostTree("10.0.0.99"); });
        QTest::newRow("playback to no host") << Op([](DeviceControl &d) { d.controlHostFile(1, "11", "play", ""); });
        QTest::newRow("audio answer before any alarm") << Op([](DeviceControl &d) { d.answerAudioEvent("e1", true, 30); });
        QTest::newRow("camera without a controller") << Op([](DeviceControl &d) { d.cameraZoom("cam1", 1); });
    }
    void nothingGoesOutWithoutAnAddress()
    {
        QFETCH(std::function<void(DeviceControl &)>, operation);
        Rig rig;
        rig.settings.serverIp.clear();
        operation(rig.devices);
        QCOMPARE(rig.sender.sent, QStringList());
    }

    void theHostTreeIsBrowsedByEncoder()
    {
        Rig rig;
        QCOMPARE(rig.devices.hostAddress("10.0.0.6-1"), QStringLiteral("10.0.0.40"));
        QCOMPARE(rig.devices.hostAddress("10.0.0.5"), QString());
        const QJsonArray root = rig.devices.hostFiles("10.0.0.6", "0");
        QCOMPARE(root.size(), 2);
        QCOMPARE(root.at(1).toObject().value("name").toString(), QStringLiteral("films"));
        const QJsonArray films = rig.devices.hostFiles("10.0.0.6", "1");
        QCOMPARE(films.size(), 2);
        QCOMPARE(films.at(0).toObject().value("name").toString(), QStringLiteral("films:"));
        QCOMPARE(films.at(1).toObject().value("id").toString(), QStringLiteral("11"));
    }

    // An audio alarm is answered to whoever raised it, even after other clients' answers and
    // input alarms arrived from elsewhere; an input alarm names its signal and is answered to
    // the group and to its source.
    void alarmsBecomeSignalsAndAnswersGoBack()
    {
        Rig rig;
        QSignalSpy audio(&rig.devices, &DeviceControl::audioEvent);
        QSignalSpy video(&rig.devices, &DeviceControl::videoEvent);
        QSignalSpy over(&rig.devices, &DeviceControl::eventOver);
        const QHostAddress source(QStringLiteral("10.0.0.70"));
        rig.devices.handleEvent(R"({"request":"ActiveAudio","data":{"name":"Hall","eventID":"e1","next_time":30}})", source, 5555);
        rig.devices.handleEvent(R"({"response":"ActiveInput","code":"0","msg":"ok","data":{}})", QHostAddress("10.0.0.71"), 41237);
        rig.devices.handleEvent(R"({"request":"ActiveInput","data":{"src_ip":"10.0.0.6","next_time":10}})", QHostAddress("10.0.0.72"), 6000);
        rig.devices.handleEvent(R"({"request":"ActiveInput","data":{"src_ip":"10.0.0.99","next_time":10}})", source, 5555);
        rig.devices.handleEvent("not json", source, 5555);

        QCOMPARE(audio.size(), 1);
        QCOMPARE(audio.first(), (QList<QVariant>{"Hall", "e1", 30}));
        QCOMPARE(over.size(), 1);
        QCOMPARE(over.first().first().toString(), QStringLiteral("ActiveInput"));
        QCOMPARE(video.size(), 1); // the unknown source raises nothing
        QCOMPARE(video.first(), (QList<QVariant>{"Seat B", 10, "10.0.0.72", 6000, "10.0.0.6"}));

        rig.devices.answerAudioEvent("e1", true, 30);
        rig.devices.answerInputEvent("10.0.0.6", 10, "10.0.0.72", 6000);
        QCOMPARE(rig.sender.sent.size(), 3);
        QVERIFY(rig.sender.sent.at(0).startsWith("event "));
        QCOMPARE(destination(rig.sender.sent.at(0)), QStringLiteral("10.0.0.70:5555"));
        QCOMPARE(destination(rig.sender.sent.at(1)), QStringLiteral("224.169.1.1:41237"));
        QCOMPARE(destination(rig.sender.sent.at(2)), QStringLiteral("10.0.0.72:6000"));
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

QTEST_GUILESS_MAIN(TestDeviceControl)
#include "tst_devicecontrol.moc"
