// The device commands without sockets: KVM packets and their ports, camera, marking and
// encoder texts, the host file tree a page browses, and the alarm events from the network.
#include "devices/devicecommands.h"
#include "devicerecords.h"

#include <QJsonDocument>
#include "support/testmain.h"

using namespace kora;
using namespace kora::devices;
using devicerecords::file;
using devicerecords::signal;

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

// .7 is an "fpga_arm" seat with a second input listed later under another platform; .8 is
// listed only with a suffix.
const std::vector<SignalRecord> kSignals{
    signal("seat A", "10.0.0.7", "fpga_arm"),
    signal("seat B", "10.0.0.8-0", "hi3531"),
    signal("seat A input 1", "10.0.0.7-1", "hi3531"),
    signal("camera", "10.0.0.9-IPC", ""),
};

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
    void keys()
    {
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
        // Any modifier but these three: no modifier byte at all.
        const QList<QPair<int, int>> modifiers{{0, 0}, {ctrl | shift | alt, 7}, {shift | alt, 6}, {ctrl | int(Qt::MetaModifier), 0},
                                               {shift | int(Qt::KeypadModifier), 0}, {ctrl | 1, 0}};
        for (const auto &[m, byte] : modifiers)
            QCOMPARE(int(devices::modifierByte(m)), byte);
        // Every named key of the keyboard usage table, a sample of the ranges (function keys,
        // letters, the digit row with its shifted signs), and keys without a usage.
        const QList<QPair<int, int>> usages{
            {Qt::Key_Escape, 41}, {Qt::Key_Tab, 43}, {Qt::Key_Backspace, 42}, {Qt::Key_Delete, 42}, {Qt::Key_Return, 40},
            {Qt::Key_Enter, 40}, {Qt::Key_Insert, 73}, {Qt::Key_Pause, 72}, {Qt::Key_Print, 70}, {Qt::Key_Clear, 83},
            {Qt::Key_NumLock, 83}, {Qt::Key_Home, 74}, {Qt::Key_End, 77}, {Qt::Key_Left, 80}, {Qt::Key_Up, 82},
            {Qt::Key_Right, 79}, {Qt::Key_Down, 81}, {Qt::Key_PageUp, 75}, {Qt::Key_PageDown, 78}, {Qt::Key_Meta, 227},
            {Qt::Key_CapsLock, 57}, {Qt::Key_ScrollLock, 71}, {Qt::Key_Space, 44}, {Qt::Key_Minus, 45},
            {Qt::Key_Underscore, 45}, {Qt::Key_Equal, 46}, {Qt::Key_Plus, 46}, {Qt::Key_BracketLeft, 47},
            {Qt::Key_BraceLeft, 47}, {Qt::Key_BracketRight, 48}, {Qt::Key_BraceRight, 48}, {Qt::Key_Backslash, 49},
            {Qt::Key_Bar, 49}, {Qt::Key_Semicolon, 51}, {Qt::Key_Colon, 51}, {Qt::Key_Apostrophe, 52},
            {Qt::Key_QuoteDbl, 52}, {Qt::Key_QuoteLeft, 53}, {Qt::Key_AsciiTilde, 53}, {Qt::Key_Comma, 54},
            {Qt::Key_Less, 54}, {Qt::Key_Period, 55}, {Qt::Key_Greater, 55}, {Qt::Key_Slash, 56}, {Qt::Key_Question, 56},
            {Qt::Key_F1, 58}, {Qt::Key_F12, 69}, {Qt::Key_A, 4}, {Qt::Key_Z, 29}, {Qt::Key_Shift, 0},
            {Qt::Key_Control, 0}, {Qt::Key_Alt, 0}, {Qt::Key_AltGr, 0}, {Qt::Key_Backtab, 0}, {Qt::Key_Menu, 0},
            {Qt::Key_SysReq, 0}, {Qt::Key_F13, 0}, {'a', 0}, {0, 0}, {-1, 0}, {int(Qt::Key_A) | int(Qt::ShiftModifier), 0}};
        for (const auto &[key, usage] : usages)
            QVERIFY2(devices::hidUsage(key) == usage, qPrintable(QString::number(key, 16)));
        // The digit row, 1 ... 9 then 0, and its shifted signs (their key codes are their characters).
        const QByteArray digits("1234567890"), signs("!@#$%^&*()");
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(int(devices::hidUsage(digits[i])), 30 + i);
            QCOMPARE(int(devices::hidUsage(signs[i])), 30 + i);
        }
    }

    void kvmMouse_data()
    {
        columns<QString, int, int, int, QString>({"address", "button", "x", "y", "sent"});
        QTest::newRow("fpga_arm") << "10.0.0.7" << 1 << 300 << 2 << "57 ab 04 01 2c 01 02 00 00 -> 10.0.0.7:41300";
        QTest::newRow("other platform: 01 after 04, port 80") << "10.0.0.8-0" << 1 << 300 << 2
                                                              << "57 ab 04 01 01 2c 01 02 00 00 -> 10.0.0.8:80";
        QTest::newRow("outside: clamped") << "10.0.0.7" << 1 << -5 << 70000 << "57 ab 04 01 00 00 ff ff 00 -> 10.0.0.7:41300";
        QTest::newRow("not an address: nowhere") << "seat" << 1 << 1 << 1 << "57 ab 04 01 01 01 00 01 00 00 -> ";
    }
    void kvmMouse()
    {
        QFETCH(QString, address);
        QFETCH(int, button);
        QFETCH(int, x);
        QFETCH(int, y);
        QTEST(render(devices::kvmMouse(kSignals, address, button, x, y)), "sent");
    }

    void kvmKeys_data()
    {
        columns<QString, int, int, QString>({"address", "key", "modifiers", "sent"});
        QTest::newRow("a with shift") << "10.0.0.7" << int(Qt::Key_A) << int(Qt::ShiftModifier)
                                      << "57 ab 01 02 00 04 00 00 00 00 00 -> 10.0.0.7:2710";
        QTest::newRow("other platform: port 80") << "10.0.0.8-0" << int(Qt::Key_Return) << 0
                                                 << "57 ab 01 00 00 28 00 00 00 00 00 -> 10.0.0.8:80";
    }
    void kvmKeys()
    {
        QFETCH(QString, address);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const Datagram press = devices::kvmKeyPress(kSignals, address, key, modifiers);
        QTEST(render(press), "sent");
        // The release goes where the press went.
        const Datagram release = devices::kvmKeyRelease(kSignals, address);
        QCOMPARE(release.data, kvm("57ab01 0000000000000000"));
        QCOMPARE(release.to, press.to);
    }

    void hostFileEntries_data()
    {
        columns<QString, QString, QByteArray>({"venc", "pid", "entries"});
        QTest::newRow("top level") << "10.0.0.7" << "0"
                                   << QByteArray(R"([{"id":"0","name":"/:","pid":"0","type":0},)"
                                                 R"({"id":"1","name":"C","pid":"0","type":1},)"
                                                 R"({"id":"2","name":"D","pid":"0","type":1},)"
                                                 R"({"id":"x","name":"root x","pid":"0","type":3}])");
        QTest::newRow("a root with children") << "10.0.0.7" << "1"
                                              << QByteArray(R"([{"id":"1","name":"C:","pid":"0","type":1},)"
                                                            R"({"id":"11","name":"Windows","pid":"1","type":1},)"
                                                            R"({"id":"12","name":"Users","pid":"1","type":1}])");
        QTest::newRow("depth-first: the deep x before the root x")
            << "10.0.0.7" << "x" << QByteArray(R"([{"id":"x","name":"deep x:","pid":"11","type":2}])");
        QTest::newRow("a host without a tree") << "10.0.0.8" << "0"
                                               << QByteArray(R"([{"id":"0","name":"/:","pid":"0","type":0}])");
        QTest::newRow("unknown encoder") << "10.0.0.99" << "0" << QByteArray("[]");
    }
    void hostFileEntries()
    {
        QFETCH(QString, venc);
        QFETCH(QString, pid);
        QTEST(QJsonDocument(devices::hostFileEntries(hosts(), venc, pid)).toJson(QJsonDocument::Compact), "entries");
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
        QTest::addColumn<QString>("event"); // kind name id next_time src_ip response
        QTest::newRow("audio request") << QByteArray(R"({"request":"ActiveAudio","data":{"name":"door 3","eventID":"e-17","next_time":30}})")
                                       << "1 door 3|e-17|30||";
        QTest::newRow("input request") << QByteArray(R"({"request":"ActiveInput","data":{"src_ip":"10.0.0.8","next_time":10}})")
                                       << "2 ||10|10.0.0.8|";
        QTest::newRow("audio response") << QByteArray(R"({"response":"ActiveAudio","code":"0","msg":"ok","data":{}})")
                                        << "3 ||0||ActiveAudio";
        QTest::newRow("not JSON") << QByteArray("{ActiveAudio;1}") << "0 ||0||";
        QTest::newRow("input without src_ip") << QByteArray(R"({"request":"ActiveInput","data":{"next_time":10}})") << "0 ||10||";
        QTest::newRow("wrong types read as empty")
            << QByteArray(R"({"request":"ActiveAudio","data":{"name":{"a":1},"eventID":[1],"next_time":true}})") << "1 ||0||";
        QTest::newRow("next_time largest int") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":2147483647}})")
                                               << "1 ||2147483647||";
        QTest::newRow("next_time just over") << QByteArray(R"({"request":"ActiveAudio","data":{"next_time":2147483648}})")
                                             << "1 ||0||";
    }
    void parseEvent()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, event);
        const EventMessage m = devices::parseEvent(datagram);
        QCOMPARE(QStringLiteral("%1 %2|%3|%4|%5|%6").arg(int(m.kind)).arg(m.name, m.eventId).arg(m.nextTime).arg(m.srcIp, m.response),
                 event);
    }
};

KORA_TEST(TestDeviceCommands)
#include "tst_devicecommands.moc"
