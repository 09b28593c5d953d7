// The on-screen text commands byte for byte: both subtitle forms and the close, the state
// stored for the dialog, where a subtitle lands on the wall, the input label and the clocks.
#include "osd/osdcommands.h"
#include "support/installations.h"

#include <QFont>
#include "support/testmain.h"

using namespace kora;

namespace {

// A 2×2 wall of 1920×1080 decoders .21 to .24.
design::WallRecord quadWall()
{
    return fixtures::quadWall(QStringLiteral("1"), {"10.0.0.21", "10.0.0.22", "10.0.0.23", "10.0.0.24"});
}

QVariantMap imageDialog()
{
    return {{"string", QStringLiteral("欢迎 a,b")}, {"fontCol", "#ffffff"}, {"x", 100},         {"y", 1500},
            {"height", "60"},                       {"bkCol", "#000000"},  {"transparent", true}, {"font", QFont("DejaVu Sans", 24)},
            {"move", "left"},                       {"time", 5},           {"suspend", true},     {"middle", false}};
}

QVariantMap textDialog()
{
    return {{"string", QStringLiteral("Hi, 你好")}, {"fontCol", "#ff0000"}, {"x", "10"},  {"y", 20},
            {"width", 400},                        {"height", 60.0},       {"bkCol", "#00ff00"}, {"transparent", false},
            {"move", "right"},                     {"time", "8"},          {"suspend", false}, {"bold", true},
            {"fontSize", 32}};
}

} // namespace

class TestOsdCommands : public QObject
{
    Q_OBJECT
private slots:
    // Each row is passed by its own height, not the first row's.
    void placeInRowsOfDifferentHeights()
    {
        const std::optional<osd::RowPlacement> got = osd::placeInRows({500, 700}, 1200);
        QVERIFY(got);
        QCOMPARE(got->row, 1);
        QCOMPARE(got->y, 700);
    }

    void placeSubtitle_data()
    {
        columns<int, bool, int, int, QStringList>({"y", "hole", "row", "rowY", "decoders"});
        QTest::newRow("first row") << 1080 << false << 0 << 1080 << QStringList{"10.0.0.21", "10.0.0.22"};
        QTest::newRow("second row") << 1500 << false << 1 << 420 << QStringList{"10.0.0.23", "10.0.0.24"};
        QTest::newRow("a hole in the row is skipped") << 1500 << true << 1 << 420 << QStringList{"10.0.0.24"};
        QTest::newRow("below the wall") << 2161 << false << -1 << 0 << QStringList{};
    }
    void placeSubtitle()
    {
        QFETCH(int, y);
        QFETCH(bool, hole);
        QFETCH(int, row);
        QFETCH(QStringList, decoders);
        design::WallRecord wall = quadWall();
        if (hole)
            wall.decoderAddresses[2].clear();
        const std::optional<osd::Placement> got = osd::placeSubtitle(wall, y);
        QCOMPARE(got.has_value(), row >= 0);
        if (!got)
            return;
        QCOMPARE(got->place.row, row);
        QTEST(got->place.y, "rowY");
        QCOMPARE(got->decoders, decoders);
    }

    void subtitleCommands()
    {
        QCOMPARE(osd::subtitleCommand(osd::Form::Image, "1", imageDialog(), 100, 420),
                 QByteArray("{SubtitleOsd;1;100,420,60;1,#000000,5,left}"));
        QCOMPARE(osd::subtitleCommand(osd::Form::Text, "1", textDialog(), 100, 420),
                 QString("{SubtitleOsd;1;100,420,400,60,-1;0,#FF00ff00,8,\"right\";\"Hi, 你好\",#FFff0000,32,\"bold\"}").toUtf8());
    }

    void subtitleState()
    {
        QCOMPARE(osd::subtitleState(osd::Form::Image, "1", imageDialog(), true),
                 QString("\"{\"bkCol\":\"#000000\",\"enable\":true,\"fontCol\":\"#ffffff\",\"fontfamily\":\"DejaVu Sans\","
                         "\"fontsize\":24,\"height\":\"60\",\"middle\":false,\"move\":\"left\",\"obj\":\"osd\","
                         "\"string\":\"欢迎 a,b\",\"suspend\":true,\"time\":5,\"transparent\":true,\"uuid\":\"1\","
                         "\"x\":100,\"y\":1500}\""));
    }

    // Field separators in a clock would shift the wall's copy of every clock after it.
    void clockRefusal_data()
    {
        columns<QString, QString, QString>({"key", "value", "refusal"});
        QTest::newRow("plain text and line breaks") << "content" << "Hall\nhh:mm" << "";
        QTest::newRow("a comma in the content") << "content" << "Paris, hh:mm" << "Clock 2: its content may not hold ,";
        QTest::newRow("a semicolon") << "content" << "a;b" << "Clock 2: its content may not hold ;";
        QTest::newRow("an opening brace in a colour") << "bkClr" << "{#000000" << "Clock 2: its bkClr may not hold {";
        QTest::newRow("a double quote") << "content" << "\"now\"" << "Clock 2: its content may not hold \"";
    }
    void clockRefusal()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QVariantMap good{{"content", "hh:mm"}, {"xPos", "0"}, {"yPos", "0"}, {"w", "10"}, {"h", "10"}};
        QVariantMap clock = good;
        clock.insert(key, value);
        QTEST(osd::clockRefusal({good, clock}), "refusal");
    }

    void boundedSubtitle_data()
    {
        columns<QVariantMap, QVariantMap, bool>({"map", "bounded", "changed"});
        QTest::newRow("within") << QVariantMap{{"height", 60}, {"width", 800}} << QVariantMap{{"height", 60}, {"width", 800}} << false;
        QTest::newRow("a typed height of a gigabyte's picture")
            << QVariantMap{{"height", "900000"}, {"string", "x"}} << QVariantMap{{"height", 2160}, {"string", "x"}} << true;
        QTest::newRow("a stored width far too wide, a negative height")
            << QVariantMap{{"height", -5}, {"width", 1e12}} << QVariantMap{{"height", 0}, {"width", 8192}} << true;
    }
    void boundedSubtitle()
    {
        QFETCH(QVariantMap, map);
        QFETCH(bool, changed);
        bool was = !changed;
        QTEST(osd::boundedSubtitle(map, &was), "bounded");
        QCOMPARE(was, changed);
    }
};

KORA_TEST(TestOsdCommands)
#include "tst_osdcommands.moc"
