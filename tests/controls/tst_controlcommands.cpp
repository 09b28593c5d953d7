// Designed controls' commands as packets, without sockets: exact transport, destination,
// delay and bytes for buttons, events, sliders and matrices, and the state and preset texts.
#include "controls/controlcommands.h"

#include "support/testmain.h"

#include <cmath>

using namespace kora::controls;

namespace {

// "udp 10.0.0.7:23 +100ms "PWR ON"": printable data as text, other data as hex.
QStringList render(const QList<Packet> &packets)
{
    QStringList out;
    for (const Packet &p : packets) {
        const char *kind = p.transport == Transport::Udp ? "udp" : p.transport == Transport::Tcp ? "tcp" : "internal";
        bool printable = true;
        for (const char c : p.data)
            printable = printable && c >= 0x20 && c < 0x7f;
        const QString data = p.data.size() > 64 ? QStringLiteral("%1 bytes").arg(p.data.size())
                             : printable        ? QLatin1Char('"') + QString::fromLatin1(p.data) + QLatin1Char('"')
                                                : QStringLiteral("0x") + QString::fromLatin1(p.data.toHex());
        out.append(QStringLiteral("%1 %2:%3 +%4ms %5").arg(kind, p.ip).arg(p.port).arg(p.delayMs).arg(data));
    }
    return out;
}

// JSON written with single quotes, for readable tables.
QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text).replace('\'', '"')).object();
}

const Values kValues{{{"dock1", QVariantMap{{"volume", "42"}, {"self", "$x$x"}, {"next", "$b"}, {"y", "Y"}, {"n", 7}, {"long", QString(1000, 'z')}}}},
                     {{"$room", "7"}, {"A", "B"}, {"B", "C"}}};

const QString kX = "10.0.0.41;Input 1;11;12;13;14";
const QString kY = "10.0.0.51;Output 1;21;22;23;24";

} // namespace

class TestControlCommands : public QObject
{
    Q_OBJECT
private slots:
    void buttons_data()
    {
        columns<QStringList, QStringList>({"blocks", "packets"});
        const QString to = "IP=10.0.0.7\r\nPort=4000\r\n";
        // Hex text: spaces dropped, an odd length padded in front, a pair with a non-hex digit is 0.
        QTest::newRow("udp hex") << QStringList{"IP=192.168.1.50\r\nPort=5000\r\nTcp=0\r\nHex=1\r\nData=AA BB C"} << QStringList{"udp 192.168.1.50:5000 +0ms 0x0aabbc"};
        QTest::newRow("tcp ascii") << QStringList{"IP=10.0.0.7\r\nPort=23\r\nTcp=1\r\nData=PWR ON\r\n"} << QStringList{"tcp 10.0.0.7:23 +0ms \"PWR ON\""};
        QTest::newRow("internal, rest of block ignored")
            << QStringList{"IP=127.0.0.1\r\nData=InlineSwitchPage(2)\r\nData=ignored\r\nIP=10.0.0.7\r\nPort=1\r\nData=x", to + "Data=next"}
            << QStringList{"internal 127.0.0.1:0 +0ms \"InlineSwitchPage(2)\"", "udp 10.0.0.7:4000 +0ms \"next\""};
        QTest::newRow("Port, Tcp, Hex carried; IP, Time reset") << QStringList{to + "Tcp=1\r\nHex=1\r\nTime=50\r\nData=12GG3", "IP=10.0.0.8\r\nData=02", "Data=03"}
                                                               << QStringList{"tcp 10.0.0.7:4000 +50ms 0x010000", "tcp 10.0.0.8:4000 +0ms 0x02"};
        QTest::newRow("bad Tcp sends nothing, its wait passes on") << QStringList{to + "Tcp=2\r\nTime=300\r\nData=a\r\nTcp=x\r\nData=b\r\nTcp=0\r\nTime=0\r\nData=c"}
                                                                  << QStringList{"udp 10.0.0.7:4000 +600ms \"c\""};
        QTest::newRow("bad ports") << QStringList{"IP=10.0.0.7\r\nData=a\r\nPort=0\r\nData=b\r\nPort=65536\r\nData=c\r\nPort=abc\r\nData=d\r\nPort=65535\r\nData=e"}
                                   << QStringList{"udp 10.0.0.7:65535 +0ms \"e\""};
        QTest::newRow("payload limit") << QStringList{to + "Data=" + QString(kMaxPayload + 1, 'a') + "\r\nData=" + QString(kMaxPayload, 'b'),
                                                      to + "Hex=1\r\nData=" + QString(2 * kMaxPayload + 2, 'a')}
                                       << QStringList{QStringLiteral("udp 10.0.0.7:4000 +0ms %1 bytes").arg(kMaxPayload)};
    }
    void buttons()
    {
        QFETCH(QStringList, blocks);
        QTEST(render(buttonPackets(blocks)), "packets");
    }

    void wildcards_data()
    {
        columns<QString, QJsonObject, QString, bool>({"text", "wildcard", "result", "ok"});
        QTest::newRow("ascending keys: a replacement's key is replaced later") << "$a $b" << json("{'$b':'dock1:y','$a':'dock1:next'}") << "Y Y" << true;
        QTest::newRow("one pass per key") << "$x" << json("{'$x':'dock1:self'}") << "$x$x" << true;
        QTest::newRow("growth past the limit") << QString("$L").repeated(66) << json("{'$L':'dock1:long'}") << "" << false;
        QTest::newRow("growth to the limit") << QString("$L").repeated(65) + QString(kMaxPayload - 65000, 'x') << json("{'$L':'dock1:long'}")
                                             << QString(65000, 'z') + QString(kMaxPayload - 65000, 'x') << true;
    }
    void wildcards()
    {
        QFETCH(QString, text);
        QFETCH(QJsonObject, wildcard);
        QFETCH(bool, ok);
        bool done = !ok;
        QTEST(substituteWildcards(text, wildcard, kValues, &done), "result");
        QCOMPARE(done, ok);
    }

    void sliderValues_data()
    {
        columns<double, QString, QString>({"value", "hex", "text"});
        QTest::newRow("-200.7") << -200.7 << "38ff" << "-200.7";
        QTest::newRow("not a number") << std::nan("") << "0000" << "nan";
    }
    void sliderValues()
    {
        QFETCH(double, value);
        QTEST(sliderHex(value), "hex");
        QTEST(sliderText(value), "text");
    }

    void sliders_data()
    {
        columns<QString, double, QStringList>({"block", "value", "packets"});
        const QString to = "IP=10.0.0.20\r\nPort=7000\r\nKey=$V\r\n";
        QTest::newRow("hex") << to + "Hex=1\r\nData=A0 $V FF" << 200.0 << QStringList{"udp 10.0.0.20:7000 +5ms 0xa0c800ff"};
        QTest::newRow("text") << to + "Data=VOL $V" << 200.0 << QStringList{"udp 10.0.0.20:7000 +5ms \"VOL 200\""};
        QTest::newRow("bad port") << "IP=10.0.0.20\r\nPort=0\r\nData=V" << 1.0 << QStringList{};
    }
    void sliders()
    {
        QFETCH(QString, block);
        QFETCH(double, value);
        QTEST(render(sliderPackets(block, value)), "packets");
    }
    void matrix_data()
    {
        columns<QString, QString, QString, QStringList>({"block", "x", "y", "packets"});
        const QString to = "IP=10.0.0.60\r\nPort=9000\r\n";
        QTest::newRow("all placeholders") << to + "Time=500\r\nData=$X_IP>$Y_IP $X_CD1 $X_CD2 $X_CD3 $X_CD4 $Y_CD1 $Y_CD2 $Y_CD3 $Y_CD4 $X_IP" << kX << kY
                                          << QStringList{"udp 10.0.0.60:9000 +5ms \"10.0.0.41>10.0.0.51 11 12 13 14 21 22 23 24 10.0.0.41\""};
        QTest::newRow("0.0.0.0 stops, earlier packet stays") << to + "Data=a\r\nIP=0.0.0.0\r\nData=b\r\nIP=10.0.0.61\r\nData=c" << kX << kY << QStringList{"udp 10.0.0.60:9000 +5ms \"a\""};
        QTest::newRow("hex") << to + "Hex=1\r\nData=$X_CD1 $Y_CD1" << "a;b;0A" << "c;d;0B" << QStringList{"udp 10.0.0.60:9000 +5ms 0x0a0b"};
    }
    void matrix()
    {
        QFETCH(QString, block);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QTEST(render(matrixPackets(block, x, y)), "packets");
    }
};

KORA_TEST(TestControlCommands)
#include "tst_controlcommands.moc"
