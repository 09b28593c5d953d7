// Wall backgrounds: the picture cut per output, and each output's base map set after its
// upload, with the progress moving per output. The uploader records instead of sending.
#include "upload/background.h"
#include "upload/uploader.h"

#include <QMutex>
#include <QPainter>
#include <QSignalSpy>
#include "support/testmain.h"

using namespace kora::upload;

class TestBackground : public QObject
{
    Q_OBJECT
private slots:
    void thePictureIsCutPerOutput()
    {
        // Left half red, right half blue, on a wall twice as wide as the picture.
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QPainter(&picture).fillRect(0, 0, 100, 100, Qt::red);
        const QList<BackgroundPiece> pieces = cutBackground(picture, QSize(400, 100),
                                                            {"10.0.0.21(0)", "", "10.0.0.22(1)"},
                                                            {QRect(0, 0, 200, 100), QRect(0, 0, 1, 1), QRect(200, 0, 200, 100)});
        QCOMPARE(pieces.size(), 2); // the output without an address is left out
        QCOMPARE(pieces[0].target.address, QStringLiteral("10.0.0.21"));
        QCOMPARE(pieces[1].target.fileName, QStringLiteral("bk2.jpg"));
        QCOMPARE(pieces[1].size, QSize(200, 100));
        const QImage left = QImage::fromData(pieces[0].jpeg, "JPG");
        const QImage right = QImage::fromData(pieces[1].jpeg, "JPG");
        QCOMPARE(left.size(), QSize(200, 100));
        QVERIFY(qRed(left.pixel(100, 50)) > 200 && qBlue(left.pixel(100, 50)) < 60);
        QVERIFY(qBlue(right.pixel(100, 50)) > 200 && qRed(right.pixel(100, 50)) < 60);

        // A picture that did not load: the pieces are empty, the outputs still listed.
        const QList<BackgroundPiece> empty = cutBackground(QImage(), QSize(400, 100), {"10.0.0.21"}, {QRect(0, 0, 400, 100)});
        QCOMPARE(empty.size(), 1);
        QVERIFY(empty[0].jpeg.isEmpty());
    }

    // A wall's background is one job: each output hears of its piece, gets it and its base
    // map before the next output hears of anything, whatever the number of outputs.
    void eachOutputsBaseMapFollowsItsPiece_data()
    {
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("expected"); // commands per output, in order; "" for none
        QTest::newRow("two outputs, two channels")
            << QStringList{"10.0.0.21(0)", "10.0.0.22(1)"}
            << QStringList{"{UploadFile;W1;bk.jpg;0.0.0.0,5000,7008} setBaseMap -> 10.0.0.21",
                           "{UploadFile;W1;bk2.jpg;0.0.0.0,5000,7008} setBaseMap2 -> 10.0.0.22"};
        QTest::newRow("an output that is no address is skipped, the rest go on")
            << QStringList{"10.0.0.21(0)", "not-an-address(0)", "10.0.0.23(0)"}
            << QStringList{"{UploadFile;W1;bk.jpg;0.0.0.0,5000,7008} setBaseMap -> 10.0.0.21", "",
                           "{UploadFile;W1;bk.jpg;0.0.0.0,5000,7008} setBaseMap -> 10.0.0.23"};
        QStringList wall, wire;
        for (int i = 0; i < 20; ++i) {
            wall.append(QStringLiteral("10.0.1.%1(0)").arg(100 + i));
            wire.append(QStringLiteral("{UploadFile;W1;bk.jpg;0.0.0.0,5000,7008} setBaseMap -> 10.0.1.%1").arg(100 + i));
        }
        QTest::newRow("a 5 x 4 wall, more outputs than the queue holds jobs") << wall << wire;
    }
    void eachOutputsBaseMapFollowsItsPiece()
    {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, expected);
        QMutex mutex;
        QStringList commands; // "{UploadFile…}" and the base map's function, per receiver in order
        UploadThread uploads([&](const QByteArray &data, const QHostAddress &to, quint16 port) {
            QMutexLocker lock(&mutex);
            if (port != 41234)
                return;
            if (data.startsWith("{UploadFile;"))
                commands.append(QString::fromLatin1(data));
            else
                commands.last() += QString::fromLatin1(data.contains("setBaseMap2") ? " setBaseMap2" : " setBaseMap")
                                   + " -> " + to.toString();
        });
        BackgroundUpload backgrounds(uploads);
        QSignalSpy progress(&backgrounds, &BackgroundUpload::progress);
        QSignalSpy notSent(&backgrounds, &BackgroundUpload::notSent);
        QList<BackgroundPiece> pieces;
        for (const QString &output : outputs)
            pieces.append({backgroundTarget(output), QSize(1920, 1080), QByteArray(9000, 'x')});
        backgrounds.start("W1", pieces);
        QTRY_COMPARE_WITH_TIMEOUT(progress.size(), outputs.size(), 20000);
        for (int i = 0; i < outputs.size(); ++i)
            QCOMPARE(progress.at(i), (QList<QVariant>{i + 1, int(outputs.size())}));
        QStringList sent = expected;
        sent.removeAll(QString());
        QMutexLocker lock(&mutex);
        QCOMPARE(commands, sent);
        // Progress tells what happened: a skipped output is reported, not hidden.
        QTRY_COMPARE(notSent.size(), int(expected.size() - sent.size() > 0));
    }
};

KORA_TEST(TestBackground)
#include "tst_background.moc"
