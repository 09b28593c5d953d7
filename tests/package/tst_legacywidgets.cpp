// An older controller's widget blocks, and the Design 2.0 items and events made of them.
#include "package/legacyitems.h"
#include "package/legacywidgets.h"

#include "support/testmain.h"

using namespace kora;
using namespace kora::package;

namespace {
// Block text as older controllers write it: CR LF lines.
QString blocks(const QStringList &lines) { return lines.join("\r\n") + "\r\n"; }

LegacyWidget only(const QString &text) { return readLegacyWidgets(text).widgets.value(0); }

QVariantMap node(int x, int y, int w, int h, const QString &audio)
{
    return {{"x", x}, {"y", y}, {"width", w}, {"height", h}, {"audio", audio}, {"chn", 0}};
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

class TestLegacyWidgets : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        columns<QString, QString, QRect>({"text", "colour", "rect"});
        QTest::newRow("sample colour") << "13,67,89" << "#0d4359" << QRect();
        QTest::newRow("component past 255") << "256,0,0" << "" << QRect();
        QTest::newRow("position") << "2752,1835,97x97" << "" << QRect(2752, 1835, 97, 97);
    }
    void values()
    {
        QFETCH(QString, text);
        QTEST(legacyColour(text), "colour");
        QTEST(legacyRect(text), "rect");
    }

    void wall()
    {
        const LegacyPageWidgets page = readLegacyWidgets(blocks(
            {"Panel{", "UUID=1", "Mode=0", "SceneEn=1", "PublishEn=0", "TopEn=1", "FreeEn=1", "DockEn=1", "OSDEn=0",
             "FullEn=0", "ToolBarEn=1", "Stream=4", "EgMode=1", "Clone=0", "Scale=2x2", "Size=3840x2160",
             "NodePos=0,0,0,0,1920x1080", "NodePos=1,0,1920,0,1920x1080", "NodePos=0,1,0,1080,1920x1080",
             "NodePos=1,1,1920,1080,1920x1080", "NodeIP=0,0,10.0.0.20", "NodeIP=1,0,10.0.0.21", "NodeIP=0,1,10.0.0.22",
             "NodeIP=1,1,10.0.0.23", "NodeIP=5,0,10.0.0.99", "Text{", "Text=Wall 1", "Clr=1,2,3", "Pos=0,0,100x20", "}",
             "BkRect{", "Pos=40,60,1280x720", "Clr=0,0,0", "}", "Dock{", "Name=Halves", "DockPos=0,0,1920x2160,1",
             "DockPos=1920,0,1920,2160,2", "DockPos=broken", "}", "AudioArea{", "DockPos=0,0,10x10,0", "}",
             "ToolBar{", "Mode=1", "Fix=1", "}", "}"}));
        QCOMPARE(page.widgets.size(), 1);
        // What the pages read under the Design 2.0 names.
        const QVariantMap map = page.widgets.first().map;
        QCOMPARE(int(page.widgets.first().kind), int(LegacyKind::Panel));
        QCOMPARE(map.value("globalPos").toRect(), QRect(40, 60, 1280, 720));
        QCOMPARE(map.value("nodeRects").toList().value(3), QVariant(node(1920, 1080, 1920, 1080, "10.0.0.23")));
        QCOMPARE(map.value("textMap").toMap().value("clr").toString(), QStringLiteral("#010203"));
        QCOMPARE(map.value("toolBar"), QVariant(QVariantMap{{"mode", 1}, {"fix", 1}}));
        QCOMPARE(map.value("audios").toStringList(), QStringList{"0,0,10x10,0"}); // what the audio clear sends to

        QCOMPARE(page.walls.size(), 1);
        const design::WallRecord &wall = page.walls.first();
        QCOMPARE(wall.id, QStringLiteral("1"));
        QCOMPARE(wall.freeLayout, 1);
        QCOMPARE(wall.fullScreen, 0);
        // The decoder outside the 2x2 grid is left out.
        QCOMPARE(wall.decoderAddresses, (QStringList{"10.0.0.20", "10.0.0.21", "10.0.0.22", "10.0.0.23"}));
        QCOMPARE(wall.cellRects.value(3), QRect(1920, 1080, 1920, 1080));
        QCOMPARE(wall.docks.size(), 1);
        QCOMPARE(wall.docks.first().windows.size(), 2);
        QCOMPARE(wall.docks.first().windows.at(0).rect, QRect(0, 0, 1920, 2160));
        QCOMPARE(wall.docks.first().windows.at(0).chn, 1);
        QCOMPARE(wall.docks.first().windows.at(1).rect, QRect(1920, 0, 1920, 2160));
        QCOMPARE(wall.docks.first().windows.at(1).chn, 2);
    }

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

    // A clock block is a date item in its own format; a text block stays text.
    void clockIsADate()
    {
        const QList<Design2Item> clock = design2Items(only(blocks({"Time{", "Text=hh:mm", "Type=2", "}"})));
        QCOMPARE(clock.size(), 1);
        QCOMPARE(int(clock.first().kind), int(Design2Kind::Date));
        QCOMPARE(clock.first().map.value("dateFormat").toString(), QStringLiteral("hh:mm"));
        QCOMPARE(int(design2Items(only(blocks({"Text{", "Text=Hi", "}"}))).value(0).kind), int(Design2Kind::Text));
    }

    // Two states: the first is up (unchecked), the second down (checked); entering a state
    // sends its commands. Mode 1 latches.
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

KORA_TEST(TestLegacyWidgets)
#include "tst_legacywidgets.moc"
