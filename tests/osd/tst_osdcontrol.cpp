// The on-screen text control with a recording sender and an uploader that records instead of
// sending: which decoders each command reaches, the state kept before anything is sent, the
// picture uploaded before its subtitle is shown, and what the operator is told.
#include "osd/osdcontrol.h"
#include "upload/uploader.h"
#include "support/installations.h"
#include "support/recordingsender.h"

#include <QMutex>
#include <QSignalSpy>
#include <QtTest>

using namespace kora;

namespace {
// A 2 × 2 wall of 1920 × 1080 cells whose last cell is a hole.
design::WallRecord quadWall()
{
    return fixtures::quadWall(QStringLiteral("W1"), {"10.0.0.21", "10.0.0.22", "10.0.0.23", ""});
}

QVariantMap textSubtitle(int y)
{
    return {{"string", "Hello"}, {"fontCol", "#ff0000"}, {"bkCol", "#000000"}, {"x", 10}, {"y", y}, {"width", 800},
            {"height", 60}, {"transparent", false}, {"move", "left"}, {"time", 5}, {"bold", true}, {"fontSize", 30}};
}

QString to(const QString &line) { return line.mid(line.lastIndexOf(QLatin1String(" -> ")) + 4); }
} // namespace

class TestOsdControl : public QObject
{
    Q_OBJECT

    struct Rig {
        Rig()
            : uploads([this](const QByteArray &data, const QHostAddress &address, quint16 port) {
                QMutexLocker lock(&mutex);
                uploaded.append(QString::fromLatin1(data.left(60)) + QStringLiteral(" -> ") + address.toString()
                                + QLatin1Char(':') + QString::number(port));
            })
            , osd(sender, uploads, [this] { return installation; })
        {
            installation.walls = {quadWall()};
            installation.outputs = {{"10.0.0.30", "W9"}, {"10.0.0.21", "W1"}, {"10.0.0.22", "W1"}};
        }
        QStringList uploadedLines()
        {
            QMutexLocker lock(&mutex);
            return uploaded;
        }
        walls::Installation installation;
        RecordingSender sender;
        QMutex mutex;
        QStringList uploaded; // written in the uploader's thread
        upload::UploadThread uploads;
        osd::OsdControl osd;
    };

private slots:
    // The row is found from the top; a y below the last row is kept but not shown, and the
    // operator is told once.
    void subtitlesGoToTheDecodersOfTheirRow_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<QStringList>("decoders");
        QTest::newRow("first row, on its edge") << 1080 << QStringList{"10.0.0.21:41234", "10.0.0.22:41234"};
        QTest::newRow("second row, its hole left out") << 1200 << QStringList{"10.0.0.23:41234"};
        QTest::newRow("below the wall") << 2161 << QStringList();
    }
    void subtitlesGoToTheDecodersOfTheirRow()
    {
        QFETCH(int, y);
        QFETCH(QStringList, decoders);
        Rig rig;
        QSignalSpy stored(&rig.osd, &osd::OsdControl::stateToStore);
        QSignalSpy told(&rig.osd, &osd::OsdControl::notShown);
        rig.osd.show(osd::Form::Text, "W1", textSubtitle(y));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().at(0).toString(), QStringLiteral("W1"));
        QVERIFY(stored.first().at(1).toString().contains("\"enable\":true"));
        QStringList seen;
        for (const QString &line : rig.sender.sent) {
            QVERIFY(line.startsWith("{SubtitleOsd;W1;"));
            seen.append(to(line));
        }
        QCOMPARE(seen, decoders);
        QCOMPARE(told.size(), decoders.isEmpty() ? 1 : 0);
    }

    void closingKeepsTheStateAndTellsTheGroup()
    {
        Rig rig;
        QSignalSpy stored(&rig.osd, &osd::OsdControl::stateToStore);
        rig.osd.close(osd::Form::Text, "W1", textSubtitle(10));
        QVERIFY(stored.first().at(1).toString().contains("\"enable\":false"));
        QCOMPARE(rig.sender.sent, QStringList{"{SubtitleOsd;W1} -> 224.168.1.1:41234"});
    }

    // The picture reaches the wall group before the subtitle that shows it is sent.
    void anImageSubtitleIsShownAfterItsUpload()
    {
        Rig rig;
        QVariantMap map = textSubtitle(100);
        map.insert("font", QFont(QStringLiteral("Sans"), 20));
        rig.osd.makeImage("W1", map);
        QCOMPARE(rig.sender.sent, QStringList()); // not before the upload has gone out
        QTRY_COMPARE_WITH_TIMEOUT(rig.sender.sent.size(), 2, 10000);
        const QStringList uploaded = rig.uploadedLines();
        QVERIFY(!uploaded.isEmpty());
        QCOMPARE(uploaded.first(), QStringLiteral("{UploadFile;W1;osd1.yuv;224.168.1.1,5000,7008} -> 224.168.1.1:41234"));
        QVERIFY(uploaded.last().endsWith("224.168.1.1:5000"));
        QCOMPARE(to(rig.sender.sent.first()), QStringLiteral("10.0.0.21:41234"));
    }

    // What the operator did while the picture was on its way wins over its late upload.
    void aLaterCloseOrSubtitleIsNotUndone_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<QStringList>("shown"); // the subtitle commands after both uploads
        QTest::addColumn<QString>("lastState");
        QTest::newRow("a close") << "close" << QStringList{"{SubtitleOsd;W1} -> 224.168.1.1:41234"} << "\"enable\":false";
        QTest::newRow("a newer picture") << "picture" << QStringList{"{SubtitleOsd;W1;0,900,60;"} << "\"y\":900";
        QTest::newRow("a text subtitle") << "text" << QStringList{"{SubtitleOsd;W1;10,100,800,60,-1;"} << "\"bold\":true";
        // A refused subtitle changes nothing: the picture is shown once it is there.
        QTest::newRow("a text subtitle with a quote, refused")
            << "quote" << QStringList{"{SubtitleOsd;W1;10,100,60;"} << "\"fontfamily\"";
    }
    void aLaterCloseOrSubtitleIsNotUndone()
    {
        QFETCH(QString, then);
        QFETCH(QStringList, shown);
        QFETCH(QString, lastState);
        Rig rig;
        QSignalSpy stored(&rig.osd, &osd::OsdControl::stateToStore);
        QSignalSpy finished(&rig.uploads, &upload::UploadThread::finished);
        QVariantMap map = textSubtitle(100);
        map.insert("font", QFont(QStringLiteral("Sans"), 20));
        rig.osd.makeImage("W1", map);
        int uploads = 1;
        if (then == "close") {
            rig.osd.close(osd::Form::Image, "W1", map);
        } else if (then == "picture") {
            map.insert("y", 900);
            map.insert("x", 0);
            rig.osd.makeImage("W1", map);
            uploads = 2;
        } else {
            QVariantMap text = textSubtitle(100);
            if (then == "quote")
                text.insert("string", "say \"hi\"");
            rig.osd.show(osd::Form::Text, "W1", text);
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), uploads, 10000);
        QCoreApplication::processEvents(); // the uploads' ends, queued to this thread
        QStringList sent;
        for (const QString &line : rig.sender.sent)
            sent.append(line.left(shown.value(0).size()));
        sent.removeDuplicates(); // one command per decoder of the row, all the same subtitle
        QCOMPARE(sent, shown);
        QVERIFY2(stored.last().at(1).toString().contains(lastState), qPrintable(stored.last().at(1).toString()));
    }

    // Without a node that answered the scan the wall group has nobody to store the picture.
    void noImageWithoutAnsweringNodes()
    {
        Rig rig;
        rig.installation.nodesAnswered = false;
        QSignalSpy told(&rig.osd, &osd::OsdControl::notShown);
        QVariantMap map = textSubtitle(100);
        map.insert("font", QFont(QStringLiteral("Sans"), 20));
        rig.osd.makeImage("W1", map);
        QCOMPARE(told.size(), 1);
        // A marker upload after it: jobs go in order, so the marker's command comes first.
        QSignalSpy finished(&rig.uploads, &upload::UploadThread::finished);
        rig.uploads.upload(upload::Job::unicast("W1", "10.0.0.9", "marker", "x"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(rig.uploadedLines().value(0), QStringLiteral("{UploadFile;W1;marker;0.0.0.0,5000,7008} -> 10.0.0.9:41234"));
        QCOMPARE(rig.sender.sent, QStringList());
    }

    void clocksFollowTheMulticastSetting()
    {
        Rig rig;
        const QVariantList clocks{QVariantMap{{"content", "A\nB"}, {"xPos", "1"}, {"yPos", "2"}, {"w", "3"}, {"h", "4"},
                                              {"bkClr", "#000"}, {"fontClr", "#fff"}, {"fontSize", "9"}}};
        rig.osd.setClocks("W1", clocks);
        QCOMPARE(rig.sender.sent.size(), 1);
        QCOMPARE(to(rig.sender.sent.first()), QStringLiteral("224.168.1.1:41234"));
        QVERIFY(rig.sender.sent.first().contains("A\\nB"));
        rig.sender.sent.clear();
        rig.installation.multicast = false;
        rig.osd.setClocks("W1", clocks);
        QCOMPARE(rig.sender.sent.size(), 3); // every decoder of the wall, the hole left out
        rig.sender.sent.clear();
        rig.osd.getClocks("W1");
        rig.osd.getClocks("W7"); // no output: nothing
        QCOMPARE(rig.sender.sent, QStringList{"{GetClockOsd;W1} -> 10.0.0.21:41234"});
    }

    void inputLabelsGoToTheEncoder()
    {
        Rig rig;
        rig.osd.inputLabel({{"ip", "10.0.0.5-1"}, {"enable", 1}, {"str", "Cam"}, {"font_col", "#ffffff"}, {"x", 1},
                            {"y", 2}, {"font_size", 24}});
        QCOMPARE(rig.sender.sent.size(), 1);
        QCOMPARE(to(rig.sender.sent.first()), QStringLiteral("10.0.0.5:12345"));
        QVERIFY(rig.sender.sent.first().contains("setOsd"));
    }
};

QTEST_MAIN(TestOsdControl)
#include "tst_osdcontrol.moc"
