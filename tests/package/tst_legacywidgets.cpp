#include "package/legacywidgets.h"

#include <QtTest>

using namespace kora;
using namespace kora::package;

Q_DECLARE_METATYPE(kora::package::LegacyKind)

namespace {
// Block text as older controllers write it: CR LF lines.
QString blocks(std::initializer_list<const char *> lines)
{
    QStringList all;
    for (const char *l : lines)
        all.append(QString::fromUtf8(l));
    return all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QVariantMap node(int x, int y, int w, int h, const QString &audio)
{
    return {{"x", x}, {"y", y}, {"width", w}, {"height", h}, {"audio", audio}, {"chn", 0}};
}
} // namespace

class TestLegacyWidgets : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("sample colour") << "13,67,89" << "#0d4359" << QRect();
        QTest::newRow("empty colour stays empty") << "" << "" << QRect();
        QTest::newRow("component past 255") << "256,0,0" << "" << QRect();
        QTest::newRow("two components") << "13,67" << "" << QRect();
        QTest::newRow("white") << "255,255,255" << "#ffffff" << QRect();
        QTest::newRow("position") << "2752,1835,97x97" << "" << QRect(2752, 1835, 97, 97);
        QTest::newRow("position sample") << "439,714,800x160" << "" << QRect(439, 714, 800, 160);
        QTest::newRow("negative origin") << "-10,-20,30x40" << "" << QRect(-10, -20, 30, 40);
        QTest::newRow("three numbers: a colour, no position") << "1,2,3" << "#010203" << QRect();
        QTest::newRow("negative size") << "1,2,-3x4" << "" << QRect();
    }
    void values()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        QFETCH(QRect, rect);
        QCOMPARE(legacyColour(text), colour);
        QCOMPARE(legacyRect(text), rect);
    }

    // Every block kind, alone on a page, gives one widget of its kind with these maps.
    void kinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<kora::package::LegacyKind>("kind");
        QTest::addColumn<QVariantMap>("map");

        QTest::newRow("rectangle")
            << blocks({"BkRect{", "Pos=0,0,1920x1080", "Pic=bg.png", "EgWidth=2", "EgClr=13,67,89", "Clr=0,0,0",
                       "Mode=1", "Clr2=255,255,255", "Trans=80", "Layer=3", "}"})
            << LegacyKind::Rect
            << QVariantMap{{"globalPos", QRect(0, 0, 1920, 1080)}, {"bkPic", "bg.png"}, {"egWidth", 2},
                           {"egClr", "#0d4359"}, {"clr", "#000000"}, {"bkMode", 1}, {"clr2", "#ffffff"},
                           {"trans", 80}, {"layer", 3}};
        QTest::newRow("rectangle with absent keys and an empty colour")
            << blocks({"BkRect{", "Pos=10,10,5x5", "Clr=", "}"}) << LegacyKind::Rect
            << QVariantMap{{"globalPos", QRect(10, 10, 5, 5)}, {"clr", ""}};
        QTest::newRow("text")
            << blocks({"Text{", "Pos=10,20,300x40", "Clr=255,0,0", "Text=Hall=A", "Align=4", "Font=Sans", "Angle=90",
                       "TextH=24", "Layer=2", "}"})
            << LegacyKind::Text
            << QVariantMap{{"globalPos", QRect(10, 20, 300, 40)}, {"clr", "#ff0000"}, {"text", "Hall"}, {"align", 4},
                           {"family", "Sans"}, {"angle", 90}, {"px", 24}, {"layer", 2}, {"time", 0}};
        QTest::newRow("clock")
            << blocks({"Time{", "Pos=1,2,3x4", "Type=2", "Text=", "}"}) << LegacyKind::Text
            << QVariantMap{{"globalPos", QRect(1, 2, 3, 4)}, {"type", 2}, {"text", ""}, {"time", 1}};
        QTest::newRow("search box")
            << blocks({"SearchBox{", "LinkUUID=700001", "BkRect{", "Pos=5,6,7x8", "Clr=1,2,3", "}", "}"})
            << LegacyKind::SearchBox
            << QVariantMap{{"linkUUID", "700001"}, {"globalPos", QRect(5, 6, 7, 8)}, {"clr", "#010203"}};
        QTest::newRow("list")
            << blocks({"List{", "ItemH=40", "ItemOffset=4", "Clr=1,1,1", "TextClr=2,2,2", "SelTextClr=3,3,3",
                       "SelTrans=50", "EgWidth=1", "EgClr=4,4,4", "PageSwitch=1", "GroupList=A|B||C", "UUID=800001",
                       "ScrollW=12", "ScrollClr=5,5,5", "ScrollTrans=30", "BkRect{", "Pos=0,0,200x400", "}", "}"})
            << LegacyKind::List
            << QVariantMap{{"itemH", 40}, {"itemOffset", 4}, {"Clr", "#010101"}, {"TextClr", "#020202"},
                           {"SelTextClr", "#030303"}, {"selTrans", 50}, {"EgWidth", 1}, {"EgClr", "#040404"},
                           {"PageSwitch", "1"}, {"groupList", QStringList{"A", "B", "C"}}, {"UUID", "800001"},
                           {"ScrollW", 12}, {"ScrollClr", "#050505"}, {"ScrollTrans", 30},
                           {"globalPos", QRect(0, 0, 200, 400)}};
        QTest::newRow("level display")
            << blocks({"Listen{", "Min=-60", "Max=0", "Mode=1", "UUID=500001", "Text_en=1", "Text{", "Text=Level",
                       "Clr=9,9,9", "Pos=1,1,10x10", "}", "BkRect{", "Pos=0,0,50x200", "}", "Cmd{", "IP=10.0.0.8",
                       "Hex=1", "Key=LV", "}", "}"})
            << LegacyKind::Listen
            << QVariantMap{{"Min", -60}, {"Max", 0}, {"Mode", 1}, {"UUID", "500001"}, {"Text_en", true},
                           {"textMap", QVariantMap{{"text", "Level"}, {"textClr", "#090909"}, {"globalPos", QRect(1, 1, 10, 10)}}},
                           {"globalPos", QRect(0, 0, 50, 200)}, {"hex", "HEX"}, {"key", "LV"},
                           {"cmd", "\r\nIP=10.0.0.8\r\nHex=1\r\nKey=LV\r\n"}};
        QTest::newRow("level display in text")
            << blocks({"Listen{", "UUID=500002", "Cmd{", "Hex=0", "}", "}"}) << LegacyKind::Listen
            << QVariantMap{{"UUID", "500002"}, {"hex", "ASC"}, {"key", ""}, {"cmd", "\r\nHex=0\r\n"}};
        QTest::newRow("slider")
            << blocks({"Slider{", "Min=0", "Max=100", "Mode=2", "Text_en=0", "UUID=400001", "StartAngle=135",
                       "TotalAngle=270", "Text{", "Text=Vol", "Clr=1,2,3", "Pos=0,0,10x10", "}", "BkRect{",
                       "Pos=100,100,60x300", "}", "Button{", "UUID=400002", "ButtonState{", "Text=o", "Cmd{",
                       "IP=10.0.0.8", "Data=AA", "}", "}", "}", "}"})
            << LegacyKind::Slider
            << QVariantMap{{"min", 0}, {"max", 100}, {"Mode", 2}, {"Text_en", false}, {"UUID", "400001"},
                           {"startAngle", 135}, {"totalAngle", 270},
                           {"textMap", QVariantMap{{"text", "Vol"}, {"textClr", "#010203"}, {"globalPos", QRect(0, 0, 10, 10)}}},
                           {"globalPos", QRect(100, 100, 60, 300)},
                           {"buttonMap", QVariantMap{{"UUID", "400002"},
                                                     {"state0", QVariantMap{{"text", "o"},
                                                                            {"cmd", QStringList{"\r\nIP=10.0.0.8\r\nData=AA\r\n"}}}},
                                                     {"state1", QVariantMap{}}}}};
        QTest::newRow("matrix")
            << blocks({"Matrix{", "Scale=4x2", "FullLine=1", "SpaceX=3", "SpaceY=5", "TextClr=1,1,1", "EgWidth=2",
                       "EgClr=2,2,2", "ToolBarEn=1", "SceneEn=0", "UUID=300001", "YList=a;1|b;2", "XList=c;3",
                       "ToolBar{", "Mode=1", "Fix=0", "BkRect{", "Pos=0,0,100x20", "}", "}", "}"})
            << LegacyKind::Matrix
            << QVariantMap{{"col", 4}, {"row", 2}, {"fullLine", true}, {"spaceX", 3}, {"spaceY", 5}, {"TextClr", "#010101"},
                           {"EgWidth", 2}, {"EgClr", "#020202"}, {"ToolBarEn", true}, {"SceneEn", false},
                           {"UUID", "300001"}, {"ylist", QStringList{"a;1", "b;2"}}, {"xlist", QStringList{"c;3"}},
                           {"toolBar", QVariantMap{{"mode", 1}, {"fix", 0}, {"globalPos", QRect(0, 0, 100, 20)}}}};
        QTest::newRow("signal list")
            << blocks({"Preview{", "Mode=0", "UUID=200001", "WinNum=6", "WinOffset=8", "TextOffset=20",
                       "TextOffsetX=4", "Padding=2", "DragEn=1", "ScenePanel=1", "SceneMatirx=0", "TextClr=10,20,30",
                       "ScrollW=10", "ScrollClr=0,0,0", "ScrollTrans=40", "AudioEn=0", "GroupList=Lobby|Studio",
                       "Label{", "Size=120", "TextClr=1,1,1", "SelTextClr=2,2,2", "}", "BkRect{", "Pos=0,0,300x900",
                       "}", "}"})
            << LegacyKind::Preview
            << QVariantMap{{"Mode", 0}, {"UUID", "200001"}, {"winNum", 6}, {"winOffset", 8}, {"textOffset", 20},
                           {"textOffsetx", 4}, {"padding", 2}, {"dragEn", true}, {"scenePanel", "1"},
                           {"sceneMatirx", "0"}, {"textClr", "#0a141e"}, {"scrollW", 10}, {"scrollClr", "#000000"},
                           {"scrollTrans", 40}, {"audioEn", false},
                           {"tabMap", QVariantMap{{"labelW", 120}, {"TextClr", "#010101"}, {"selTextClr", "#020202"}}},
                           {"globalPos", QRect(0, 0, 300, 900)}};
        QTest::newRow("button")
            << blocks({"Button{", "UUID=600001", "Default=1", "PageSwitch=2", "Link=600002", "Mode=1",
                       "LinkLayer=3", "ButtonState{", "Text=On", "Clr=1,2,3", "Pos=5,5,10x10", "BkRect{",
                       "Pos=100,200,80x40", "Pic=on.png", "}", "Cmd{", "IP=10.0.0.8", "Data=AA", "}", "Cmd{",
                       "Time=100", "Data=BB", "}", "}", "ButtonState{", "Text=Off", "}", "}"})
            << LegacyKind::Button
            << QVariantMap{{"UUID", "600001"}, {"isCheck", true}, {"pageSwitch", "2"}, {"link", "600002"},
                           {"mode", 1}, {"linkLayer", "3"}};
    }
    void kinds()
    {
        QFETCH(QString, text);
        QFETCH(kora::package::LegacyKind, kind);
        QFETCH(QVariantMap, map);
        const LegacyPageWidgets page = readLegacyWidgets(text);
        QCOMPARE(page.widgets.size(), 1);
        QCOMPARE(int(page.widgets.first().kind), int(kind));
        QCOMPARE(page.widgets.first().map, map);
    }

    void buttonStates()
    {
        const LegacyPageWidgets page = readLegacyWidgets(blocks(
            {"Button{", "UUID=1", "ButtonState{", "Text=On", "Clr=1,2,3", "Pos=5,5,10x10", "BkRect{", "Pos=100,200,80x40",
             "Pic=on.png", "}", "Cmd{", "IP=10.0.0.8", "Data=AA", "}", "Cmd{", "Time=100", "Data=BB", "}", "}",
             "ButtonState{", "Text=Off", "}", "}"}));
        QCOMPARE(page.widgets.size(), 1);
        const LegacyWidget &b = page.widgets.first();
        QCOMPARE(b.state0, (QVariantMap{{"text", "On"}, {"Clr", "#010203"}, {"pos", QRect(5, 5, 10, 10)},
                                        {"globalPos", QRect(100, 200, 80, 40)}, {"bkPic", "on.png"},
                                        {"cmd", QStringList{"\r\nIP=10.0.0.8\r\nData=AA\r\n", "\r\nTime=100\r\nData=BB\r\n"}}}));
        QCOMPARE(b.state1, (QVariantMap{{"text", "Off"}, {"cmd", QStringList{}}}));
    }

    void previewGroups()
    {
        const LegacyPageWidgets page = readLegacyWidgets(blocks({"Preview{", "GroupList=Lobby||Studio", "}"}));
        QCOMPARE(page.widgets.first().groups, (QStringList{"Lobby", "Studio"}));
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
        const QVariantMap map = page.widgets.first().map;
        QCOMPARE(int(page.widgets.first().kind), int(LegacyKind::Panel));
        const QVariantMap expected{
            {"id", "1"}, {"mode", 0}, {"sceneEn", true}, {"publishEn", false}, {"topEn", true}, {"freeEn", true},
            {"dockEn", true}, {"osdEn", false}, {"fullEn", false}, {"toolBarEn", true}, {"stream", 4}, {"egMode", 1},
            {"clone", 0}, {"splitSize", QSize(2, 2)}, {"size", QSize(3840, 2160)},
            {"globalPos", QRect(40, 60, 1280, 720)}, {"clr", "#000000"},
            {"nodeRects", QVariantList{node(0, 0, 1920, 1080, "10.0.0.20"), node(1920, 0, 1920, 1080, "10.0.0.21"),
                                       node(0, 1080, 1920, 1080, "10.0.0.22"), node(1920, 1080, 1920, 1080, "10.0.0.23")}},
            {"nodeIPs", QStringList{"10.0.0.20", "10.0.0.21", "10.0.0.22", "10.0.0.23"}},
            {"name", "Wall 1"},
            {"textMap", QVariantMap{{"name", "Wall 1"}, {"clr", "#010203"}, {"globalPos", QRect(0, 0, 100, 20)}}},
            {"docks", QVariantList{QVariantMap{{"name", "Halves"},
                                               {"dockPos", QStringList{"0,0,1920x2160,1", "1920,0,1920,2160,2", "broken"}}}}},
            {"audios", QStringList{"0,0,10x10,0"}},
            {"toolBar", QVariantMap{{"mode", 1}, {"fix", 1}}}};
        QCOMPARE(map, expected);

        QCOMPARE(page.walls.size(), 1);
        const design::WallRecord &wall = page.walls.first();
        QCOMPARE(wall.id, QStringLiteral("1"));
        QCOMPARE(wall.freeLayout, 1);
        QCOMPARE(wall.fullScreen, 0);
        QCOMPARE(wall.virtualResolution, QSize(3840, 2160));
        // The decoder outside the 2x2 grid is left out.
        QCOMPARE(wall.decoderAddresses, (QStringList{"10.0.0.20", "10.0.0.21", "10.0.0.22", "10.0.0.23"}));
        QCOMPARE(wall.cellRects.value(3), QRect(1920, 1080, 1920, 1080));
        QCOMPARE(wall.docks.size(), 1);
        QCOMPARE(wall.docks.first().name, QStringLiteral("Halves"));
        QCOMPARE(wall.docks.first().windows.size(), 2);
        QCOMPARE(wall.docks.first().windows.at(0).rect, QRect(0, 0, 1920, 2160));
        QCOMPARE(wall.docks.first().windows.at(0).chn, 1);
        QCOMPARE(wall.docks.first().windows.at(1).rect, QRect(1920, 0, 1920, 2160));
        QCOMPARE(wall.docks.first().windows.at(1).chn, 2);
        QCOMPARE(wall.description.value("name").toString(), QStringLiteral("Wall 1"));
        QCOMPARE(wall.description.value("splitSize").toSize(), QSize(2, 2));
    }

    // Signals go out kind by kind in a fixed order ("Text" before "Time"), each kind in text order.
    void order()
    {
        const LegacyPageWidgets page = readLegacyWidgets(blocks(
            {"ID=1", "Name=Main", "List{", "UUID=l", "}", "Time{", "Text=t", "}", "Button{", "UUID=b1", "}", "Text{",
             "Text=x", "}", "BkRect{", "Layer=1", "}", "Button{", "UUID=b2", "}", "Panel{", "UUID=p", "}"}));
        QStringList seen;
        for (const LegacyWidget &w : page.widgets)
            seen.append(QString::number(int(w.kind)) + QLatin1Char(':')
                        + w.map.value("UUID", w.map.value("text", w.map.value("id", w.map.value("layer")))).toString());
        const auto k = [](LegacyKind kind, const char *name) { return QString::number(int(kind)) + QLatin1Char(':') + name; };
        QCOMPARE(seen, (QStringList{k(LegacyKind::Rect, "1"), k(LegacyKind::Text, "x"), k(LegacyKind::Text, "t"),
                                    k(LegacyKind::Panel, "p"), k(LegacyKind::Button, "b1"), k(LegacyKind::Button, "b2"),
                                    k(LegacyKind::List, "l")}));
    }

    void nothingToBuild_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("keys only") << blocks({"ID=1", "Name=Main", "UISize=1920x1080"});
        QTest::newRow("unknown block") << blocks({"Widget{", "Pos=1,1,1x1", "}"});
        // Widgets of a page are not the global widgets of the block that holds the page.
        QTest::newRow("widgets inside a page") << blocks({"Page{", "ID=1", "Text{", "Text=a", "}", "}"});
        QTest::newRow("name not at a line start") << blocks({"MyText{", "Text=a", "}"});
    }
    void nothingToBuild()
    {
        QFETCH(QString, text);
        const LegacyPageWidgets page = readLegacyWidgets(text);
        QVERIFY(page.widgets.isEmpty());
        QVERIFY(page.walls.isEmpty());
    }

    // A key inside a sub-block is not the widget's own.
    void nestedKeysStayNested()
    {
        const LegacyPageWidgets page = readLegacyWidgets(blocks({"Text{", "Font{", "Clr=1,1,1", "}", "}"}));
        QCOMPARE(page.widgets.first().map, (QVariantMap{{"time", 0}}));
    }
};

QTEST_APPLESS_MAIN(TestLegacyWidgets)
#include "tst_legacywidgets.moc"
