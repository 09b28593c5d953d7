// The on-screen text control with a recording sender and an uploader that records instead of
// sending: which decoders a subtitle reaches, the state kept before anything is sent, the
// picture uploaded before its subtitle is shown, and what the operator is told.
#include "osd/osdcontrol.h"
#include "upload/uploader.h"
#include "support/installations.h"
#include "support/recordingsender.h"

#include <QMutex>
#include <QSignalSpy>
#include "support/testmain.h"

#include <QGuiApplication>

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
    // The state is stored before anything is sent; the row's decoders get the subtitle, its
    // hole none; below the wall nothing is sent and the operator is told.
    void aTextSubtitleGoesToTheDecodersOfItsRow()
    {
        Rig rig;
        QSignalSpy stored(&rig.osd, &osd::OsdControl::stateToStore);
        QSignalSpy told(&rig.osd, &osd::OsdControl::notShown);
        rig.osd.show(osd::Form::Text, "W1", textSubtitle(1200));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(rig.sender.sent.size(), 1);
        QVERIFY2(rig.sender.sent.first().endsWith(" -> 10.0.0.23:41234"), qPrintable(rig.sender.sent.first()));
        rig.osd.show(osd::Form::Text, "W1", textSubtitle(2161));
        QCOMPARE(stored.size(), 2);
        QCOMPARE(rig.sender.sent.size(), 1);
        QCOMPARE(told.size(), 1);
    }

    // The picture goes to the wall group; what the operator did while it was on its way wins
    // over its late upload.
    void aLaterCloseOrSubtitleIsNotUndone_data()
    {
        // "shown": the subtitle commands after both uploads.
        columns<QString, QStringList, QString>({"then", "shown", "lastState"});
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
        QCOMPARE(rig.uploadedLines().first(), QStringLiteral("{UploadFile;W1;osd1.yuv;224.168.1.1,5000,7008} -> 224.168.1.1:41234"));
        QStringList sent;
        for (const QString &line : rig.sender.sent)
            sent.append(line.left(shown.value(0).size()));
        sent.removeDuplicates(); // one command per decoder of the row, all the same subtitle
        QCOMPARE(sent, shown);
        QVERIFY2(stored.last().at(1).toString().contains(lastState), qPrintable(stored.last().at(1).toString()));
    }
};

KORA_TEST(TestOsdControl)
KORA_TEST_MAIN(QGuiApplication)
#include "tst_osdcontrol.moc"
