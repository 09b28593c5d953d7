// Wall backgrounds: the picture cut per output, and each output's base map set after its
// upload, with the progress moving per output. The uploader records instead of sending.
#include "upload/background.h"
#include "upload/uploader.h"
#include "support/recordingsender.h"

#include <QMutex>
#include <QSignalSpy>
#include <QtTest>

using namespace kora::upload;

class TestBackground : public QObject
{
    Q_OBJECT
private slots:
    void thePictureIsCutPerOutput()
    {
        // Left half red, right half blue, on a wall twice as wide as the picture.
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::red);
        for (int y = 0; y < 100; ++y)
            for (int x = 100; x < 200; ++x)
                picture.setPixel(x, y, qRgb(0, 0, 255));
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

    void eachOutputsBaseMapFollowsItsUpload()
    {
        QMutex mutex;
        QStringList uploaded; // written in the uploader's thread
        UploadThread uploads([&](const QByteArray &data, const QHostAddress &to, quint16 port) {
            QMutexLocker lock(&mutex);
            if (port == 41234)
                uploaded.append(QString::fromLatin1(data) + " -> " + to.toString());
        });
        RecordingSender sender;
        BackgroundUpload backgrounds(sender, uploads);
        QSignalSpy progress(&backgrounds, &BackgroundUpload::progress);
        backgrounds.start("W1", {{backgroundTarget("10.0.0.21(0)"), QSize(1920, 1080), QByteArray(9000, 'x')},
                                 {backgroundTarget("10.0.0.22(1)"), QSize(1920, 1080), QByteArray(10, 'y')}});
        QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 2, 10000);
        QCOMPARE(progress.at(0), (QList<QVariant>{1, 2}));
        QCOMPARE(progress.at(1), (QList<QVariant>{2, 2}));
        QMutexLocker lock(&mutex);
        QCOMPARE(uploaded, (QStringList{"{UploadFile;W1;bk.jpg;0.0.0.0,5000,7008} -> 10.0.0.21",
                                        "{UploadFile;W1;bk2.jpg;0.0.0.0,5000,7008} -> 10.0.0.22"}));
        QCOMPARE(sender.sent.size(), 2);
        QVERIFY(sender.sent.at(0).contains("\"setBaseMap\"") && sender.sent.at(0).endsWith("10.0.0.21:41234"));
        QVERIFY(sender.sent.at(1).contains("\"setBaseMap2\"") && sender.sent.at(1).contains("bk2.jpg"));
    }

    // A chosen file is loaded and cut away from the caller, then uploaded piece by piece;
    // a file that does not load still sends each output its commands.
    void aChosenFileIsCutAndUploaded()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("wall.jpg");
        QImage picture(384, 108, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(file));
        for (const QString &path : {file, dir.filePath("missing.jpg")}) {
            QMutex mutex;
            int commands = 0, chunks = 0; // written in the uploader's thread
            UploadThread uploads([&](const QByteArray &data, const QHostAddress &, quint16 port) {
                QMutexLocker lock(&mutex);
                commands += port == 41234 && data.startsWith("{UploadFile;");
                chunks += port == 5000;
            });
            RecordingSender sender;
            BackgroundUpload backgrounds(sender, uploads);
            QSignalSpy progress(&backgrounds, &BackgroundUpload::progress);
            backgrounds.startFromFile("W1", path, QSize(3840, 1080), {"10.0.0.21(0)", "10.0.0.22(1)"},
                                      {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)});
            QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 2, 10000);
            QMutexLocker lock(&mutex);
            QCOMPARE(commands, 2);
            QCOMPARE(chunks > 0, path == file);
            QCOMPARE(sender.sent.size(), 2);
        }
    }
};

QTEST_MAIN(TestBackground)
#include "tst_background.moc"
