#include "package/legacyitems.h"

#include <QtTest>

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
    void look_data()
    {
        QTest::addColumn<QVariantMap>("legacy");
        QTest::addColumn<QVariantMap>("look");
        QTest::newRow("colour and border")
            << QVariantMap{{"globalPos", QRect(1, 2, 3, 4)}, {"clr", "#0d4359"}, {"egWidth", 2}, {"egClr", "#000000"}, {"trans", 80}, {"layer", 3}}
            << QVariantMap{{"globalPos", QRect(1, 2, 3, 4)}, {"isMonoFilled", true}, {"monoColor", "#0d4359"}, {"clr", "#0d4359"},
                           {"egWidth", 2}, {"egClr", "#000000"}, {"trans", 80}};
        QTest::newRow("mode 1 with two colours is a gradient")
            << QVariantMap{{"clr", "#000000"}, {"clr2", "#ffffff"}, {"bkMode", 1}}
            << QVariantMap{{"isMonoFilled", true}, {"monoColor", "#000000"}, {"clr", "#000000"}, {"isGradientFilled", true},
                           {"gradientRotate", 90},
                           {"gradientColor", QVariantList{QVariantMap{{"QColor", "#000000"}, {"qreal", 0.0}},
                                                          QVariantMap{{"QColor", "#ffffff"}, {"qreal", 1.0}}}}};
        QTest::newRow("mode 0 keeps one colour")
            << QVariantMap{{"clr", "#000000"}, {"clr2", "#ffffff"}, {"bkMode", 0}}
            << QVariantMap{{"isMonoFilled", true}, {"monoColor", "#000000"}, {"clr", "#000000"}};
        QTest::newRow("empty colour and picture fill nothing")
            << QVariantMap{{"clr", ""}, {"bkPic", ""}} << QVariantMap{};
        QTest::newRow("picture from the data folder") << QVariantMap{{"bkPic", "bg.png"}} << QVariantMap{{"bkPic", "./data/bg.png"}};
    }
    void look()
    {
        QFETCH(QVariantMap, legacy);
        QFETCH(QVariantMap, look);
        QCOMPARE(design2Look(legacy), look);
    }

    void events_data()
    {
        QTest::addColumn<QStringList>("cmd");
        QTest::addColumn<QVariantList>("events");
        QTest::newRow("hex datagram")
            << QStringList{"\r\nIP=10.0.0.8\r\nPort=9000\r\nHex=1\r\nData=AA 55 01\r\n"}
            << QVariantList{sendEvent("ButtonPressed", 0, send("10.0.0.8", 9000, "Udp", "Hex", "aa 55 01"))};
        QTest::newRow("text over TCP, waits add up")
            << QStringList{"\r\nIP=10.0.0.8\r\nPort=9001\r\nTcp=1\r\nTime=100\r\nData=A\r\n",
                           "\r\nIP=10.0.0.9\r\nTime=50\r\nData=B\r\n"}
            << QVariantList{sendEvent("ButtonPressed", 100, send("10.0.0.8", 9001, "Tcp", "Hex", "41")),
                            sendEvent("ButtonPressed", 150, send("10.0.0.9", 9001, "Tcp", "Hex", "42"))};
        QTest::newRow("in-design command")
            << QStringList{"\r\nIP=127.0.0.1\r\nData={InlineLogout}\r\n"}
            << QVariantList{sendEvent("ButtonPressed", 0, send("127.0.0.1", 0, "Udp", "ASCII", "{InlineLogout}"))};
        QTest::newRow("no destination sends nothing") << QStringList{"\r\nData=AA\r\n"} << QVariantList{};
        QTest::newRow("no blocks") << QStringList{} << QVariantList{};
    }
    void events()
    {
        QFETCH(QStringList, cmd);
        QFETCH(QVariantList, events);
        QCOMPARE(design2Events(cmd, "ButtonPressed"), events);
    }

    // Every legacy kind lands on the Design 2.0 item that does its job, with these keys.
    void kinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<kora::package::Design2Kind>>("kinds");
        QTest::addColumn<QVariantMap>("first"); // keys of the first item that must match

        using K = Design2Kind;
        QTest::newRow("rectangle") << blocks({"BkRect{", "Pos=0,0,10x10", "Clr=1,2,3", "}"}) << QList<K>{K::Rect}
                                   << QVariantMap{{"globalPos", QRect(0, 0, 10, 10)}, {"isMonoFilled", true}, {"monoColor", "#010203"}};
        QTest::newRow("text")
            << blocks({"Text{", "Pos=1,2,3x4", "Clr=255,0,0", "Text=Hi", "Align=33", "Font=Sans", "Angle=90", "TextH=20", "}"})
            << QList<K>{K::Text}
            << QVariantMap{{"globalPos", QRect(1, 2, 3, 4)}, {"clr", "#ff0000"}, {"text", "Hi"}, {"alignHor", 1}, {"alignVer", 32},
                           {"family", "Sans"}, {"rotate", 90}, {"px", 20}, {"enableVisible", true}};
        QTest::newRow("text without alignment is centred")
            << blocks({"Text{", "Text=Hi", "}"}) << QList<K>{K::Text}
            << QVariantMap{{"text", "Hi"}, {"alignHor", 4}, {"alignVer", 128}, {"enableVisible", true}};
        QTest::newRow("clock with its own format")
            << blocks({"Time{", "Text=hh:mm", "Type=2", "}"}) << QList<K>{K::Date}
            << QVariantMap{{"dateFormat", "hh:mm"}, {"alignHor", 4}, {"alignVer", 128}, {"enableVisible", true}};
        QTest::newRow("clock by type") << blocks({"Time{", "Type=2", "}"}) << QList<K>{K::Date}
                                       << QVariantMap{{"dateFormat", "yyyy-MM-dd"}, {"alignHor", 4}, {"alignVer", 128},
                                                      {"enableVisible", true}};
        QTest::newRow("wall, its caption and toolbar")
            << blocks({"Panel{", "UUID=7", "Scale=2x1", "Size=3840x1080", "FullEn=1", "FreeEn=0", "ToolBarEn=1", "Stream=4",
                       "NodePos=0,0,0,0,1920x1080", "NodeIP=0,0,10.0.0.20", "Text{", "Text=Wall", "}", "BkRect{",
                       "Pos=10,10,640x180", "EgWidth=1", "}", "ToolBar{", "Mode=1", "BkRect{", "Pos=10,190,640x20", "}", "}", "}"})
            << QList<K>{K::Screen, K::Text, K::Rect}
            << QVariantMap{{"id", "7"}, {"objectName", "7"}, {"splitSize", QSize(2, 1)}, {"size", QSize(3840, 1080)},
                           {"fullEn", true}, {"freeEn", false}, {"isShowToolbar", true}, {"stream", 4},
                           {"globalPos", QRect(10, 10, 640, 180)}, {"egWidth", 1},
                           {"nodeRects", QVariantList{QVariantMap{{"x", 0}, {"y", 0}, {"width", 1920}, {"height", 1080},
                                                                  {"audio", "10.0.0.20"}, {"chn", 0}}}}};
        QTest::newRow("search box")
            << blocks({"SearchBox{", "LinkUUID=200001", "BkRect{", "Pos=1,1,5x5", "}", "}"}) << QList<K>{K::InputBox}
            << QVariantMap{{"linkedWidget", "200001"}, {"isSearchMode", true}, {"isPasswdMode", false}, {"enableVisible", true},
                           {"globalPos", QRect(1, 1, 5, 5)}, {"BKRect", QVariantMap{{"globalPos", QRect(1, 1, 5, 5)}}}};
        QTest::newRow("signal list")
            << blocks({"Preview{", "UUID=200001", "WinNum=6", "DragEn=1", "ScenePanel=1", "Padding=3", "Mode=0",
                       "GroupList=A|B", "ScrollW=0", "BkRect{", "Pos=0,0,300x900", "}", "}"})
            << QList<K>{K::Preview}
            << QVariantMap{{"objectName", "200001"}, {"winNum", 6}, {"dragEn", true}, {"scenePanel", "1"}, {"space", 3},
                           {"direction", 1}, {"linkedGroup", QStringList{"A", "B"}}, {"isShowScrollbar", false}};
        QTest::newRow("wide signal list runs left to right")
            << blocks({"Preview{", "BkRect{", "Pos=0,0,900x300", "}", "}"}) << QList<K>{K::Preview}
            << QVariantMap{{"direction", 0}, {"globalPos", QRect(0, 0, 900, 300)}};
        QTest::newRow("level display")
            << blocks({"Listen{", "UUID=500001", "Min=-60", "Max=0", "Text_en=1", "Text{", "Text=Level", "}", "Cmd{", "Hex=1", "}", "}"})
            << QList<K>{K::Docker}
            << QVariantMap{{"objectName", "500001"}, {"dataDockerType", 2}, {"dataMinValue", -60}, {"dataMaxValue", 0},
                           {"isShowLable", true}, {"textMap", QVariantMap{{"text", "Level"}}}, {"hex", "HEX"}};
        QTest::newRow("slider")
            << blocks({"Slider{", "UUID=400001", "Min=0", "Max=100", "Mode=2", "Text_en=0", "StartAngle=135", "TotalAngle=270",
                       "BkRect{", "Pos=0,0,60x300", "}", "Button{", "ButtonState{", "BkRect{", "Pic=knob.png", "}", "Cmd{",
                       "IP=10.0.0.8", "Port=9000", "Hex=1", "Key=$V", "Data=AA $V CC", "}", "}", "}", "}"})
            << QList<K>{K::Slider}
            << QVariantMap{{"objectName", "400001"}, {"minValue", 0}, {"maxValue", 100}, {"sliderType", 2},
                           {"showTextLable", false}, {"startAngle", 135}, {"endAngle", 45}, {"rotateDir", 0},
                           {"buttonMap", QVariantMap{{"bkPic", "./data/knob.png"}}},
                           {"cmd", "\r\nIP=10.0.0.8\r\nPort=9000\r\nHex=1\r\nKey=$V\r\nData=AA $V CC\r\n"},
                           {"eventAttrList",
                            QVariantList{QVariantMap{{"action", "Sliding"}, {"behavior", "SendData"}, {"delay", 0}, {"loop", 0},
                                                     {"value", QVariantMap{{"ip", "10.0.0.8"}, {"port", 9000}, {"protocol", "Udp"},
                                                                           {"type", "Hex"}, {"data", "AA $V CC"},
                                                                           {"wildcard", QVariantMap{{"$V", ""}}}}}}}}};
        QTest::newRow("slider without a placeholder sends nothing")
            << blocks({"Slider{", "UUID=4", "Button{", "ButtonState{", "Cmd{", "IP=10.0.0.8", "Data=AA", "}", "}", "}", "}"})
            << QList<K>{K::Slider} << QVariantMap{{"eventAttrList", QVariantList{}}};
        QTest::newRow("matrix keeps its keys and gains the host's")
            << blocks({"Matrix{", "UUID=300001", "Scale=4x2", "XList=a|b", "Button{", "ButtonState{", "Cmd{", "Data=OFF", "}",
                       "}", "ButtonState{", "Cmd{", "Data=ON", "}", "}", "}", "}"})
            << QList<K>{K::Matrix}
            << QVariantMap{{"UUID", "300001"}, {"uuid", "300001"}, {"col", 4}, {"row", 2}, {"xlist", QStringList{"a", "b"}},
                           {"vxButton", QVariantMap{{"state0", QVariantMap{{"cmd", "\r\nData=OFF\r\n"}}},
                                                    {"state1", QVariantMap{{"cmd", "\r\nData=ON\r\n"}}}}}};
        QTest::newRow("page list")
            << blocks({"List{", "UUID=9", "ItemH=40", "PageSwitch=1", "BkRect{", "Clr=1,1,1", "}", "}"}) << QList<K>{K::List}
            << QVariantMap{{"uuid", "9"}, {"itemH", 40}, {"PageSwitch", "1"},
                           {"bkRect", QVariantMap{{"isMonoFilled", true}, {"monoColor", "#010101"}, {"clr", "#010101"}}}};
    }
    void kinds()
    {
        QFETCH(QString, text);
        QFETCH(QList<kora::package::Design2Kind>, kinds);
        QFETCH(QVariantMap, first);
        const QList<Design2Item> items = design2Items(only(text));
        QList<Design2Kind> got;
        for (const Design2Item &i : items)
            got.append(i.kind);
        QCOMPARE(got, kinds);
        const QVariantMap map = items.first().map;
        for (auto it = first.cbegin(); it != first.cend(); ++it)
            QVERIFY2(map.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    void wallPartsAreTiedToTheWall()
    {
        const QList<Design2Item> items = design2Items(only(blocks(
            {"Panel{", "UUID=7", "Text{", "Text=Wall", "Clr=1,2,3", "Pos=0,0,9x9", "}", "ToolBar{", "BkRect{", "Pos=1,1,2x2", "}", "}", "}"})));
        QCOMPARE(items.size(), 3);
        QCOMPARE(items.at(1).map, (QVariantMap{{"text", "Wall"}, {"clr", "#010203"}, {"globalPos", QRect(0, 0, 9, 9)},
                                               {"panel_id", "7"}, {"enableVisible", true}, {"alignHor", 4}, {"alignVer", 128}}));
        QCOMPARE(items.at(2).map, (QVariantMap{{"globalPos", QRect(1, 1, 2, 2)}, {"panel_id", "7"}}));
        // No toolbar rectangle without a drawn toolbar.
        QCOMPARE(design2Items(only(blocks({"Panel{", "UUID=7", "ToolBar{", "Mode=1", "}", "}"}))).size(), 1);
    }

    // Two states: the first is up (unchecked), the second down (checked); entering a state
    // sends its commands. Mode 1 latches.
    void button_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("autoLift");
        QTest::newRow("latching") << "1" << false;
        QTest::newRow("momentary") << "0" << true;
        QTest::newRow("no mode") << "" << true;
    }
    void button()
    {
        QFETCH(QString, mode);
        QFETCH(bool, autoLift);
        const QString text = blocks({"Button{", "UUID=600001", "Default=1", "PageSwitch=2"}) + QStringLiteral("Mode=") + mode
                             + blocks({"", "ButtonState{", "Text=Off", "Clr=1,1,1", "BkRect{", "Pos=10,20,30x40", "Pic=off.png",
                                       "Clr=2,2,2", "}", "Cmd{", "IP=10.0.0.8", "Port=9000", "Hex=1", "Data=00", "}", "}",
                                       "ButtonState{", "Text=On", "BkRect{", "Pic=on.png", "}", "Cmd{", "IP=10.0.0.8",
                                       "Port=9000", "Hex=1", "Data=01", "}", "}", "}"});
        const QList<Design2Item> items = design2Items(only(text));
        QCOMPARE(items.size(), 1);
        QCOMPARE(int(items.first().kind), int(Design2Kind::Button));
        const QVariantMap map = items.first().map;
        QCOMPARE(map.value("objectName").toString(), QStringLiteral("600001"));
        QCOMPARE(map.value("autoLift").toBool(), autoLift);
        QCOMPARE(map.value("usingPolyState").toInt(), 1); // "Default=1": starts checked
        QCOMPARE(map.value("buttonGroup").toInt(), -1);
        QCOMPARE(map.value("globalPos").toRect(), QRect(10, 20, 30, 40));
        QCOMPARE(map.value("text").toMap(), states("Off", "On"));
        QCOMPARE(map.value("textColor").toMap(), states("#010101", "#010101"));
        QCOMPARE(map.value("bkPic").toMap(), states("./data/off.png", "./data/on.png"));
        QCOMPARE(map.value("monoColor").toMap(), states("#020202", "#020202"));
        QCOMPARE(map.value("eventAttrList").toList(),
                 (QVariantList{sendEvent("ButtonPressed", 0, send("10.0.0.8", 9000, "Udp", "Hex", "01")),
                               sendEvent("ButtonRelease", 0, send("10.0.0.8", 9000, "Udp", "Hex", "00")),
                               QVariantMap{{"action", "Clicked"}, {"behavior", "SwitchPage"}, {"delay", 0}, {"loop", 0},
                                           {"value", "2"}}}));
    }

    void listener_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariantMap>("send");
        QTest::addColumn<QVariantMap>("recv");
        const auto recv = [](int port, const char *protocol, const char *ip, const char *type, const char *data,
                             const char *key) {
            return QVariantMap{{"port", port}, {"protocol", protocol}, {"ip", ip}, {"type", type}, {"data", data}, {"key", key}};
        };
        const QVariantMap none;
        QTest::newRow("hex, the template's spaces dropped")
            << blocks({"Listen{", "UUID=1", "Cmd{", "IP=10.0.0.8", "Port=9000", "Hex=1", "Time=1000", "Data=AA 55 10 02 CC",
                       "RecvPort=9011", "Reply=AA 55 90 02 $L CC", "Key=$L", "}", "}"})
            << QVariantMap{{"ip", "10.0.0.8"}, {"port", 9000}, {"data", "AA 55 10 02 CC"}, {"time", 1000}, {"type", "HEX"}}
            << recv(9011, "Udp", "", "HEX", "AA559002$LCC", "$L");
        // A line with a brace opens or closes a block in this form, so text requests have none.
        QTest::newRow("text keeps its template; replies where it asks")
            << blocks({"Listen{", "UUID=2", "Cmd{", "IP=10.0.0.8", "Port=9002", "Hex=0", "Time=500", "Data=GET LEVEL 3",
                       "Reply=LEVEL 3 $V dB", "Key=$V", "}", "}"})
            << QVariantMap{{"ip", "10.0.0.8"}, {"port", 9002}, {"data", "GET LEVEL 3"}, {"time", 500}, {"type", "ASC"}}
            << recv(9002, "Udp", "", "ASC", "LEVEL 3 $V dB", "$V");
        QTest::newRow("a group to join; a bad reply port is the request's")
            << blocks({"Listen{", "UUID=3", "Cmd{", "IP=10.0.0.8", "Port=9000", "Hex=1", "Data=AA 55 11 03 CC",
                       "RecvPort=70000", "Group=239.77.8.1", "Reply=AA 55 90 03 $L CC", "Key=$L", "}", "}"})
            << QVariantMap{{"ip", "10.0.0.8"}, {"port", 9000}, {"data", "AA 55 11 03 CC"}, {"time", 0}, {"type", "HEX"}}
            << recv(9000, "Multicast", "239.77.8.1", "HEX", "AA559003$LCC", "$L");
        QTest::newRow("no command block") << blocks({"Listen{", "UUID=4", "}"}) << none << none;
        QTest::newRow("no target") << blocks({"Listen{", "UUID=5", "Cmd{", "Port=9000", "Data=x", "}", "}"}) << none << none;
        QTest::newRow("port out of range")
            << blocks({"Listen{", "UUID=6", "Cmd{", "IP=10.0.0.8", "Port=65536", "Data=x", "}", "}"}) << none << none;
        QTest::newRow("no request")
            << blocks({"Listen{", "UUID=7", "Cmd{", "IP=10.0.0.8", "Port=9000", "}", "}"}) << none << none;
    }

    void listener()
    {
        QFETCH(QString, text);
        const ListenerMaps maps = listenerMaps(only(text).map);
        QTEST(maps.send, "send");
        QTEST(maps.recv, "recv");
    }

    void page()
    {
        QCOMPARE(design2Page("2", "Room"),
                 (QVariantMap{{"objectName", "Room"}, {"pageId", "2"}, {"isGlobalPage", false}, {"isNoFilled", true}}));
    }
};

QTEST_APPLESS_MAIN(TestLegacyItems)
#include "tst_legacyitems.moc"
