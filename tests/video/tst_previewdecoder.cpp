// The preview decoder fed datagrams of pictures encoded at run time, through the worker's entry in its thread.
#include "video/ffmpegthread.h"
#include "video/nalscan.h"
#include "video/previewhealth.h"

#include "support/testmain.h"

#include "previewfixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace previewfixtures;
using namespace kora::video;

namespace {
lab::Codec codecOf(quint8 flags)
{
    if (flags & kFlagJpeg)
        return lab::Codec::Jpeg;
    return (flags & kFlagHevc) ? lab::Codec::H265 : lab::Codec::H264;
}

// An H.264 SPS NAL written field by field: baseline profile, picture order count type 1
// with `cycle` offsets, `widthMbs` x `heightMbs` macroblocks; emulation prevention applied.
QByteArray h264Sps(quint32 cycle, quint32 widthMbs, quint32 heightMbs)
{
    QVector<bool> bits;
    const auto put = [&bits](quint64 v, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.append((v >> i) & 1);
    };
    const auto ue = [&put](quint32 v) {
        const int n = 64 - __builtin_clzll(quint64(v) + 1);
        put(0, n - 1);
        put(quint64(v) + 1, n);
    };
    put(66, 8), put(0x1f, 16), ue(0), ue(0), ue(1), put(0, 1), put(1, 1), put(1, 1), ue(cycle);
    for (quint32 i = 0; i < cycle; ++i)
        put(1, 1); // se(0)
    ue(1), put(0, 1), ue(widthMbs - 1), ue(heightMbs - 1), put(1, 1), put(1, 1), put(0, 2), put(1, 1);
    QByteArray nal(1, '\x67'), raw;
    for (int i = 0; i < bits.size(); i += 8) {
        uchar b = 0;
        for (int k = 0; k < 8; ++k)
            b = uchar(b << 1 | (i + k < bits.size() && bits[i + k]));
        raw.append(char(b));
    }
    for (const char c : raw) {
        if (nal.endsWith(QByteArray(2, '\0')) && uchar(c) <= 3)
            nal.append('\x03');
        nal.append(c);
    }
    return nal;
}
} // namespace

class TestPreviewDecoder : public QObject
{
    Q_OBJECT
private slots:
    void colours_data()
    {
        columns<quint8, QColor>({"flags", "colour"});
        QTest::newRow("H.264") << quint8(0) << kRed;
        QTest::newRow("H.265") << quint8(kFlagHevc) << kBlue;
        QTest::newRow("JPEG, also when flagged H.265") << quint8(kFlagJpeg | kFlagHevc) << kGreen;
    }
    void colours()
    {
        QFETCH(quint8, flags);
        QFETCH(QColor, colour);
        const QList<QByteArray> frames = encode(codecOf(flags), kSize, 6, colour);
        if (frames.isEmpty())
            QSKIP("encoder not in this FFmpeg build");
        Worker w;
        Sender sender;
        w.feed(sender.stream(frames, flags, 500));
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(6));
        QTRY_VERIFY(wholeIn(w.last, colour));
        QCOMPARE(w.last.size(), kSize);
        QCOMPARE(w.worker->counters().gaps, quint64(0));
    }

    // Datagrams that bring no frame of the stream leave its decoder alone.
    void noiseLeavesTheDecoderAlone_data()
    {
        columns<bool>({"stray"});
        QTest::newRow("a stray flagged H.265") << true;
        QTest::newRow("an empty frame") << false;
    }
    void noiseLeavesTheDecoderAlone()
    {
        QFETCH(bool, stray);
        const QList<QByteArray> frames = encode(lab::Codec::H264, kSize, 6, kRed);
        QCOMPARE(frames.size(), 6);
        Worker w;
        Sender sender, other(100);
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 0; i < 6; ++i) {
            datagrams += sender.frame(frames[i], 0);
            if (i == 2)
                datagrams += stray ? other.frame(frames[i], kFlagHevc) : QList<QByteArray>{sender.prime()};
        }
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(6));
        QCOMPARE(w.worker->counters().gaps, quint64(0));
    }

    // Red before the loss, green until clean, blue after: a green picture shown lacked its references.
    // Clean at the next keyframe, or one refresh after the next recovery point.
    void lossHoldsUntilClean_data()
    {
        // reorder: instead of losing a piece, two pieces swap places; clean: first frame shown again
        columns<bool, bool, int>({"intraRefresh", "reorder", "clean"});
        QTest::newRow("keyframes") << false << false << 10;
        QTest::newRow("pieces reordered") << false << true << 10;
        QTest::newRow("intra refresh") << true << false << 19; // recovery point at 10, 9 frames on
    }
    void lossHoldsUntilClean()
    {
        QFETCH(bool, intraRefresh);
        QFETCH(bool, reorder);
        QFETCH(int, clean);
        constexpr int kLost = 4;
        const QList<QByteArray> frames = encode(lab::Codec::H264, kSize, 26, [](int i) {
            return i < kLost ? kRed : (i < 10 ? kGreen : kBlue);
        }, 10, intraRefresh);
        QCOMPARE(frames.size(), 26);
        Worker w;
        Sender sender;
        w.feed({sender.prime()});
        for (int i = 0; i < 26; ++i) {
            QList<QByteArray> frame = sender.frame(frames[i], 0, 200, 6);
            if (i == kLost && reorder)
                frame.swapItemsAt(1, 2);
            else if (i == kLost)
                frame.removeAt(1);
            w.feed(frame);
            if (i < kLost)
                QTRY_VERIFY(wholeIn(w.last, kRed));
            const quint64 shown = w.worker->counters().framesDecoded;
            QCOMPARE(shown, quint64(i < kLost ? i + 1 : i < clean ? kLost : kLost + i - clean + 1));
        }
        QTRY_VERIFY(wholeIn(w.last, kBlue));
        QVERIFY(w.worker->counters().gaps >= 1);
    }

    // Joined mid-way through an encoder's refresh (one keyframe at the start only): the
    // parameter sets and the picture come from the next recovery point.
    void intraRefreshJoinShowsAPictureAfterOneRefresh()
    {
        // One keyframe, then refreshes from frame 10, 20, ...
        const QList<QByteArray> frames =
            encode(lab::Codec::H264, kSize, 40, [](int i) { return i < 20 ? kRed : kBlue; }, 10, true);
        QCOMPARE(frames.size(), 40);
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        for (int i = 13; i < 40; ++i) // joined after the first refresh began
            datagrams += sender.frame(frames[i], 0);
        w.feed(datagrams);
        // Recovery point at 20, whole at 29: frames 29..39.
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(11));
        QTRY_VERIFY(wholeIn(w.last, kBlue));
    }

    void parameterSetsOnTheirOwnAreKeptWhileWaiting()
    {
        const QList<QByteArray> frames = encode(lab::Codec::H264, kSize, 6, kGreen);
        QCOMPARE(frames.size(), 6);
        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        datagrams += sender.frame(frames[1], 0); // joined mid-way: waiting for a keyframe
        // The keyframe at 5 as an encoder may send it: its parameter sets in a frame of their own.
        const QByteArray &key = frames[5];
        const AccessUnitInfo info = scanAccessUnit(reinterpret_cast<const uchar *>(key.constData()), key.size(), false);
        QVERIFY(info.keyframe && info.parameterSetBytes > 0);
        datagrams += sender.frame(key.left(info.parameterSetBytes), 0);
        datagrams += sender.frame(key.mid(info.parameterSetBytes), 0);
        w.feed(datagrams);
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(1));
        QTRY_VERIFY(wholeIn(w.last, kGreen));
    }

    void spsLimits_data()
    {
        columns<quint32, quint32, quint32, QSize>({"cycle", "widthMbs", "heightMbs", "size"});
        QTest::newRow("255 offsets") << 255u << 20u << 15u << QSize(320, 240);
        QTest::newRow("256 offsets") << 256u << 20u << 15u << QSize();
        QTest::newRow("65535 macroblocks wide") << 0u << 0xFFFFu << 15u << QSize(0xFFFF * 16, 240);
        QTest::newRow("65536 macroblocks wide") << 0u << 0x10000u << 15u << QSize();
        QTest::newRow("65535 macroblocks high") << 0u << 20u << 0xFFFFu << QSize(320, 0xFFFF * 16);
        QTest::newRow("65536 macroblocks high") << 0u << 20u << 0x10000u << QSize();
    }
    void spsLimits()
    {
        QFETCH(quint32, cycle);
        QFETCH(quint32, widthMbs);
        QFETCH(quint32, heightMbs);
        const QByteArray nal = h264Sps(cycle, widthMbs, heightMbs);
        QTEST(spsPictureSize(reinterpret_cast<const uchar *>(nal.constData()), nal.size(), false), "size");
    }

    // Too many pixels: refused before decoding, and by the decoder's own pixel limit too.
    void oversizedPicturesAreRefused()
    {
        const QByteArray unit = encode(lab::Codec::H264, QSize(4112, 2320), 1, kRed).value(0); // just above the limit
        QVERIFY(!unit.isEmpty());

        AvPtr<AVCodecContext> decoder = openVideoDecoder(AV_CODEC_ID_H264);
        QVERIFY(decoder);
        QByteArray padded = unit + QByteArray(kPacketPadding, '\0');
        AvPtr<AVPacket> packet(av_packet_alloc());
        AvPtr<AVFrame> frame(av_frame_alloc());
        packet->data = reinterpret_cast<uint8_t *>(padded.data());
        packet->size = unit.size();
        avcodec_send_packet(decoder.get(), packet.get());
        QVERIFY(avcodec_receive_frame(decoder.get(), frame.get()) < 0);

        Worker w;
        Sender sender;
        QList<QByteArray> datagrams{sender.prime()};
        datagrams += sender.frame(unit, 0, unit.size() / 200 + 1);
        // One bad stream costs nothing but itself: a sound one decodes afterwards. (The
        // even picture repeats pieces; they are known to be its own once the next is whole.)
        datagrams += sender.frame(encode(lab::Codec::H264, kSize, 1, kBlue).value(0), 0);
        w.feed(datagrams);
        QTRY_VERIFY(wholeIn(w.last, kBlue));
        QCOMPARE(w.worker->counters().framesDecoded, quint64(1));
        QCOMPARE(w.worker->counters().malformed, quint64(1));
        // The side limit: 8192 pixels wide is shown, 16 more are refused.
        for (const int width : {8192 + 16, 8192}) {
            const QByteArray wide = encode(lab::Codec::H264, QSize(width, 16), 1, kRed).value(0);
            QVERIFY(!wide.isEmpty());
            w.feed(sender.frame(wide, 0, 1200));
        }
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(2));
        QCOMPARE(w.worker->counters().malformed, quint64(2));
    }

    void hostileFrames_data()
    {
        columns<quint8, QByteArray>({"flags", "frame"});
        QTest::newRow("JPEG garbage") << quint8(kFlagJpeg) << QByteArray(3000, '\x5a');
        QTest::newRow("H.264 keyframe of garbage") << quint8(0) << QByteArray::fromHex("0000000165") + QByteArray(2000, '\xff');
    }
    void hostileFrames()
    {
        QFETCH(quint8, flags);
        QFETCH(QByteArray, frame);
        Worker w;
        Sender sender;
        w.feed(QList<QByteArray>{sender.prime(flags)} + sender.frame(frame, flags));
        QCOMPARE(w.worker->counters().framesDecoded, quint64(0));
        w.feed(sender.frame(encode(codecOf(flags), kSize, 1, kBlue).value(0), flags));
        QTRY_VERIFY(wholeIn(w.last, kBlue));
    }

    // Two item sizes on one stream: a picture per size; one as large as the source gets the source's.
    void onePicturePerShownSize()
    {
        Worker w(QSize(100, 80));
        w.call([](FFmpegThread *f) {
            f->addView(QSize(320, 300)); // as wide as the source: source size
            f->addView(QSize(100, 80));  // a second item at the first one's size
        });
        Sender sender;
        w.feed(sender.stream(encode(lab::Codec::H264, kSize, 3, kGreen)));
        QTRY_VERIFY(wholeIn(w.last, kGreen));
        QCOMPARE(w.last.size(), QSize(100, 80));
        quint64 serial = 0;
        QCOMPARE(w.worker->takeFrame(QSize(320, 300), &serial).size(), kSize);
        QVERIFY(w.worker->takeFrame(QSize(320, 300), &serial).isNull()); // nothing newer
        QCOMPARE(w.worker->sourceSize(), kSize);
    }

    void latestPictureWins()
    {
        Worker w;
        Sender sender;
        // All fed in one go in the worker thread: the test thread reads nothing in between.
        w.feed(sender.stream(encode(lab::Codec::H264, kSize, 6, [](int i) { return i < 5 ? kRed : kBlue; })));
        QTRY_COMPARE(w.pictures, 1);
        QVERIFY(wholeIn(w.last, kBlue));
        const PreviewCounters c = w.worker->counters();
        QCOMPARE(c.framesDropped, quint64(5));
        QCOMPARE(c.framesTaken, quint64(1));
        QVERIFY(c.decodeNs > 0);
        QCOMPARE(w.worker->sourceCodec(), QString("H.264"));
    }

    // What a view waits for after one-second looks at its counters: each look names what
    // changed since the last (d datagrams, p a picture shown, k frames held back, g a gap).
    void waiting_data()
    {
        columns<QString, int, int>({"looks", "wait", "seconds"});
        QTest::addColumn<int>("lost"); // frames lost since the join, as the statistics show
        const int none = int(PreviewWait::None), stream = int(PreviewWait::Stream),
                  key = int(PreviewWait::Keyframe), silent = int(PreviewWait::Silent);
        QTest::newRow("nothing received") << QString("-,-") << stream << -1 << 0;
        QTest::newRow("datagrams, no picture yet") << QString("-,d") << key << -1 << 0;
        QTest::newRow("slow stream between pictures") << QString("dp,d") << none << -1 << 0;
        QTest::newRow("a gap held back") << QString("dp,dgk,dk") << key << -1 << 1;
        QTest::newRow("clean again") << QString("dp,dgk,dp") << none << -1 << 1;
        QTest::newRow("stopped") << QString("dp,-,-,-,-,-,-,-,-") << silent << 8 << 0;
        QTest::newRow("stopped, not for long") << QString("dp,-") << none << -1 << 0;
        QTest::newRow("back without a picture") << QString("dp,-,-,-,d") << key << -1 << 0;
    }
    void waiting()
    {
        QFETCH(QString, looks);
        PreviewHealth health;
        PreviewSample s;
        s.gaps = 3; // before the join
        health.start(s);
        for (const QString &look : looks.split(',')) {
            s.atMs += 1000;
            s.datagrams += look.contains('d') ? 10 : 0;
            s.shown += look.contains('p') ? 25 : 0;
            s.decoded += look.contains('p') ? 25 : 0;
            s.discarded += look.contains('k') ? 5 : 0;
            s.gaps += look.contains('g') ? 1 : 0;
            s.decodeNs += look.contains('p') ? 25 * 2000000 : 0;
            health.next(s);
        }
        QTEST(int(health.wait()), "wait");
        QTEST(health.silentSeconds(), "seconds");
        QTEST(int(health.rates().lost), "lost");
        // The last second's figures: frames received (decoded or held back), 2 ms a decode.
        const QString last = looks.section(',', -1);
        QCOMPARE(health.rates().received, double((last.contains('p') ? 25 : 0) + (last.contains('k') ? 5 : 0)));
        QCOMPARE(health.rates().decodeMs, last.contains('p') ? 2.0 : 0.0);
    }
};

KORA_TEST(TestPreviewDecoder)
#include "tst_previewdecoder.moc"
