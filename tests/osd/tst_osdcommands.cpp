// The on-screen text commands byte for byte: both subtitle forms and the close, the state
// stored for the dialog, where a subtitle lands on the wall, the input label and the clocks.
#include "osd/osdcommands.h"
#include "support/installations.h"

#include <QFont>
#include <QtTest>

using namespace kora;

Q_DECLARE_METATYPE(std::optional<osd::RowPlacement>)

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
    void decoderColour_data()
    {
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("sent");
        QTest::newRow("#rrggbb") << "#1a2b3c" << "#FF1a2b3c";
        QTest::newRow("upper case kept") << "#00FF00" << "#FF00FF00";
        QTest::newRow("only the first character goes") << "#ff112233" << "#FFff112233";
    }
    void decoderColour()
    {
        QFETCH(QString, colour);
        QFETCH(QString, sent);
        QCOMPARE(osd::decoderColour(colour), sent);
    }

    void evenWidth_data()
    {
        QTest::addColumn<int>("measured");
        QTest::addColumn<int>("width");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("odd: one pixel wider") << 131 << 132;
        QTest::newRow("even stays") << 132 << 132;
        QTest::newRow("one") << 1 << 2;
    }
    void evenWidth()
    {
        QFETCH(int, measured);
        QFETCH(int, width);
        QCOMPARE(osd::evenWidth(measured), width);
    }

    void middleX_data()
    {
        QTest::addColumn<int>("wallWidth");
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<int>("x");
        QTest::newRow("centred") << 3840 << 200 << 1820;
        QTest::newRow("odd remainder rounds down") << 3841 << 200 << 1820;
        QTest::newRow("wider than the wall starts left of it") << 1920 << 2000 << -40;
    }
    void middleX()
    {
        QFETCH(int, wallWidth);
        QFETCH(int, textWidth);
        QFETCH(int, x);
        QCOMPARE(osd::middleX(wallWidth, textWidth), x);
    }

    void subtitleX()
    {
        QVariantMap map = imageDialog();
        QCOMPARE(osd::subtitleX(map, osd::Form::Image, 3840), 100);
        map.insert("middle", true);
        const int width = osd::textWidth(osd::dialogFont(map), map.value("string").toString());
        QVERIFY(width > 0);
        QCOMPARE(osd::subtitleX(map, osd::Form::Image, 3840), (3840 - width) / 2);
        // The text form has no font to measure: "middle" means nothing there.
        QCOMPARE(osd::subtitleX(map, osd::Form::Text, 3840), 100);
    }

    void placeInRows_data()
    {
        QTest::addColumn<QList<int>>("heights");
        QTest::addColumn<int>("y");
        QTest::addColumn<std::optional<osd::RowPlacement>>("place");
        const QList<int> three{1080, 1080, 1080};
        QTest::newRow("top") << three << 0 << std::optional<osd::RowPlacement>({0, 0});
        QTest::newRow("equal to the first row's height stays in row 0") << three << 1080 << std::optional<osd::RowPlacement>({0, 1080});
        QTest::newRow("one below moves on") << three << 1081 << std::optional<osd::RowPlacement>({1, 1});
        QTest::newRow("second row's bottom") << three << 2160 << std::optional<osd::RowPlacement>({1, 1080});
        QTest::newRow("third row") << three << 2500 << std::optional<osd::RowPlacement>({2, 340});
        QTest::newRow("last row's bottom") << three << 3240 << std::optional<osd::RowPlacement>({2, 1080});
        QTest::newRow("below the last row") << three << 3241 << std::optional<osd::RowPlacement>();
        QTest::newRow("above the wall stays in row 0") << three << -5 << std::optional<osd::RowPlacement>({0, -5});
        QTest::newRow("rows of different heights") << QList<int>{500, 700} << 1200 << std::optional<osd::RowPlacement>({1, 700});
        QTest::newRow("below rows of different heights") << QList<int>{500, 700} << 1201 << std::optional<osd::RowPlacement>();
        QTest::newRow("no rows") << QList<int>{} << 0 << std::optional<osd::RowPlacement>();
    }
    void placeInRows()
    {
        QFETCH(QList<int>, heights);
        QFETCH(int, y);
        QFETCH(std::optional<osd::RowPlacement>, place);
        const std::optional<osd::RowPlacement> got = osd::placeInRows(heights, y);
        QCOMPARE(got.has_value(), place.has_value());
        if (place) {
            QCOMPARE(got->row, place->row);
            QCOMPARE(got->y, place->y);
        }
    }

    void placeSubtitle_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("hole");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rowY");
        QTest::addColumn<QStringList>("decoders");
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
        QFETCH(int, rowY);
        QFETCH(QStringList, decoders);
        design::WallRecord wall = quadWall();
        if (hole)
            wall.decoderAddresses[2].clear();
        const std::optional<osd::Placement> got = osd::placeSubtitle(wall, y);
        QCOMPARE(got.has_value(), row >= 0);
        if (!got)
            return;
        QCOMPARE(got->place.row, row);
        QCOMPARE(got->place.y, rowY);
        QCOMPARE(got->decoders, decoders);
    }

    void rowHeights()
    {
        design::WallRecord wall = quadWall();
        wall.cellRects[2].setHeight(600); // the second row's first cell sets its height
        QCOMPARE(osd::rowHeights(wall), (QList<int>{1080, 600}));
        wall.cellRects = wall.cellRects.mid(0, 2);
        QCOMPARE(osd::rowHeights(wall), QList<int>{1080});
        wall.description.remove("splitSize");
        QCOMPARE(osd::rowHeights(wall), QList<int>{});
        QVERIFY(!osd::placeSubtitle(wall, 0));
    }

    void subtitleCommands_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("image form") << int(osd::Form::Image) << imageDialog()
                                    << QByteArray("{SubtitleOsd;1;100,420,60;1,#000000,5,left}");
        QTest::newRow("text form") << int(osd::Form::Text) << textDialog()
                                   << QString("{SubtitleOsd;1;100,420,400,60,-1;0,#FF00ff00,8,\"right\";"
                                              "\"Hi, 你好\",#FFff0000,32,\"bold\"}").toUtf8();
        QVariantMap plain = textDialog();
        plain.insert("bold", false);
        plain.insert("transparent", true);
        QTest::newRow("text form, not bold") << int(osd::Form::Text) << plain
                                             << QString("{SubtitleOsd;1;100,420,400,60,-1;1,#FF00ff00,8,\"right\";"
                                                        "\"Hi, 你好\",#FFff0000,32,\"\"}").toUtf8();
    }
    void subtitleCommands()
    {
        QFETCH(int, form);
        QFETCH(QVariantMap, map);
        QFETCH(QByteArray, command);
        QCOMPARE(osd::subtitleCommand(osd::Form(form), "1", map, 100, 420), command);
    }

    void closeSubtitle() { QCOMPARE(osd::closeSubtitleCommand("1"), QByteArray("{SubtitleOsd;1}")); }

    void subtitleState_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("state");
        QTest::newRow("image form, shown")
            << int(osd::Form::Image) << imageDialog() << true
            << QString("\"{\"bkCol\":\"#000000\",\"enable\":true,\"fontCol\":\"#ffffff\",\"fontfamily\":\"DejaVu Sans\","
                       "\"fontsize\":24,\"height\":\"60\",\"middle\":false,\"move\":\"left\",\"obj\":\"osd\","
                       "\"string\":\"欢迎 a,b\",\"suspend\":true,\"time\":5,\"transparent\":true,\"uuid\":\"1\","
                       "\"x\":100,\"y\":1500}\"");
        QTest::newRow("text form, closed")
            << int(osd::Form::Text) << textDialog() << false
            << QString("\"{\"bkCol\":\"#00ff00\",\"bold\":true,\"enable\":false,\"fontCol\":\"#ff0000\",\"fontSize\":32,"
                       "\"height\":60,\"move\":\"right\",\"obj\":\"osd\",\"string\":\"Hi, 你好\",\"suspend\":false,"
                       "\"time\":\"8\",\"transparent\":false,\"uuid\":\"1\",\"width\":400,\"x\":\"10\",\"y\":20}\"");
    }
    void subtitleState()
    {
        QFETCH(int, form);
        QFETCH(QVariantMap, map);
        QFETCH(bool, enable);
        QFETCH(QString, state);
        QCOMPARE(osd::subtitleState(osd::Form(form), "1", map, enable), state);
    }

    void inputLabel()
    {
        const QVariantMap map{{"ip", "10.0.0.31-1"}, {"enable", true}, {"str", "Cam 1"}, {"font_col", "#ffffff"},
                              {"x", "16"},           {"y", 32},        {"font_size", 24.0}};
        QCOMPARE(osd::inputLabelCommand(map),
                 QByteArray("{\"Function\":\"setOsd\",\"Type\":\"System\",\"Value\":{\"channel\":\"chn0\","
                            "\"osd_color\":\"#ffffff\",\"osd_enable\":1,\"osd_mode\":0,\"osd_name\":\"Cam 1\","
                            "\"osd_size\":24,\"osd_x\":16,\"osd_y\":32}}"));
    }

    void clockCommand_data()
    {
        QTest::addColumn<QVariantList>("clocks");
        QTest::addColumn<QByteArray>("command");
        const QVariantMap twoLines{{"content", "Beijing\nyyyy-MM-dd"}, {"xPos", "10"},      {"yPos", "20"},
                                   {"w", "300"},                        {"h", "80"},        {"bkClr", "#000000"},
                                   {"fontClr", "#ffffff"},              {"fontSize", "24"}};
        QVariantMap oneLine = twoLines;
        oneLine.insert("content", QStringLiteral("北京 hh:mm"));
        oneLine.insert("xPos", 400);
        QVariantMap crlf = twoLines;
        crlf.insert("content", "a\r\nb");
        QTest::newRow("none") << QVariantList{} << QByteArray("{ClockOsd;1}");
        QTest::newRow("two lines with a backslash-n")
            << QVariantList{twoLines} << QByteArray("{ClockOsd;1;10,20,300,80,Beijing\\nyyyy-MM-dd,#000000,#ffffff,24,\"normal\"}");
        QTest::newRow("two clocks, UTF-8")
            << QVariantList{twoLines, oneLine}
            << QString("{ClockOsd;1;10,20,300,80,Beijing\\nyyyy-MM-dd,#000000,#ffffff,24,\"normal\";"
                       "400,20,300,80,北京 hh:mm,#000000,#ffffff,24,\"normal\"}").toUtf8();
        QTest::newRow("CR LF is one break") << QVariantList{crlf}
                                            << QByteArray("{ClockOsd;1;10,20,300,80,a\\nb,#000000,#ffffff,24,\"normal\"}");
    }
    void clockCommand()
    {
        QFETCH(QVariantList, clocks);
        QFETCH(QByteArray, command);
        QCOMPARE(osd::clockCommand("1", clocks), command);
    }

    void clockQuery() { QCOMPARE(osd::clockQuery("7"), QByteArray("{GetClockOsd;7}")); }

    // Field separators in a clock would shift the wall's copy of every clock after it.
    void clockRefusal_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("plain text and line breaks") << "content" << "Hall\nhh:mm" << "";
        QTest::newRow("a comma in the content") << "content" << "Paris, hh:mm" << "Clock 2: its content may not hold ,";
        QTest::newRow("a semicolon") << "content" << "a;b" << "Clock 2: its content may not hold ;";
        QTest::newRow("a closing brace") << "content" << "x}" << "Clock 2: its content may not hold }";
        QTest::newRow("an opening brace in a colour") << "bkClr" << "{#000000" << "Clock 2: its bkClr may not hold {";
        QTest::newRow("a double quote") << "content" << "\"now\"" << "Clock 2: its content may not hold \"";
    }
    void clockRefusal()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, refusal);
        const QVariantMap good{{"content", "hh:mm"}, {"xPos", "0"}, {"yPos", "0"}, {"w", "10"}, {"h", "10"}};
        QVariantMap clock = good;
        clock.insert(key, value);
        QCOMPARE(osd::clockRefusal({good, clock}), refusal);
    }

    void boundedSubtitle_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QVariantMap>("bounded");
        QTest::addColumn<bool>("changed");
        QTest::newRow("within") << QVariantMap{{"height", 60}, {"width", 800}} << QVariantMap{{"height", 60}, {"width", 800}} << false;
        QTest::newRow("a typed height of a gigabyte's picture")
            << QVariantMap{{"height", "900000"}, {"string", "x"}} << QVariantMap{{"height", 2160}, {"string", "x"}} << true;
        QTest::newRow("a stored width far too wide, a negative height")
            << QVariantMap{{"height", -5}, {"width", 1e12}} << QVariantMap{{"height", 0}, {"width", 8192}} << true;
    }
    void boundedSubtitle()
    {
        QFETCH(QVariantMap, map);
        QFETCH(QVariantMap, bounded);
        QFETCH(bool, changed);
        bool was = !changed;
        QCOMPARE(osd::boundedSubtitle(map, &was), bounded);
        QCOMPARE(was, changed);
    }

    void textFormRefusal()
    {
        QVERIFY(osd::textFormRefusal({{"string", "Hall 1, \u00e9t\u00e9; {ok}"}}).isEmpty());
        QVERIFY(!osd::textFormRefusal({{"string", "say \"hi\""}}).isEmpty());
    }
};

QTEST_MAIN(TestOsdCommands)
#include "tst_osdcommands.moc"
