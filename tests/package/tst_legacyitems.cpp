#include "package/legacyitems.h"

#include "support/testmain.h"

using namespace kora::package;

Q_DECLARE_METATYPE(kora::package::Design2Kind)

namespace {
QString blocks(std::initializer_list<const char *> lines)
{
    QStringList all;
    for (const char *l : lines)
        all.append(QString::fromUtf8(l));
    return all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

LegacyWidget only(const QString &text)
{
    const LegacyPageWidgets page = readLegacyWidgets(text);
    return page.widgets.value(0);
}

QVariantMap send(const QString &ip, int port, const char *protocol, const char *type, const QString &data)
{
    return {{"ip", ip}, {"port", port}, {"protocol", protocol}, {"type", type}, {"data", data}};
}

QVariantMap sendEvent(const char *action, int delay, const QVariantMap &value)
{
    return {{"action", action}, {"behavior", "SendData"}, {"delay", delay}, {"loop", 0}, {"value", value}};
}

QVariantMap states(const QVariant &up, const QVariant &down)
{
    return {{"normal", up}, {"hover", up}, {"pressed", down}};
}
} // namespace

class TestLegacyItems : public QObject
{
    Q_OBJECT
private slots:
    void events_data()
    {
        columns<QStringList, QVariantList>({"cmd", "events"});
        QTest::newRow("hex datagram")
            << QStringList{"\r\nIP=10.0.0.8\r\nPort=9000\r\nHex=1\r\nData=AA 55 01\r\n"}
            << QVariantList{sendEvent("ButtonPressed", 0, send("10.0.0.8", 9000, "Udp", "Hex", "aa 55 01"))};
        QTest::newRow("in-design command")
            << QStringList{"\r\nIP=127.0.0.1\r\nData={InlineLogout}\r\n"}
            << QVariantList{sendEvent("ButtonPressed", 0, send("127.0.0.1", 0, "Udp", "ASCII", "{InlineLogout}"))};
        QTest::newRow("no destination sends nothing") << QStringList{"\r\nData=AA\r\n"} << QVariantList{};
    }
    void events()
    {
        QFETCH(QStringList, cmd);
        QTEST(design2Events(cmd, "ButtonPressed"), "events");
    }

    // Two states: the first is up (unchecked), the second down (checked); entering a state
    // sends its commands. Mode 1 latches.
    // A clock block is a date item in its own format; a text block stays text.
    void clockIsADate()
    {
        const QList<Design2Item> clock = design2Items(only(blocks({"Time{", "Text=hh:mm", "Type=2", "}"})));
        QCOMPARE(clock.size(), 1);
        QCOMPARE(int(clock.first().kind), int(Design2Kind::Date));
        QCOMPARE(clock.first().map.value("dateFormat").toString(), QStringLiteral("hh:mm"));
        QCOMPARE(int(design2Items(only(blocks({"Text{", "Text=Hi", "}"}))).value(0).kind), int(Design2Kind::Text));
    }

    void button()
    {
        const QString text = blocks({"Button{", "UUID=600001", "Default=1", "PageSwitch=2", "Mode=1", "ButtonState{", "Text=Off",
                                     "Clr=1,1,1", "BkRect{", "Pos=10,20,30x40", "Pic=off.png", "Clr=2,2,2", "}", "Cmd{",
                                     "IP=10.0.0.8", "Port=9000", "Hex=1", "Data=00", "}", "}", "ButtonState{", "Text=On",
                                     "BkRect{", "Pic=on.png", "}", "Cmd{", "IP=10.0.0.8", "Port=9000", "Hex=1", "Data=01", "}",
                                     "}", "}"});
        const QList<Design2Item> items = design2Items(only(text));
        QCOMPARE(items.size(), 1);
        QCOMPARE(int(items.first().kind), int(Design2Kind::Button));
        const QVariantMap map = items.first().map;
        QCOMPARE(map.value("objectName").toString(), QStringLiteral("600001"));
        QCOMPARE(map.value("autoLift").toBool(), false);
        QCOMPARE(map.value("usingPolyState").toInt(), 1); // "Default=1": starts checked
        QCOMPARE(map.value("globalPos").toRect(), QRect(10, 20, 30, 40));
        QCOMPARE(map.value("text").toMap(), states("Off", "On"));
        QCOMPARE(map.value("bkPic").toMap(), states("./data/off.png", "./data/on.png"));
        QCOMPARE(map.value("eventAttrList").toList(),
                 (QVariantList{sendEvent("ButtonPressed", 0, send("10.0.0.8", 9000, "Udp", "Hex", "01")),
                               sendEvent("ButtonRelease", 0, send("10.0.0.8", 9000, "Udp", "Hex", "00")),
                               QVariantMap{{"action", "Clicked"}, {"behavior", "SwitchPage"}, {"delay", 0}, {"loop", 0},
                                           {"value", "2"}}}));
    }
};

KORA_TEST(TestLegacyItems)
#include "tst_legacyitems.moc"
