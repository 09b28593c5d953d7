#include "package/legacywidgets.h"

#include "support/testmain.h"

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
        columns<QString, QString, QRect>({"text", "colour", "rect"});
        QTest::newRow("sample colour") << "13,67,89" << "#0d4359" << QRect();
        QTest::newRow("component past 255") << "256,0,0" << "" << QRect();
        QTest::newRow("position") << "2752,1835,97x97" << "" << QRect(2752, 1835, 97, 97);
        QTest::newRow("three numbers: a colour, no position") << "1,2,3" << "#010203" << QRect();
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
};

KORA_TEST(TestLegacyWidgets)
#include "tst_legacywidgets.moc"
