// The device commands without sockets: KVM packets and their ports, camera, marking and
// encoder texts, the host file tree a page browses, and the alarm events from the network.
#include "devices/devicecommands.h"

#include <QJsonDocument>
#include <QtTest>

using namespace kora;
using namespace kora::devices;
using Kind = EventMessage::Kind;

Q_DECLARE_METATYPE(Kind)

namespace {

// "software=" and then the bytes written in hex ("57 AB 04 ...").
QByteArray kvm(const char *hex)
{
    return QByteArray("software=") + QByteArray::fromHex(hex);
}

QString render(const link::Destinations &to)
{
    QStringList out;
    for (const link::Destination &d : to)
        out << d.address.toString() + ':' + QString::number(d.port);
    return out.join(' ');
}

// "hex after 'software=' -> address:port"; a packet without that head shows in full.
QString render(const Datagram &d)
{
    const QByteArray head("software=");
    const QByteArray body = d.data.startsWith(head) ? d.data.mid(head.size()) : d.data;
    return QString::fromLatin1(body.toHex(' ')) + " -> " + render(d.to);
}

SignalRecord signal(const QString &name, const QString &ip, const QString &platform)
{
    SignalRecord s;
    s.name = name;
    s.ip = ip;
    s.platform = platform;
    return s;
}

// .7 is an "fpga_arm" seat with a second input listed later under another platform; .8 is
// listed only with a suffix.
const std::vector<SignalRecord> kSignals{
    signal("seat A", "10.0.0.7", "fpga_arm"),
    signal("seat B", "10.0.0.8-0", "hi3531"),
    signal("seat A input 1", "10.0.0.7-1", "hi3531"),
    signal("camera", "10.0.0.9-IPC", ""),
    signal("upper case", "10.0.0.10", "FPGA_ARM"),
};

commands::FileInfo file(const QString &id, const QString &pid, const QString &name, int type,
                        const QList<commands::FileInfo> &children = {})
{
    commands::FileInfo f;
    f.id = id;
    f.pid = pid;
    f.name = name;
    f.type = type;
    f.children = children;
    return f;
}

// Host .50 shows on encoder .7: C:\{Windows\{x}, Users\{Public}} and D:\, with the id "x" also
// a root further on; host .51 on .8 has no tree yet; host .52 also claims .7 but comes second.
QList<HostTree> hosts()
{
    const QList<commands::FileInfo> tree{
        file("1", "0", "C", 1,
             {file("11", "1", "Windows", 1, {file("x", "11", "deep x", 2)}),
              file("12", "1", "Users", 1, {file("121", "12", "Public", 2)})}),
        file("2", "0", "D", 1),
        file("x", "0", "root x", 3),
    };
    return {{"10.0.0.50", "10.0.0.7", tree}, {"10.0.0.51", "10.0.0.8", {}}, {"10.0.0.52", "10.0.0.7", {file("9", "0", "E", 1)}}};
}

} // namespace

class TestDeviceCommands : public QObject
{
    Q_OBJECT
private slots:
    void modifierByte_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("byte");
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
        QTest::newRow("none") << 0 << 0x00;
        QTest::newRow("ctrl") << ctrl << 0x01;
        QTest::newRow("shift") << shift << 0x02;
        QTest::newRow("ctrl shift") << (ctrl | shift) << 0x03;
        QTest::newRow("alt") << alt << 0x04;
        QTest::newRow("ctrl alt") << (ctrl | alt) << 0x05;
        QTest::newRow("shift alt") << (shift | alt) << 0x06;
        QTest::newRow("ctrl shift alt") << (ctrl | shift | alt) << 0x07;
        QTest::newRow("meta") << int(Qt::MetaModifier) << 0x00;
        QTest::newRow("ctrl meta") << (ctrl | int(Qt::MetaModifier)) << 0x00;
        QTest::newRow("shift keypad") << (shift | int(Qt::KeypadModifier)) << 0x00;
        QTest::newRow("alt group switch") << (alt | int(Qt::GroupSwitchModifier)) << 0x00;
        QTest::newRow("stray low bit") << (ctrl | 1) << 0x00;
        QTest::newRow("all bits") << -1 << 0x00;
    }
    void modifierByte()
    {
        QFETCH(int, modifiers);
        QFETCH(int, byte);
        QCOMPARE(int(devices::modifierByte(modifiers)), byte);
    }

    void hidUsage_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("usage");
        const QList<QPair<const char *, QPair<int, int>>> rows{
            {"Escape", {Qt::Key_Escape, 41}},       {"Tab", {Qt::Key_Tab, 43}},
            {"Backspace", {Qt::Key_Backspace, 42}}, {"Delete", {Qt::Key_Delete, 42}},
            {"Return", {Qt::Key_Return, 40}},       {"Enter", {Qt::Key_Enter, 40}},
            {"Insert", {Qt::Key_Insert, 73}},       {"Pause", {Qt::Key_Pause, 72}},
            {"Print", {Qt::Key_Print, 70}},         {"Clear", {Qt::Key_Clear, 83}},
            {"NumLock", {Qt::Key_NumLock, 83}},     {"Home", {Qt::Key_Home, 74}},
            {"End", {Qt::Key_End, 77}},             {"Left", {Qt::Key_Left, 80}},
            {"Up", {Qt::Key_Up, 82}},               {"Right", {Qt::Key_Right, 79}},
            {"Down", {Qt::Key_Down, 81}},           {"PageUp", {Qt::Key_PageUp, 75}},
            {"PageDown", {Qt::Key_PageDown, 78}},   {"Meta", {Qt::Key_Meta, 227}},
            {"CapsLock", {Qt::Key_CapsLock, 57}},   {"ScrollLock", {Qt::Key_ScrollLock, 71}},
            {"F1", {Qt::Key_F1, 58}},   {"F2", {Qt::Key_F2, 59}},   {"F3", {Qt::Key_F3, 60}},
            {"F4", {Qt::Key_F4, 61}},   {"F5", {Qt::Key_F5, 62}},   {"F6", {Qt::Key_F6, 63}},
            {"F7", {Qt::Key_F7, 64}},   {"F8", {Qt::Key_F8, 65}},   {"F9", {Qt::Key_F9, 66}},
            {"F10", {Qt::Key_F10, 67}}, {"F11", {Qt::Key_F11, 68}}, {"F12", {Qt::Key_F12, 69}},
            {"Space", {Qt::Key_Space, 44}},
            {"1", {Qt::Key_1, 30}}, {"!", {Qt::Key_Exclam, 30}},
            {"2", {Qt::Key_2, 31}}, {"@", {Qt::Key_At, 31}},
            {"3", {Qt::Key_3, 32}}, {"#", {Qt::Key_NumberSign, 32}},
            {"4", {Qt::Key_4, 33}}, {"$", {Qt::Key_Dollar, 33}},
            {"5", {Qt::Key_5, 34}}, {"%", {Qt::Key_Percent, 34}},
            {"6", {Qt::Key_6, 35}}, {"^", {Qt::Key_AsciiCircum, 35}},
            {"7", {Qt::Key_7, 36}}, {"&", {Qt::Key_Ampersand, 36}},
            {"8", {Qt::Key_8, 37}}, {"*", {Qt::Key_Asterisk, 37}},
            {"9", {Qt::Key_9, 38}}, {"(", {Qt::Key_ParenLeft, 38}},
            {"0", {Qt::Key_0, 39}}, {")", {Qt::Key_ParenRight, 39}},
            {"-", {Qt::Key_Minus, 45}},       {"_", {Qt::Key_Underscore, 45}},
            {"=", {Qt::Key_Equal, 46}},       {"+", {Qt::Key_Plus, 46}},
            {"[", {Qt::Key_BracketLeft, 47}}, {"{", {Qt::Key_BraceLeft, 47}},
            {"]", {Qt::Key_BracketRight, 48}}, {"}", {Qt::Key_BraceRight, 48}},
            {"\\", {Qt::Key_Backslash, 49}},  {"|", {Qt::Key_Bar, 49}},
            {";", {Qt::Key_Semicolon, 51}},   {":", {Qt::Key_Colon, 51}},
            {"'", {Qt::Key_Apostrophe, 52}},  {"\"", {Qt::Key_QuoteDbl, 52}},
            {"`", {Qt::Key_QuoteLeft, 53}},   {"~", {Qt::Key_AsciiTilde, 53}},
            {",", {Qt::Key_Comma, 54}},       {"<", {Qt::Key_Less, 54}},
            {".", {Qt::Key_Period, 55}},      {">", {Qt::Key_Greater, 55}},
            {"/", {Qt::Key_Slash, 56}},       {"?", {Qt::Key_Question, 56}},
            // Keys without a usage.
            {"Shift", {Qt::Key_Shift, 0}},     {"Control", {Qt::Key_Control, 0}},
            {"Alt", {Qt::Key_Alt, 0}},         {"AltGr", {Qt::Key_AltGr, 0}},
            {"Backtab", {Qt::Key_Backtab, 0}}, {"F13", {Qt::Key_F13, 0}},
            {"Menu", {Qt::Key_Menu, 0}},       {"SysReq", {Qt::Key_SysReq, 0}},
            {"unknown", {Qt::Key_unknown, 0}}, {"lower-case a is no Qt key", {'a', 0}},
            {"no key", {0, 0}},                {"negative", {-1, 0}},
            {"A with a modifier bit", {int(Qt::Key_A) | int(Qt::ShiftModifier), 0}},
        };
        for (const auto &row : rows)
            QTest::newRow(row.first) << row.second.first << row.second.second;
        // A ... Z are 4 ... 29.
        for (int i = 0; i < 26; ++i)
            QTest::addRow("%c", 'A' + i) << int(Qt::Key_A) + i << 4 + i;
    }
    void hidUsage()
    {
        QFETCH(int, key);
        QFETCH(int, usage);
        QCOMPARE(int(devices::hidUsage(key)), usage);
    }

    void platformOf_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("platform");
        QTest::newRow("exact") << "10.0.0.7" << "fpga_arm";
        QTest::newRow("suffix: the first signal of the device") << "10.0.0.7-1" << "fpga_arm";
        QTest::newRow("a signal listed with a suffix") << "10.0.0.8" << "hi3531";
        QTest::newRow("unknown") << "10.0.0.99" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("a prefix is not the address") << "10.0.0.1" << "";
    }
    void platformOf()
    {
        QFETCH(QString, address);
        QFETCH(QString, platform);
        QCOMPARE(devices::platformOf(kSignals, address), platform);
    }

    void kvmMouse_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("sent");
        QTest::newRow("fpga_arm") << "10.0.0.7" << 1 << 300 << 2 << "57 ab 04 01 2c 01 02 00 00 -> 10.0.0.7:41300";
        QTest::newRow("fpga_arm by a suffixed address") << "10.0.0.7-1" << 1 << 300 << 2
                                                        << "57 ab 04 01 2c 01 02 00 00 -> 10.0.0.7:41300";
        QTest::newRow("other platform: 01 after 04, port 80") << "10.0.0.8-0" << 1 << 300 << 2
                                                              << "57 ab 04 01 01 2c 01 02 00 00 -> 10.0.0.8:80";
        QTest::newRow("unknown address: the other layout") << "10.0.0.99" << 1 << 300 << 2
                                                           << "57 ab 04 01 01 2c 01 02 00 00 -> 10.0.0.99:80";
        QTest::newRow("platform names are exact") << "10.0.0.10" << 1 << 300 << 2
                                                  << "57 ab 04 01 01 2c 01 02 00 00 -> 10.0.0.10:80";
        QTest::newRow("no button, origin") << "10.0.0.7" << 0 << 0 << 0 << "57 ab 04 00 00 00 00 00 00 -> 10.0.0.7:41300";
        QTest::newRow("right button, largest") << "10.0.0.7" << 2 << 65535 << 65535
                                               << "57 ab 04 02 ff ff ff ff 00 -> 10.0.0.7:41300";
        QTest::newRow("high bytes") << "10.0.0.7" << 4 << 0x1234 << 0xABCD << "57 ab 04 04 34 12 cd ab 00 -> 10.0.0.7:41300";
        QTest::newRow("outside: clamped") << "10.0.0.7" << 1 << -5 << 70000 << "57 ab 04 01 00 00 ff ff 00 -> 10.0.0.7:41300";
        QTest::newRow("not an address: nowhere") << "seat" << 1 << 1 << 1 << "57 ab 04 01 01 01 00 01 00 00 -> ";
    }
    void kvmMouse()
    {
        QFETCH(QString, address);
        QFETCH(int, button);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QString, sent);
        QCOMPARE(render(devices::kvmMouse(kSignals, address, button, x, y)), sent);
    }

    void kvmKeys_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("sent");
        QTest::newRow("a with shift") << "10.0.0.7" << int(Qt::Key_A) << int(Qt::ShiftModifier)
                                      << "57 ab 01 02 00 04 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("F5") << "10.0.0.7" << int(Qt::Key_F5) << 0 << "57 ab 01 00 00 3e 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("shift alone: key slot 0") << "10.0.0.7" << int(Qt::Key_Shift) << int(Qt::ShiftModifier)
                                                 << "57 ab 01 02 00 00 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("ctrl alt delete") << "10.0.0.7" << int(Qt::Key_Delete)
                                         << int(Qt::ControlModifier | Qt::AltModifier)
                                         << "57 ab 01 05 00 2a 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("meta drops the modifiers") << "10.0.0.7" << int(Qt::Key_L) << int(Qt::MetaModifier)
                                                  << "57 ab 01 00 00 0f 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("other platform: port 80") << "10.0.0.8-0" << int(Qt::Key_Return) << 0
                                                 << "57 ab 01 00 00 28 00 00 00 00 00 -> 10.0.0.8:80";
        QTest::newRow("unknown address: port 80") << "10.0.0.99" << int(Qt::Key_Z) << 0
                                                  << "57 ab 01 00 00 1d 00 00 00 00 00 -> 10.0.0.99:80";
    }
    void kvmKeys()
    {
        QFETCH(QString, address);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, sent);
        const Datagram press = devices::kvmKeyPress(kSignals, address, key, modifiers);
        QCOMPARE(press.data.size(), 20); // head, 57 AB, 01 and the eight report bytes
        QCOMPARE(render(press), sent);
        // The release goes where the press went.
        const Datagram release = devices::kvmKeyRelease(kSignals, address);
        QCOMPARE(release.data, kvm("57ab01 0000000000000000"));
        QCOMPARE(release.to, press.to);
    }

    void cameras()
    {
        QCOMPARE(devices::cameraMove("cam1", 3),
                 QByteArray(R"({"data":{"direction":3,"id":"cam1","speed":0.5},"request":"SetCamerasMove"})"));
        QCOMPARE(devices::cameraZoom("7", -1),
                 QByteArray(R"({"data":{"direction":-1,"id":"7","speed":0.5},"request":"SetCamerasZoom"})"));
        QCOMPARE(devices::cameraPreset("cam1", "door", 1),
                 QByteArray(R"({"data":{"id":"cam1","name":"door"},"request":"SetCamerasPresets"})"));
        QCOMPARE(devices::cameraPreset("cam1", "door", -2),
                 QByteArray(R"({"data":{"id":"cam1","name":"door"},"request":"SetCamerasPresets"})"));
        QCOMPARE(devices::cameraPreset("cam1", "door", 0),
                 QByteArray(R"({"data":{"id":"cam1","name":"door"},"request":"CallCamerasPresets"})"));
        QCOMPARE(render(devices::cameraDestination("10.0.0.5")), QString("10.0.0.5:41235"));
        QCOMPARE(render(devices::cameraDestination("")), QString());
    }

    void marking_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("start") << devices::markStart() << QByteArray("{StartMark;0,0}");
        QTest::newRow("stroke, blue") << devices::markStroke(10, 20, 3, "#0000ff") << QByteArray("{StartPt;1;10,20,3,255}");
        QTest::newRow("stroke, red") << devices::markStroke(0, 0, 1, "#ff0000") << QByteArray("{StartPt;1;0,0,1,16711680}");
        QTest::newRow("stroke, upper case") << devices::markStroke(1, 2, 5, "#FFFFFF") << QByteArray("{StartPt;1;1,2,5,16777215}");
        QTest::newRow("stroke, with alpha") << devices::markStroke(1, 2, 5, "#80ff0000")
                                            << QByteArray("{StartPt;1;1,2,5,2164195328}");
        QTest::newRow("stroke, not a colour") << devices::markStroke(1, 2, 5, "blue") << QByteArray("{StartPt;1;1,2,5,0}");
        QTest::newRow("stroke, empty colour") << devices::markStroke(1, 2, 5, "") << QByteArray("{StartPt;1;1,2,5,0}");
        QTest::newRow("stroke, too long") << devices::markStroke(1, 2, 5, "#1ffffffff") << QByteArray("{StartPt;1;1,2,5,0}");
        QTest::newRow("continue") << devices::markTo(-4, 1080) << QByteArray("{ToPt;1;-4,1080}");
        QTest::newRow("frame") << devices::markFrame(10, 20, 300, 200) << QByteArray("{ToFrame;1;10,20,300,200}");
        QTest::newRow("clear") << devices::markClear() << QByteArray("{ClearMark;0}");
        QTest::newRow("end") << devices::markEnd() << QByteArray("{EndMark;0}");
    }
    void marking()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(text, expected);
    }

    void destinations()
    {
        QCOMPARE(render(devices::markDestination("10.0.0.7-1")), QString("10.0.0.7:12346"));
        QCOMPARE(render(devices::markDestination("")), QString());
        QCOMPARE(render(devices::deviceDestination("fe80::1", 80)), QString());
        QCOMPARE(render(devices::hostDestination("10.0.0.50")), QString("10.0.0.50:3210"));
        // A node command is never broadcast.
        QCOMPARE(render(devices::hostDestination("")), QString());
    }

    void nodeCommands_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("expected");
        const QSize minSnap(256, 144), maxSnap(640, 360);
        QTest::newRow("crop") << devices::cropCommand(8, 16, 1904, 1064)
                              << QByteArray(R"({"Function":"setViCrop","Type":"System","Value":{"channel":"chn0",)"
                                            R"("crop_h":1064,"crop_w":1904,"crop_x":8,"crop_y":16,"vi_crop_enable":1}})");
        QTest::newRow("snap 0: the smaller size") << devices::snapCommand(0, minSnap, maxSnap)
                                                  << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0","snap_h":144,"snap_w":256}})");
        QTest::newRow("snap 1: the larger size") << devices::snapCommand(1, minSnap, maxSnap)
                                                 << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0","snap_h":360,"snap_w":640}})");
        QTest::newRow("snap 2: 1280 x 720") << devices::snapCommand(2, minSnap, maxSnap)
                                            << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0","snap_h":720,"snap_w":1280}})");
        QTest::newRow("snap 9: channel only") << devices::snapCommand(9, minSnap, maxSnap)
                                              << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0"}})");
        QTest::newRow("snap -1: channel only") << devices::snapCommand(-1, minSnap, maxSnap)
                                               << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0"}})");
        QTest::newRow("snap 0 without the setting: channel only")
            << devices::snapCommand(0, QSize(), maxSnap) << QByteArray(R"({"Function":"setSnap","Type":"System","Value":{"channel":"chn0"}})");
        QTest::newRow("configuration query") << devices::configQuery()
                                             << QByteArray(R"({"Function":"getSystemMsg","Type":"System","Value":{"get_venc_config":"echo"}})");
    }
    void nodeCommands()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, expected);
        QCOMPARE(command, expected);
    }

    void hostRequests()
    {
        QCOMPARE(devices::hostTreeRequest(), QByteArray(R"({"request":"GetDevStructureTree"})"));
        QCOMPARE(devices::hostControlRequest(2, "121", "play"),
                 QByteArray(R"({"data":{"act":"play","id":"121","type":2},"request":"ControlNode"})"));
        QCOMPARE(render(devices::hostTreeQuery(hosts(), "10.0.0.7-0")),
                 QString::fromLatin1(devices::hostTreeRequest().toHex(' ')) + " -> 10.0.0.50:3210");
        QVERIFY(devices::hostTreeQuery(hosts(), "10.0.0.99").to.isEmpty());
        QVERIFY(devices::hostTreeQuery(hosts(), "").to.isEmpty());
        QCOMPARE(devices::hostAddressOfEncoder(hosts(), "10.0.0.7"), QString("10.0.0.50"));
        QCOMPARE(devices::hostAddressOfEncoder(hosts(), "10.0.0.8-1"), QString("10.0.0.51"));
        QCOMPARE(devices::hostAddressOfEncoder(hosts(), "10.0.0.99"), QString());
        // A host that names no encoder is not found by an empty one.
        QCOMPARE(devices::hostAddressOfEncoder({{"10.0.0.53", "", {}}}, ""), QString());
    }

    void hostFileEntries_data()
    {
        QTest::addColumn<QString>("venc");
        QTest::addColumn<QString>("pid");
        QTest::addColumn<QByteArray>("entries");
        QTest::newRow("top level") << "10.0.0.7" << "0"
                                   << QByteArray(R"([{"id":"0","name":"/:","pid":"0","type":0},)"
                                                 R"({"id":"1","name":"C","pid":"0","type":1},)"
                                                 R"({"id":"2","name":"D","pid":"0","type":1},)"
                                                 R"({"id":"x","name":"root x","pid":"0","type":3}])");
        QTest::newRow("top level by a suffixed encoder address") << "10.0.0.7-1" << "0"
                                   << QByteArray(R"([{"id":"0","name":"/:","pid":"0","type":0},)"
                                                 R"({"id":"1","name":"C","pid":"0","type":1},)"
                                                 R"({"id":"2","name":"D","pid":"0","type":1},)"
                                                 R"({"id":"x","name":"root x","pid":"0","type":3}])");
        QTest::newRow("a root with children") << "10.0.0.7" << "1"
                                              << QByteArray(R"([{"id":"1","name":"C:","pid":"0","type":1},)"
                                                            R"({"id":"11","name":"Windows","pid":"1","type":1},)"
                                                            R"({"id":"12","name":"Users","pid":"1","type":1}])");
        QTest::newRow("a nested folder") << "10.0.0.7" << "12"
                                         << QByteArray(R"([{"id":"12","name":"Users:","pid":"1","type":1},)"
                                                       R"({"id":"121","name":"Public","pid":"12","type":2}])");
        QTest::newRow("a leaf") << "10.0.0.7" << "121" << QByteArray(R"([{"id":"121","name":"Public:","pid":"12","type":2}])");
        QTest::newRow("depth-first: the deep x before the root x")
            << "10.0.0.7" << "x" << QByteArray(R"([{"id":"x","name":"deep x:","pid":"11","type":2}])");
        QTest::newRow("an id not in the tree") << "10.0.0.7" << "99" << QByteArray("[]");
        QTest::newRow("an empty id") << "10.0.0.7" << "" << QByteArray("[]");
        QTest::newRow("a host without a tree") << "10.0.0.8" << "0"
                                               << QByteArray(R"([{"id":"0","name":"/:","pid":"0","type":0}])");
        QTest::newRow("a host without a tree, a folder") << "10.0.0.8" << "1" << QByteArray("[]");
        QTest::newRow("unknown encoder") << "10.0.0.99" << "0" << QByteArray("[]");
        QTest::newRow("no encoder") << "" << "0" << QByteArray("[]");
    }
    void hostFileEntries()
    {
        QFETCH(QString, venc);
        QFETCH(QString, pid);
        QFETCH(QByteArray, entries);
        QCOMPARE(QJsonDocument(devices::hostFileEntries(hosts(), venc, pid)).toJson(QJsonDocument::Compact), entries);
    }

    void hostFileEntriesOfALongChain()
    {
        // A host's tree can be one long chain; the search must not recurse through it.
        const int depth = commands::kMaxTreeNodes;
        commands::FileInfo node = file(QString::number(depth), QString::number(depth - 1), "bottom", 2);
        for (int i = depth - 1; i >= 1; --i)
            node = file(QString::number(i), i == 1 ? "0" : QString::number(i - 1), "n", 1, {node});
        const QList<HostTree> chain{{"10.0.0.50", "10.0.0.7", {node}}};
        QCOMPARE(QJsonDocument(devices::hostFileEntries(chain, "10.0.0.7", QString::number(depth))).toJson(QJsonDocument::Compact),
                 QByteArray(R"([{"id":")" + QByteArray::number(depth) + R"(","name":"bottom:","pid":")"
                            + QByteArray::number(depth - 1) + R"(","type":2}])"));
    }

    void parseEvent_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("eventId");
        QTest::addColumn<int>("nextTime");
        QTest::addColumn<QString>("srcIp");
        QTest::addColumn<QString>("response");
        QTest::newRow("audio request")
            << QByteArray(R"({"request":"ActiveAudio","data":{"name":"door 3","eventID":"e-17","next_time":30}})")
            << Kind::AudioRequest << "door 3" << "e-17" << 30 << "" << "";
        QTest::newRow("audio request, numbers as text and text as numbers")
            << QByteArray(R"({"request":"ActiveAudio","data":{"name":5,"eventID":17,"next_time":"45"}})")
            << Kind::AudioRequest << "5" << "17" << 45 << "" << "";
        QTest::newRow("audio request, empty data") << QByteArray(R"({"request":"ActiveAudio","data":{}})")
                                                   << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("input request")
            << QByteArray(R"({"request":"ActiveInput","data":{"src_ip":"10.0.0.8","next_time":10}})")
            << Kind::InputRequest << "" << "" << 10 << "10.0.0.8" << "";
        QTest::newRow("audio response") << QByteArray(R"({"response":"ActiveAudio","code":"0","msg":"ok","data":{}})")
                                        << Kind::Response << "" << "" << 0 << "" << "ActiveAudio";
        QTest::newRow("input response, no data") << QByteArray(R"({"response":"ActiveInput"})")
                                                 << Kind::Response << "" << "" << 0 << "" << "ActiveInput";
        // Hostile or broken.
        QTest::newRow("not JSON") << QByteArray("{ActiveAudio;1}") << Kind::Ignored << "" << "" << 0 << "" << "";
        QTest::newRow("empty") << QByteArray() << Kind::Ignored << "" << "" << 0 << "" << "";
        // A plain literal: moc counts the braces inside raw strings.
        QTest::newRow("cut off") << QByteArray("{\"request\":\"ActiveAudio\",\"data\":{\"name\":\"do") << Kind::Ignored << ""
                                 << "" << 0 << "" << "";
        QTest::newRow("an array") << QByteArray(R"([{"request":"ActiveAudio","data":{}}])") << Kind::Ignored << "" << ""
                                  << 0 << "" << "";
        QTest::newRow("other request") << QByteArray(R"({"request":"GetDev"})") << Kind::Ignored << "" << "" << 0 << "" << "";
        QTest::newRow("other response") << QByteArray(R"({"response":"GetDev","code":"0"})") << Kind::Ignored << "" << ""
                                        << 0 << "" << "";
        QTest::newRow("request name not text") << QByteArray(R"({"request":7,"data":{}})") << Kind::Ignored << "" << ""
                                               << 0 << "" << "";
        QTest::newRow("names are exact") << QByteArray(R"({"request":"activeaudio","data":{}})") << Kind::Ignored << ""
                                         << "" << 0 << "" << "";
        QTest::newRow("audio without data") << QByteArray(R"({"request":"ActiveAudio"})") << Kind::Ignored << "" << ""
                                            << 0 << "" << "";
        QTest::newRow("audio data an array") << QByteArray(R"({"request":"ActiveAudio","data":["a"]})") << Kind::Ignored
                                             << "" << "" << 0 << "" << "";
        QTest::newRow("input without src_ip") << QByteArray(R"({"request":"ActiveInput","data":{"next_time":10}})")
                                              << Kind::Ignored << "" << "" << 10 << "" << "";
        QTest::newRow("wrong types read as empty")
            << QByteArray(R"({"request":"ActiveAudio","data":{"name":{"a":1},"eventID":[1],"next_time":true}})")
            << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("huge next_time") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":1e300}})")
                                        << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("next_time just over int") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":2147483648}})")
                                                 << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("next_time largest int") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":2147483647}})")
                                               << Kind::AudioRequest << "" << "" << 2147483647 << "" << "";
        QTest::newRow("next_time negative") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":-5}})")
                                            << Kind::AudioRequest << "" << "" << -5 << "" << "";
        QTest::newRow("next_time fraction") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":30.9}})")
                                            << Kind::AudioRequest << "" << "" << 30 << "" << "";
        QTest::newRow("next_time huge text") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":"99999999999"}})")
                                             << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("next_time not a number") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":"soon"}})")
                                                << Kind::AudioRequest << "" << "" << 0 << "" << "";
        QTest::newRow("deep nesting") << QByteArray(100000, '[') << Kind::Ignored << "" << "" << 0 << "" << "";
        QTest::newRow("NUL inside") << QByteArray("{\"request\":\"ActiveAudio\"\0}", 26) << Kind::Ignored << "" << ""
                                    << 0 << "" << "";
    }
    void parseEvent()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QString, eventId);
        QFETCH(int, nextTime);
        QFETCH(QString, srcIp);
        QFETCH(QString, response);
        const EventMessage m = devices::parseEvent(datagram);
        QCOMPARE(m.kind, kind);
        QCOMPARE(m.name, name);
        QCOMPARE(m.eventId, eventId);
        QCOMPARE(m.nextTime, nextTime);
        QCOMPARE(m.srcIp, srcIp);
        QCOMPARE(m.response, response);
    }

    void inputSignalIndex_data()
    {
        QTest::addColumn<QString>("srcIp");
        QTest::addColumn<int>("index");
        QTest::newRow("exact") << "10.0.0.7" << 0;
        QTest::newRow("a signal listed with a suffix") << "10.0.0.8" << 1;
        QTest::newRow("a camera") << "10.0.0.9" << 3;
        QTest::newRow("the request's address is taken as it is") << "10.0.0.8-0" << -1;
        QTest::newRow("none") << "10.0.0.99" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void inputSignalIndex()
    {
        QFETCH(QString, srcIp);
        QFETCH(int, index);
        QCOMPARE(devices::inputSignalIndex(kSignals, srcIp), index);
    }

    void eventResponses()
    {
        QCOMPARE(devices::audioEventResponse("e-17", true, 30),
                 QByteArray(R"({"code":"0","data":{"activate":true,"eventID":"e-17","next_time":30},"msg":"ok","response":"ActiveAudio"})"));
        QCOMPARE(devices::audioEventResponse("", false, 0),
                 QByteArray(R"({"code":"0","data":{"activate":false,"eventID":"","next_time":0},"msg":"ok","response":"ActiveAudio"})"));
        QCOMPARE(devices::inputEventResponse("10.0.0.8", 10),
                 QByteArray(R"({"code":"0","data":{"next_time":10,"src_ip":"10.0.0.8"},"msg":"ok","response":"ActiveInput"})"));
        // The group always; the requester too when it is an address.
        QCOMPARE(render(devices::inputResponseDestinations("10.0.0.60", 5000)),
                 QString("224.169.1.1:41237 10.0.0.60:5000"));
        QCOMPARE(render(devices::inputResponseDestinations("", 5000)), QString("224.169.1.1:41237"));
        QCOMPARE(render(devices::inputResponseDestinations("10.0.0.60", 0)), QString("224.169.1.1:41237"));
        QCOMPARE(render(devices::inputResponseDestinations("10.0.0.60", 70000)), QString("224.169.1.1:41237"));
        QCOMPARE(render(devices::inputResponseDestinations("224.169.1.1", 41237)), QString("224.169.1.1:41237"));
    }
};

QTEST_APPLESS_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
