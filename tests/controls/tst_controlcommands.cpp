// Designed controls' commands as packets, without sockets: exact transport, destination,
// delay and bytes for buttons, events, sliders and matrices, and the state and preset texts.
#include "controls/controlcommands.h"

#include <QtTest>

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

QStringList render(const Event &e)
{
    static const char *const kinds[] = {"none", "switch", "show", "hide", "send"};
    QStringList out{QStringLiteral("%1 %2").arg(kinds[int(e.kind)]).arg(e.delayMs)};
    for (const QString &page : e.pages)
        out.append("page " + page);
    for (const QJsonValue &widget : e.widgets)
        out.append("widget " + widget.toString());
    return out + render(e.packets);
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
    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("spaces, odd length padded in front") << "AA BB C" << QByteArray("\x0a\xab\xbc");
        QTest::newRow("mixed case") << "aBcD" << QByteArray("\xab\xcd");
        QTest::newRow("one digit") << "F" << QByteArray("\x0f");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("only spaces") << "   " << QByteArray();
        QTest::newRow("non-hex pair is 0") << "zz1234" << QByteArray("\x00\x12\x34", 3);
        QTest::newRow("half-hex pair is 0, padding shifts pairs") << "1G2" << QByteArray("\x01\x00", 2);
        QTest::newRow("sign is not hex") << "+f" << QByteArray(1, '\0');
        QTest::newRow("only spaces are removed") << "\t1" << QByteArray(1, '\0');
        QTest::newRow("non-ASCII character") << "é1" << QByteArray(1, '\0');
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(decodeHexText(text), bytes);
    }

    void lines_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty lines skipped, value keeps =") << "IP=1.2.3.4\r\n\r\nData=a=b\r\nPort=5\r\n" << QStringList{"IP|1.2.3.4", "Data|a=b", "Port|5"};
        QTest::newRow("empty value and key, no = skipped") << "Data=\r\nnoequals\r\n=x" << QStringList{"Data|", "|x"};
        QTest::newRow("a bare newline does not split") << "IP=1\nPort=2" << QStringList{"IP|1\nPort=2"};
    }
    void lines()
    {
        QFETCH(QString, block);
        QFETCH(QStringList, lines);
        QStringList got;
        for (const auto &[key, value] : commandLines(block))
            got.append(key + '|' + value);
        QCOMPARE(got, lines);
    }

    void buttons_data()
    {
        QTest::addColumn<QStringList>("blocks");
        QTest::addColumn<QStringList>("packets");
        const QString to = "IP=10.0.0.7\r\nPort=4000\r\n";
        QTest::newRow("udp hex") << QStringList{"IP=192.168.1.50\r\nPort=5000\r\nTcp=0\r\nHex=1\r\nData=AA BB C"} << QStringList{"udp 192.168.1.50:5000 +0ms 0x0aabbc"};
        QTest::newRow("tcp ascii") << QStringList{"IP=10.0.0.7\r\nPort=23\r\nTcp=1\r\nData=PWR ON\r\n"} << QStringList{"tcp 10.0.0.7:23 +0ms \"PWR ON\""};
        QTest::newRow("two Data lines, own Time") << QStringList{to + "Time=100\r\nData=A\r\nTime=250\r\nData=B"} << QStringList{"udp 10.0.0.7:4000 +100ms \"A\"", "udp 10.0.0.7:4000 +250ms \"B\""};
        QTest::newRow("Time holds for later lines") << QStringList{to + "Time=100\r\nData=A\r\nData=B"} << QStringList{"udp 10.0.0.7:4000 +100ms \"A\"", "udp 10.0.0.7:4000 +100ms \"B\""};
        QTest::newRow("internal, rest of block ignored")
            << QStringList{"IP=127.0.0.1\r\nData=InlineSwitchPage(2)\r\nData=ignored\r\nIP=10.0.0.7\r\nPort=1\r\nData=x", to + "Data=next"}
            << QStringList{"internal 127.0.0.1:0 +0ms \"InlineSwitchPage(2)\"", "udp 10.0.0.7:4000 +0ms \"next\""};
        QTest::newRow("Port, Tcp, Hex carried; IP, Time reset") << QStringList{to + "Tcp=1\r\nHex=1\r\nTime=50\r\nData=01", "IP=10.0.0.8\r\nData=02", "Data=03"}
                                                               << QStringList{"tcp 10.0.0.7:4000 +50ms 0x01", "tcp 10.0.0.8:4000 +0ms 0x02"};
        QTest::newRow("bad Tcp sends nothing, its wait passes on") << QStringList{to + "Tcp=2\r\nTime=300\r\nData=a\r\nTcp=x\r\nData=b\r\nTcp=0\r\nTime=0\r\nData=c"}
                                                                  << QStringList{"udp 10.0.0.7:4000 +600ms \"c\""};
        QTest::newRow("bad ports") << QStringList{"IP=10.0.0.7\r\nData=a\r\nPort=0\r\nData=b\r\nPort=65536\r\nData=c\r\nPort=abc\r\nData=d\r\nPort=65535\r\nData=e"}
                                   << QStringList{"udp 10.0.0.7:65535 +0ms \"e\""};
        QTest::newRow("bad IPs") << QStringList{"Port=1\r\nData=a", "IP=10.0.0\r\nData=b", "IP=0.0.0.0\r\nData=c", "IP=256.1.1.1\r\nData=d", "IP=127.1\r\nData=e",
                                                "IP=010.0.0.1\r\nData=f", "ip=10.0.0.7\r\nData=g", "IP=10.0.0.255\r\nData=h"}
                                 << QStringList{"udp 10.0.0.255:1 +0ms \"h\""};
        QTest::newRow("Hex not a number, or 0, is text") << QStringList{to + "Hex=yes\r\nData=01\r\nHex=0\r\nData=02"} << QStringList{"udp 10.0.0.7:4000 +0ms \"01\"", "udp 10.0.0.7:4000 +0ms \"02\""};
        QTest::newRow("UTF-8, empty Data") << QStringList{to + "Data=é\r\nData="} << QStringList{"udp 10.0.0.7:4000 +0ms 0xc3a9", "udp 10.0.0.7:4000 +0ms \"\""};
        QTest::newRow("Time bounded") << QStringList{to + "Time=-5\r\nData=a\r\nTime=999999\r\nData=b\r\nTime=abc\r\nData=c"}
                                      << QStringList{"udp 10.0.0.7:4000 +0ms \"a\"", "udp 10.0.0.7:4000 +60000ms \"b\"", "udp 10.0.0.7:4000 +0ms \"c\""};
        QTest::newRow("payload limit") << QStringList{to + "Data=" + QString(kMaxPayload + 1, 'a') + "\r\nData=" + QString(kMaxPayload, 'b'),
                                                      to + "Hex=1\r\nData=" + QString(2 * kMaxPayload + 2, 'a')}
                                       << QStringList{QStringLiteral("udp 10.0.0.7:4000 +0ms %1 bytes").arg(kMaxPayload)};
    }
    void buttons()
    {
        QFETCH(QStringList, blocks);
        QFETCH(QStringList, packets);
        QCOMPARE(render(buttonPackets(blocks)), packets);
    }

    void events_data()
    {
        QTest::addColumn<QVariantMap>("event");
        QTest::addColumn<QStringList>("result");
        const auto send = [](const char *sendObject, int delay = 0) {
            return QVariantMap{{"behavior", "SendData"}, {"delay", delay}, {"value", json(sendObject).toVariantMap()}};
        };
        QTest::newRow("page") << QVariantMap{{"behavior", "SwitchPage"}, {"delay", 150}, {"value", "p2"}} << QStringList{"switch 150", "page p2"};
        QTest::newRow("pages") << QVariantMap{{"behavior", "SwitchPage"}, {"value", QStringList{"p1", "p2"}}} << QStringList{"switch 0", "page p1", "page p2"};
        QTest::newRow("no page") << QVariantMap{{"behavior", "SwitchPage"}, {"value", QVariantList{}}} << QStringList{"none 0"};
        QTest::newRow("delay bounded") << QVariantMap{{"behavior", "SwitchPage"}, {"delay", -20}, {"value", "p"}} << QStringList{"switch 0", "page p"};
        QTest::newRow("delay bounded above") << QVariantMap{{"behavior", "SwitchPage"}, {"delay", 1e12}, {"value", "p"}} << QStringList{"switch 60000", "page p"};
        QTest::newRow("show") << QVariantMap{{"behavior", "ShowWidget"}, {"value", QVariantList{"w1", "w2"}}} << QStringList{"show 0", "widget w1", "widget w2"};
        QTest::newRow("hide") << QVariantMap{{"behavior", "HideWidget"}, {"value", QJsonArray{"w1"}}} << QStringList{"hide 0", "widget w1"};
        QTest::newRow("show, not an array") << QVariantMap{{"behavior", "ShowWidget"}, {"value", "w1"}} << QStringList{"none 0"};
        QTest::newRow("udp hex") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'Hex','data':'01 02'}", 30)
                                 << QStringList{"send 30", "udp 10.0.0.9:6000 +0ms 0x0102"};
        QTest::newRow("multicast ascii") << send("{'ip':'239.1.1.1','port':6000,'protocol':'Multicast','type':'ASCII','data':'01 02'}")
                                         << QStringList{"send 0", "udp 239.1.1.1:6000 +0ms \"01 02\""};
        QTest::newRow("tcp, port as text") << send("{'ip':'10.0.0.9','port':'23','protocol':'Tcp','type':'ASCII','data':'ON'}") << QStringList{"send 0", "tcp 10.0.0.9:23 +0ms \"ON\""};
        QTest::newRow("send object as JSON") << QVariantMap{{"behavior", "SendData"}, {"value", json("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'Hex','data':'ff'}")}}
                                             << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms 0xff"};
        QTest::newRow("internal, nothing substituted") << send("{'ip':'127.0.0.1','type':'Hex','data':'InlineSetVariable($room)','wildcard':{'$room':'dock1:volume'}}")
                                                       << QStringList{"send 0", "internal 127.0.0.1:0 +0ms \"InlineSetVariable($room)\""};
        QTest::newRow("docker value") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'ASCII','data':'VOL=$v','wildcard':{'$v':'dock1:volume'}}")
                                      << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms \"VOL=42\""};
        QTest::newRow("docker value, then hex") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'Hex','data':'FF $v','wildcard':{'$v':'dock1:volume'}}")
                                                << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms 0xff42"};
        QTest::newRow("variable") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'ASCII','data':'ROOM $room','wildcard':{}}")
                                  << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms \"ROOM 7\""};
        QTest::newRow("no wildcard, no variables") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'ASCII','data':'ROOM $room'}")
                                                   << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms \"ROOM $room\""};
        QTest::newRow("missing docker") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Udp','type':'ASCII','data':'VOL=$v','wildcard':{'$v':'dock9:volume'}}")
                                        << QStringList{"send 0", "udp 10.0.0.9:6000 +0ms \"VOL=\""};
        QTest::newRow("unknown protocol") << send("{'ip':'10.0.0.9','port':6000,'protocol':'Serial','type':'ASCII','data':'x'}") << QStringList{"send 0"};
        QTest::newRow("port not whole") << send("{'ip':'10.0.0.9','port':6000.5,'protocol':'Udp','type':'ASCII','data':'x'}") << QStringList{"send 0"};
        QTest::newRow("unknown behavior") << QVariantMap{{"behavior", "Blink"}, {"value", "p2"}} << QStringList{"none 0"};
    }
    void events()
    {
        QFETCH(QVariantMap, event);
        QFETCH(QStringList, result);
        QCOMPARE(render(buttonEvent(event, kValues)), result);
    }

    void wildcards_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QJsonObject>("wildcard");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("ok");
        QTest::newRow("ascending keys: a replacement's key is replaced later") << "$a $b" << json("{'$b':'dock1:y','$a':'dock1:next'}") << "Y Y" << true;
        QTest::newRow("one pass per key") << "$x" << json("{'$x':'dock1:self'}") << "$x$x" << true;
        QTest::newRow("variables after, ascending") << "A $v" << json("{'$v':'dock1:volume'}") << "C 42" << true;
        QTest::newRow("case-sensitive") << "$V" << json("{'$v':'dock1:volume'}") << "$V" << true;
        QTest::newRow("third field ignored, number value") << "$v" << json("{'$v':'dock1:n:extra'}") << "7" << true;
        QTest::newRow("reference without key") << "[$v]" << json("{'$v':'dock1'}") << "[]" << true;
        QTest::newRow("empty key skipped") << "abc" << json("{'':'dock1:volume'}") << "abc" << true;
        QTest::newRow("growth past the limit") << QString("$L").repeated(66) << json("{'$L':'dock1:long'}") << "" << false;
        QTest::newRow("growth to the limit") << QString("$L").repeated(65) + QString(kMaxPayload - 65000, 'x') << json("{'$L':'dock1:long'}")
                                             << QString(65000, 'z') + QString(kMaxPayload - 65000, 'x') << true;
    }
    void wildcards()
    {
        QFETCH(QString, text);
        QFETCH(QJsonObject, wildcard);
        QFETCH(QString, result);
        QFETCH(bool, ok);
        bool done = !ok;
        QCOMPARE(substituteWildcards(text, wildcard, kValues, &done), result);
        QCOMPARE(done, ok);
    }

    void sliderValues_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("text");
        QTest::newRow("200") << 200.0 << "c800" << "200";
        QTest::newRow("1") << 1.0 << "0100" << "1";
        QTest::newRow("0.5") << 0.5 << "0000" << "0.5";
        QTest::newRow("200.9 truncated") << 200.9 << "c800" << "200.9";
        QTest::newRow("-1") << -1.0 << "ffff" << "-1";
        QTest::newRow("-200.7") << -200.7 << "38ff" << "-200.7";
        QTest::newRow("low 16 bits") << 65794.0 << "0201" << "65794";
        QTest::newRow("six digits") << 1234567.0 << "87d6" << "1.23457e+06";
        QTest::newRow("small") << 1e-5 << "0000" << "1e-05";
        QTest::newRow("huge") << 1e300 << "0000" << "1e+300";
        QTest::newRow("not a number") << std::nan("") << "0000" << "nan";
    }
    void sliderValues()
    {
        QFETCH(double, value);
        QFETCH(QString, hex);
        QFETCH(QString, text);
        QCOMPARE(sliderHex(value), hex);
        QCOMPARE(sliderText(value), text);
    }

    void sliders_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<double>("value");
        QTest::addColumn<QStringList>("packets");
        const QString to = "IP=10.0.0.20\r\nPort=7000\r\nKey=$V\r\n";
        QTest::newRow("hex") << to + "Hex=1\r\nData=A0 $V FF" << 200.0 << QStringList{"udp 10.0.0.20:7000 +5ms 0xa0c800ff"};
        QTest::newRow("hex, negative") << to + "Hex=1\r\nData=A0$V" << -3.0 << QStringList{"udp 10.0.0.20:7000 +5ms 0xa0fdff"};
        QTest::newRow("text") << to + "Data=VOL $V" << 200.0 << QStringList{"udp 10.0.0.20:7000 +5ms \"VOL 200\""};
        QTest::newRow("text, 0.5") << to + "Data=VOL $V" << 0.5 << QStringList{"udp 10.0.0.20:7000 +5ms \"VOL 0.5\""};
        QTest::newRow("first occurrence only, two lines") << to + "Data=$V/$V\r\nData=X" << -2.5 << QStringList{"udp 10.0.0.20:7000 +5ms \"-2.5/$V\"", "udp 10.0.0.20:7000 +5ms \"X\""};
        QTest::newRow("Tcp and Time ignored") << to + "Tcp=1\r\nTime=500\r\nData=$V" << 1.0 << QStringList{"udp 10.0.0.20:7000 +5ms \"1\""};
        QTest::newRow("no Key") << "IP=10.0.0.20\r\nPort=7000\r\nData=V" << 1.0 << QStringList{"udp 10.0.0.20:7000 +5ms \"V\""};
        QTest::newRow("bad port") << "IP=10.0.0.20\r\nPort=0\r\nData=V" << 1.0 << QStringList{};
    }
    void sliders()
    {
        QFETCH(QString, block);
        QFETCH(double, value);
        QFETCH(QStringList, packets);
        QCOMPARE(render(sliderPackets(block, value)), packets);
    }

    void sliderEvents_data()
    {
        QTest::addColumn<QJsonObject>("event");
        QTest::addColumn<double>("value");
        QTest::addColumn<QStringList>("packets");
        QTest::addColumn<bool>("storesState");
        QTest::newRow("not SendData") << json("{'behavior':'SwitchPage','value':'p'}") << 1.0 << QStringList{} << true;
        QTest::newRow("empty wildcard") << json("{'behavior':'SendData','value':{'ip':'10.0.0.30','port':8000,'data':'x','wildcard':{}}}") << 1.0 << QStringList{} << false;
        QTest::newRow("no wildcard") << json("{'behavior':'SendData','value':{'ip':'10.0.0.30','port':8000,'data':'x'}}") << 1.0 << QStringList{} << false;
        QTest::newRow("hex, first key ascending") << json("{'behavior':'SendData','value':{'ip':'10.0.0.30','port':8000,'type':'Hex','data':'B0 #a ## 01','wildcard':{'#a':'','##':''}}}")
                                                  << 200.0 << QStringList{"udp 10.0.0.30:8000 +5ms 0xb000c80001"} << true;
        QTest::newRow("decimal, truncated; Tcp not used") << json("{'behavior':'SendData','value':{'ip':'10.0.0.30','port':8000,'protocol':'Tcp','type':'ASCII','data':'L=$v $v','wildcard':{'$v':''}}}")
                                                          << -3.9 << QStringList{"udp 10.0.0.30:8000 +5ms \"L=-3 $v\""} << true;
        QTest::newRow("only \"Hex\" is hex") << json("{'behavior':'SendData','value':{'ip':'10.0.0.30','port':8000,'type':'hex','data':'$v','wildcard':{'$v':''}}}")
                                             << 42.7 << QStringList{"udp 10.0.0.30:8000 +5ms \"42\""} << true;
        QTest::newRow("bad ip still stores") << json("{'behavior':'SendData','value':{'ip':'','port':8000,'data':'$v','wildcard':{'$v':''}}}") << 1.0 << QStringList{} << true;
    }
    void sliderEvents()
    {
        QFETCH(QJsonObject, event);
        QFETCH(double, value);
        QFETCH(QStringList, packets);
        QFETCH(bool, storesState);
        bool stores = !storesState;
        QCOMPARE(render(sliderEventPackets(event, value, &stores)), packets);
        QCOMPARE(stores, storesState);
    }

    void matrix_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QStringList>("packets");
        const QString to = "IP=10.0.0.60\r\nPort=9000\r\n";
        QTest::newRow("all placeholders") << to + "Time=500\r\nData=$X_IP>$Y_IP $X_CD1 $X_CD2 $X_CD3 $X_CD4 $Y_CD1 $Y_CD2 $Y_CD3 $Y_CD4 $X_IP" << kX << kY
                                          << QStringList{"udp 10.0.0.60:9000 +5ms \"10.0.0.41>10.0.0.51 11 12 13 14 21 22 23 24 10.0.0.41\""};
        QTest::newRow("IPStr for 0.0.0.0") << "IP=0.0.0.0\r\nIPStr=$Y_IP\r\nPort=9000\r\nTcp=1\r\nData=SW $X_CD1" << kX << kY << QStringList{"tcp 10.0.0.51:9000 +5ms \"SW 11\""};
        QTest::newRow("IPStr ignored otherwise") << to + "IPStr=$Y_IP\r\nData=a" << kX << kY << QStringList{"udp 10.0.0.60:9000 +5ms \"a\""};
        QTest::newRow("0.0.0.0 stops, earlier packet stays") << to + "Data=a\r\nIP=0.0.0.0\r\nData=b\r\nIP=10.0.0.61\r\nData=c" << kX << kY << QStringList{"udp 10.0.0.60:9000 +5ms \"a\""};
        QTest::newRow("IPStr before IP") << "IPStr=$Y_IP\r\nIP=0.0.0.0\r\nPort=9000\r\nData=a" << kX << kY << QStringList{};
        QTest::newRow("short values") << to + "Data=[$X_CD1][$Y_IP][$Y_CD4]" << "10.0.0.41" << "" << QStringList{"udp 10.0.0.60:9000 +5ms \"[][][]\""};
        QTest::newRow("short value as destination") << "IP=0.0.0.0\r\nIPStr=$Y_IP\r\nPort=9000\r\nData=a" << kX << "" << QStringList{};
        QTest::newRow("order: X codes before Y") << to + "Data=$X_CD1 $Y_CD1" << "1;In;$Y_IP;;;" << "2;Out;$X_IP" << QStringList{"udp 10.0.0.60:9000 +5ms \"2 $X_IP\""};
        QTest::newRow("hex") << to + "Hex=1\r\nData=$X_CD1 $Y_CD1" << "a;b;0A" << "c;d;0B" << QStringList{"udp 10.0.0.60:9000 +5ms 0x0a0b"};
        QTest::newRow("Latin-1") << to + "Data=é€" << kX << kY << QStringList{"udp 10.0.0.60:9000 +5ms 0xe93f"};
        QTest::newRow("bad Tcp") << to + "Tcp=3\r\nData=a" << kX << kY << QStringList{};
    }
    void matrix()
    {
        QFETCH(QString, block);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QStringList, packets);
        QCOMPARE(render(matrixPackets(block, x, y)), packets);
    }

    void states_data()
    {
        QTest::addColumn<QStringList>("got");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("slider") << QStringList{sliderState("u1", 200), sliderState("u1", 0.5)} << QStringList{"S_u1_200", "S_u1_0.5"};
        QTest::newRow("preset") << QStringList{presetEntry("Morning", "M_u1_0_2_-1")} << QStringList{"Morning*&_0_2_-1"};
        QTest::newRow("preset, no columns") << QStringList{presetEntry("Empty", "M_u1")} << QStringList{"Empty*&_"};
        QTest::newRow("preset names with separators")
            << QStringList{presetEntry("a}b", "M_u1_0"), presetEntry("x&*y", "M_u1_0"), presetEntry("x*&y", "M_u1_0"), presetEntry("a;b", "M_u1_0")}
            << QStringList{"", "", "", ""};
        QTest::newRow("rows") << presetRows("Morning*&_0_2_-1") << QStringList{"0", "2", "-1"};
        QTest::newRow("rows, empty parts dropped") << presetRows("a_b*&_1__2_") << QStringList{"1", "2"};
        QTest::newRow("rows, none") << presetRows("Empty*&_") + presetRows("NoMarker_1") << QStringList{};
    }
    void states()
    {
        QFETCH(QStringList, got);
        QFETCH(QStringList, expected);
        QCOMPARE(got, expected);
    }
};

QTEST_MAIN(TestControlCommands)
#include "tst_controlcommands.moc"
