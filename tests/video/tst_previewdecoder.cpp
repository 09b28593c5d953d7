// The preview decoder fed with stream datagrams of pictures encoded here: colours, sizes,
// losses, scaling, codec switches and hostile frames. No sockets: datagrams go in through
// the worker's test entry, in its thread.
#include "video/ffmpegthread.h"

#include <QSignalSpy>
#include <QtTest>

#include "previewfixtures.h"

using namespace previewfixtures;
using namespace kora::video;

namespace {
const QSize kSize(320, 240);
const QColor kRed(210, 40, 50);
const QColor kBlue(30, 60, 200);
const QColor kGreen(40, 190, 70);

QByteArray encoderName(quint8 flags)
{
    if (flags & kFlagJpeg)
        return "mjpeg";
    return (flags & kFlagHevc) ? "libx265" : "libx264";
}
} // namespace

class TestPreviewDecoder : public QObject
{
    Q_OBJECT
private slots:
    void colours_data()
    {
        QTest::addColumn<quint8>("flags");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("H.264") << quint8(0) << kRed;
        QTest::newRow("H.265") << quint8(kFlagHevc) << kBlue;
        QTest::newRow("JPEG") << quint8(kFlagJpeg) << kGreen;
        QTest::newRow("JPEG flagged H.265 too") << quint8(kFlagJpeg | kFlagHevc) << kRed;
    }
    void colours()
    {
        QFETCH(quint8, flags);
        QFETCH(QColor, colour);
        Encoder encoder(encoderName(flags).constData(), kSize);
        if (!encoder.isOpen())
            QSKIP("encoder not in this FFmpeg build");
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime(flags)};
        for (int i = 0; i < 6; ++i)
            datagrams += sender.frame(encoder.encode(colour), flags, 500);
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(6));
        QTRY_VERIFY(!w.last.isNull());
        QCOMPARE(w.last.size(), kSize);
        QCOMPARE(w.last.format(), QImage::Format_RGB32);
        QVERIFY2(colourNear(w.last, colour), qPrintable(w.last.pixelColor(160, 120).name()));
        const PreviewCounters c = w.worker->counters();
        QCOMPARE(c.gaps, quint64(0));
        QCOMPARE(c.malformed, quint64(0));
    }

    void sizeChangeShowsTheNewSize()
    {
        Encoder first("libx264", kSize);
        Encoder second("libx264", QSize(176, 144));
        QVERIFY(first.isOpen() && second.isOpen());
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 0; i < 3; ++i)
            datagrams += sender.frame(first.encode(kRed), 0);
        w.feed(datagrams);
        QTRY_COMPARE(w.last.size(), kSize);

        datagrams.clear();
        // The new size's first picture is shown too, not only the ones after it.
        datagrams += sender.frame(second.encode(kBlue), 0);
        w.feed(datagrams);
        QTRY_COMPARE(w.last.size(), QSize(176, 144));
        QVERIFY(colourNear(w.last, kBlue));
        QCOMPARE(w.worker->counters().framesDecoded, quint64(4));
    }

    void lostFragmentWaitsForTheNextKeyframe_data()
    {
        QTest::addColumn<quint8>("flags");
        QTest::newRow("H.264") << quint8(0);
        QTest::newRow("H.265") << quint8(kFlagHevc);
    }
    void lostFragmentWaitsForTheNextKeyframe()
    {
        QFETCH(quint8, flags);
        Encoder encoder(encoderName(flags).constData(), kSize, 5); // keyframes at 0, 5, 10
        if (!encoder.isOpen())
            QSKIP("encoder not in this FFmpeg build");
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime(flags)};
        for (int i = 0; i < 10; ++i) {
            // Red up to the loss, green after it until the keyframe, blue from the keyframe:
            // a green picture would be one decoded without its reference.
            const QColor colour = i < 3 ? kRed : (i < 5 ? kGreen : kBlue);
            QList<QByteArray> frame = sender.frame(encoder.encode(colour), flags, 1200, 2);
            QVERIFY(frame.size() >= 2);
            if (i == 3)
                frame.removeAt(1);
            datagrams += frame;
        }
        w.feed(datagrams);
        // Frames 0..2 and 5..9; frame 3 lost, frame 4 discarded while waiting.
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(8));
        const PreviewCounters c = w.worker->counters();
        QCOMPARE(c.gaps, quint64(1));
        QCOMPARE(c.waitingDiscarded, quint64(1));
        QTRY_VERIFY(colourNear(w.last, kBlue));
    }

    void decodingWaitsForTheFirstKeyframe()
    {
        Encoder encoder("libx264", kSize, 5);
        QVERIFY(encoder.isOpen());
        QList<QByteArray> frames;
        for (int i = 0; i < 8; ++i)
            frames.append(encoder.encode(i < 5 ? kRed : kBlue));
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 2; i < 8; ++i) // joined in the middle of a group of pictures
            datagrams += sender.frame(frames[i], 0);
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(3));
        QCOMPARE(w.worker->counters().waitingDiscarded, quint64(3));
        QTRY_VERIFY(colourNear(w.last, kBlue));
    }

    void scaledWhenShownSmall_data()
    {
        QTest::addColumn<quint8>("flags");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("out");
        QTest::newRow("H.264 well below") << quint8(0) << QSize(100, 80) << QSize(100, 80);
        QTest::newRow("H.264 near the source") << quint8(0) << QSize(300, 200) << kSize;
        QTest::newRow("JPEG well below") << quint8(kFlagJpeg) << QSize(160, 120) << QSize(160, 120);
        QTest::newRow("JPEG near the source") << quint8(kFlagJpeg) << QSize(260, 200) << kSize;
    }
    void scaledWhenShownSmall()
    {
        QFETCH(quint8, flags);
        QFETCH(QSize, target);
        QFETCH(QSize, out);
        Encoder encoder(encoderName(flags).constData(), kSize);
        QVERIFY(encoder.isOpen());
        Worker w;
        w.call([target](FFmpegThread *f) { f->setTargetSize(target); });
        Sender sender;
        QList<QByteArray> datagrams{sender.prime(flags)};
        for (int i = 0; i < 3; ++i)
            datagrams += sender.frame(encoder.encode(kGreen), flags);
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(3));
        QTRY_VERIFY(!w.last.isNull());
        QCOMPARE(w.last.size(), out);
        QVERIFY(colourNear(w.last, kGreen));
    }

    void codecSwitchMidStream()
    {
        Encoder h264("libx264", kSize);
        Encoder h265("libx265", kSize);
        if (!h265.isOpen())
            QSKIP("libx265 not in this FFmpeg build");
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 0; i < 4; ++i)
            datagrams += sender.frame(h264.encode(kRed), 0);
        w.feed(datagrams);
        QTRY_VERIFY(colourNear(w.last, kRed));
        datagrams.clear();
        for (int i = 0; i < 4; ++i)
            datagrams += sender.frame(h265.encode(kBlue), kFlagHevc);
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(8));
        QTRY_VERIFY(colourNear(w.last, kBlue));
        QCOMPARE(w.worker->counters().malformed, quint64(0));
    }

    void latestPictureWins()
    {
        Encoder encoder("libx264", kSize);
        QVERIFY(encoder.isOpen());
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 0; i < 6; ++i)
            datagrams += sender.frame(encoder.encode(i < 5 ? kRed : kBlue), 0);
        // All fed in one go in the worker thread: the test thread takes nothing in between,
        // so every picture but the last is replaced in the slot.
        w.feed(datagrams);
        QTRY_COMPARE(w.pictures, 1);
        QVERIFY(colourNear(w.last, kBlue));
        const PreviewCounters c = w.worker->counters();
        QCOMPARE(c.framesDecoded, quint64(6));
        QCOMPARE(c.framesDropped, quint64(5));
        QCOMPARE(c.framesTaken, quint64(1));
    }

    void hostileFrames_data()
    {
        QTest::addColumn<quint8>("flags");
        QTest::addColumn<QByteArray>("frame");
        QByteArray huge = Encoder("mjpeg", QSize(64, 48)).encode(kRed);
        // The start-of-frame header announces 20000 x 20000.
        const int sof = huge.indexOf(QByteArray::fromHex("ffc0"));
        QVERIFY(sof > 0);
        huge[sof + 5] = char(0x4e);
        huge[sof + 6] = char(0x20);
        huge[sof + 7] = char(0x4e);
        huge[sof + 8] = char(0x20);
        QTest::newRow("JPEG announcing 20000 x 20000") << quint8(kFlagJpeg) << huge;
        QTest::newRow("JPEG garbage") << quint8(kFlagJpeg) << QByteArray(3000, '\x5a');
        QTest::newRow("JPEG truncated header") << quint8(kFlagJpeg) << QByteArray::fromHex("ffd8ffe0");
        QTest::newRow("H.264 keyframe of garbage") << quint8(0) << QByteArray::fromHex("0000000165") + QByteArray(2000, '\xff');
        QTest::newRow("H.264 garbage without start codes") << quint8(0) << QByteArray(2000, '\x5a');
    }
    void hostileFrames()
    {
        QFETCH(quint8, flags);
        QFETCH(QByteArray, frame);
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime(flags)};
        datagrams += sender.frame(frame, flags);
        w.feed(datagrams);
        const PreviewCounters c = w.worker->counters();
        QCOMPARE(c.framesDecoded, quint64(0));
        if (flags & kFlagJpeg)
            QCOMPARE(c.malformed, quint64(1));
        // The decoder still works afterwards.
        Encoder encoder(encoderName(flags).constData(), kSize);
        w.feed(sender.frame(encoder.encode(kBlue), flags));
        QTRY_VERIFY(colourNear(w.last, kBlue));
    }

    void leaveWithoutJoinChangesNothing()
    {
        Worker w;
        QSignalSpy aborts(w.worker, &FFmpegThread::sig_abort);
        w.call([](FFmpegThread *f) { f->abortMulticast(); });
        QVERIFY(!w.worker->isJoined());
        QCoreApplication::processEvents();
        QCOMPARE(aborts.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPreviewDecoder)
#include "tst_previewdecoder.moc"
