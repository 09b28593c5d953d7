// Putting stream datagrams together into frames, the keyframe scan, the registration
// message and the output size rule.
#include "video/previewassembler.h"

#include <QtTest>

#include "previewfixtures.h"

using namespace kora::video;
using previewfixtures::datagram;

Q_DECLARE_METATYPE(QList<QByteArray>)

class TestPreviewAssembler : public QObject
{
    Q_OBJECT
private slots:
    void assembly_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<QList<QByteArray>>("frames");   // completed, in order
        QTest::addColumn<QList<int>>("kinds");           // FrameKind of each
        QTest::addColumn<QList<int>>("gapsAt");          // indexes of the datagrams reporting a gap
        QTest::addColumn<int>("refused");

        const int h264 = int(FrameKind::H264), h265 = int(FrameKind::H265), jpeg = int(FrameKind::Jpeg);
        QTest::newRow("the first datagram only sets the sequence")
            << QList<QByteArray>{datagram(5, 2, 0, "a"), datagram(5, 2, 0, "b"), datagram(6, 1, 0, "c")}
            << QList<QByteArray>{"c"} << QList<int>{h264} << QList<int>{} << 0;
        QTest::newRow("a one-fragment frame at start is skipped, the next completes at once")
            << QList<QByteArray>{datagram(1, 1, 0, "x"), datagram(2, 1, 0, "abc")}
            << QList<QByteArray>{"abc"} << QList<int>{h264} << QList<int>{} << 0;
        QTest::newRow("fragments in order")
            << QList<QByteArray>{datagram(9, 1, 0, ""), datagram(10, 3, 0, "ab"), datagram(10, 3, 0, "cd"),
                                 datagram(10, 3, 0, "e")}
            << QList<QByteArray>{"abcde"} << QList<int>{h264} << QList<int>{} << 0;
        QTest::newRow("a lost fragment drops only its frame")
            << QList<QByteArray>{datagram(9, 1, 0, ""), datagram(10, 3, 0, "a"), datagram(10, 3, 0, "b"),
                                 datagram(11, 1, 0, "z"), datagram(12, 2, 0, "p"), datagram(12, 2, 0, "q")}
            << QList<QByteArray>{"z", "pq"} << QList<int>{h264, h264} << QList<int>{3} << 0;
        QTest::newRow("a duplicate after the last fragment: delivered once, then a gap")
            << QList<QByteArray>{datagram(9, 1, 0, ""), datagram(10, 2, 0, "a"), datagram(10, 2, 0, "b"),
                                 datagram(10, 2, 0, "b"), datagram(10, 2, 0, "b"), datagram(11, 1, 0, "n")}
            << QList<QByteArray>{"ab", "n"} << QList<int>{h264, h264} << QList<int>{3} << 0;
        QTest::newRow("a duplicate among the fragments: the real last one overshoots")
            << QList<QByteArray>{datagram(9, 1, 0, ""), datagram(10, 3, 0, "a"), datagram(10, 3, 0, "a"),
                                 datagram(10, 3, 0, "b"), datagram(10, 3, 0, "c")}
            << QList<QByteArray>{"aab"} << QList<int>{h264} << QList<int>{4} << 0;
        QTest::newRow("255 wraps to 0")
            << QList<QByteArray>{datagram(254, 1, 0, ""), datagram(255, 1, 0, "x"), datagram(0, 1, 0, "y"),
                                 datagram(1, 1, 0, "z")}
            << QList<QByteArray>{"x", "y", "z"} << QList<int>{h264, h264, h264} << QList<int>{} << 0;
        QTest::newRow("a jump over frames is a gap")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 1, 0, "a"), datagram(7, 1, 0, "b")}
            << QList<QByteArray>{"a", "b"} << QList<int>{h264, h264} << QList<int>{2} << 0;
        QTest::newRow("a jump back is a gap")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 1, 0, "a"), datagram(2, 1, 0, "b")}
            << QList<QByteArray>{"a", "b"} << QList<int>{h264, h264} << QList<int>{2} << 0;
        QTest::newRow("an unfinished frame and a jump make one gap")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 2, 0, "a"), datagram(9, 1, 0, "b")}
            << QList<QByteArray>{"b"} << QList<int>{h264} << QList<int>{2} << 0;
        QTest::newRow("the codec flag")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 1, kFlagHevc, "a"), datagram(5, 1, 0, "b")}
            << QList<QByteArray>{"a", "b"} << QList<int>{h265, h264} << QList<int>{} << 0;
        QTest::newRow("the JPEG flag, with or without the codec flag")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 2, kFlagJpeg, "\xff\xd8"),
                                 datagram(4, 2, kFlagJpeg, "\xff\xd9"), datagram(5, 1, kFlagJpeg | kFlagHevc, "j")}
            << QList<QByteArray>{"\xff\xd8\xff\xd9", "j"} << QList<int>{jpeg, jpeg} << QList<int>{} << 0;
        QTest::newRow("the kind comes from the completing datagram")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 2, 0, "a"), datagram(4, 2, kFlagJpeg, "b")}
            << QList<QByteArray>{"ab"} << QList<int>{jpeg} << QList<int>{} << 0;
        QTest::newRow("a short datagram is refused and sets nothing")
            << QList<QByteArray>{QByteArray(15, 'V'), datagram(3, 1, 0, "a"), datagram(4, 1, 0, "b")}
            << QList<QByteArray>{"b"} << QList<int>{h264} << QList<int>{} << 1;
        QTest::newRow("without the V")
            << QList<QByteArray>{datagram(3, 1, 0, ""), datagram(4, 1, 0, "a", 'v'), datagram(4, 1, 0, "b")}
            << QList<QByteArray>{"b"} << QList<int>{h264} << QList<int>{} << 1;
        QTest::newRow("a frame of 0 fragments is refused and lost")
            << QList<QByteArray>{datagram(1, 1, 0, ""), datagram(2, 0, 0, "a"), datagram(2, 0, 0, "b"),
                                 datagram(3, 1, 0, "c")}
            << QList<QByteArray>{"c"} << QList<int>{h264} << QList<int>{1} << 1;
        QTest::newRow("longer than a UDP payload")
            << QList<QByteArray>{datagram(1, 1, 0, ""), datagram(2, 1, 0, QByteArray(kMaxDatagram, 'x')),
                                 datagram(3, 1, 0, "c")}
            << QList<QByteArray>{"c"} << QList<int>{h264} << QList<int>{2} << 1;
        QTest::newRow("empty pieces")
            << QList<QByteArray>{datagram(1, 1, 0, ""), datagram(2, 2, 0, ""), datagram(2, 2, 0, "")}
            << QList<QByteArray>{""} << QList<int>{h264} << QList<int>{} << 0;
    }
    void assembly()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QList<int>, kinds);
        QFETCH(QList<int>, gapsAt);
        QFETCH(int, refused);
        PreviewAssembler a;
        QList<QByteArray> gotFrames;
        QList<int> gotKinds, gotGaps;
        for (int i = 0; i < datagrams.size(); ++i) {
            const PreviewAssembler::Result r = a.add(datagrams[i]);
            if (r.gap)
                gotGaps.append(i);
            if (r.complete) {
                gotFrames.append(a.takeFrame());
                gotKinds.append(int(a.frameKind()));
            }
        }
        QCOMPARE(gotFrames, frames);
        QCOMPARE(gotKinds, kinds);
        QCOMPARE(gotGaps, gapsAt);
        QCOMPARE(a.gaps(), quint64(gapsAt.size()));
        QCOMPARE(a.refused(), quint64(refused));
        QCOMPARE(a.frames(), quint64(frames.size()));
    }

    void resetStartsAfresh()
    {
        PreviewAssembler a;
        a.add(datagram(1, 1, 0, ""));
        a.add(datagram(2, 2, 0, "a"));
        a.reset();
        // After a reset the first datagram only gives the sequence again: no gap for the
        // unfinished frame, no frame from this one.
        const PreviewAssembler::Result r = a.add(datagram(40, 1, 0, "b"));
        QVERIFY(r.stream && !r.gap && !r.complete);
        QVERIFY(a.add(datagram(41, 1, 0, "c")).complete);
        QCOMPARE(a.takeFrame(), QByteArray("c"));
        QCOMPARE(a.takeFrame(), QByteArray()); // taken once
    }

    void resultCarriesTheFlags()
    {
        PreviewAssembler a;
        const PreviewAssembler::Result r = a.add(datagram(1, 1, kFlagHevc, ""));
        QVERIFY(r.stream);
        QCOMPARE(r.flags, quint8(kFlagHevc));
        QVERIFY(!a.add(QByteArray("nope")).stream);
    }

    void keyframe_data()
    {
        QTest::addColumn<QByteArray>("annexB");
        QTest::addColumn<bool>("hevc");
        QTest::addColumn<bool>("key");
        const QByteArray sps264 = QByteArray::fromHex("0000000167640016acd9");
        const QByteArray pps264 = QByteArray::fromHex("0000000168ebe3cb");
        QTest::newRow("H.264 IDR after SPS and PPS")
            << sps264 + pps264 + QByteArray::fromHex("0000000165888400") << false << true;
        QTest::newRow("H.264 IDR, 3-byte start code") << QByteArray::fromHex("00000165888400") << false << true;
        QTest::newRow("H.264 IDR after AUD and SEI")
            << QByteArray::fromHex("0000000109f0000001060501ff8000000165b8") << false << true;
        QTest::newRow("H.264 non-IDR slice") << QByteArray::fromHex("00000001419a0204") << false << false;
        QTest::newRow("H.264 SPS and PPS alone") << sps264 + pps264 << false << false;
        QTest::newRow("H.264 truncated IDR NAL") << QByteArray::fromHex("00000165") << false << false;
        QTest::newRow("H.264 IDR header, then the next NAL")
            << QByteArray::fromHex("0000016500000001419a") << false << false;
        QTest::newRow("H.264 start code alone") << QByteArray::fromHex("000001") << false << false;
        QTest::newRow("no start code") << QByteArray::fromHex("65888400") << false << false;
        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("H.265 slice read as H.264") << QByteArray::fromHex("000000012601af08") << false << false;

        const QByteArray vps = QByteArray::fromHex("00000001400c01ff");
        const QByteArray sps265 = QByteArray::fromHex("0000000142010101");
        const QByteArray pps265 = QByteArray::fromHex("000000014401c172");
        QTest::newRow("H.265 IDR_W_RADL (19) after VPS, SPS, PPS")
            << vps + sps265 + pps265 + QByteArray::fromHex("000000012601af08") << true << true;
        QTest::newRow("H.265 CRA (21)") << QByteArray::fromHex("0000012a01af08") << true << true;
        QTest::newRow("H.265 BLA_W_LP (16)") << QByteArray::fromHex("0000012001af") << true << true;
        QTest::newRow("H.265 TRAIL_R (1)") << QByteArray::fromHex("000000010201d00c") << true << false;
        QTest::newRow("H.265 parameter sets alone") << vps + sps265 + pps265 << true << false;
        QTest::newRow("H.265 truncated header") << QByteArray::fromHex("00000126") << true << false;
        QTest::newRow("H.265 header without payload") << QByteArray::fromHex("0000012601") << true << false;
        QTest::newRow("H.264 IDR read as H.265") << QByteArray::fromHex("00000165888400") << true << false;
    }
    void keyframe()
    {
        QFETCH(QByteArray, annexB);
        QFETCH(bool, hevc);
        QFETCH(bool, key);
        QCOMPARE(isKeyframe(annexB, hevc), key);
    }

    void outputSize_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QSize>("out");
        QTest::newRow("well below") << QSize(1920, 1080) << QSize(320, 180) << QSize(320, 180);
        QTest::newRow("other aspect, stretched by the item") << QSize(1920, 1080) << QSize(400, 400) << QSize(400, 400);
        QTest::newRow("close to the source") << QSize(1920, 1080) << QSize(1600, 900) << QSize(1920, 1080);
        QTest::newRow("exactly 3/4") << QSize(1920, 1080) << QSize(1440, 810) << QSize(1920, 1080);
        QTest::newRow("below in one direction only") << QSize(1920, 1080) << QSize(320, 1000) << QSize(1920, 1080);
        QTest::newRow("larger than the source") << QSize(320, 240) << QSize(1920, 1080) << QSize(320, 240);
        QTest::newRow("no size yet") << QSize(1920, 1080) << QSize() << QSize(1920, 1080);
        QTest::newRow("empty item") << QSize(1920, 1080) << QSize(0, 0) << QSize(1920, 1080);
    }
    void outputSize()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, shown);
        QFETCH(QSize, out);
        QCOMPARE(previewOutputSize(source, shown), out);
    }

    void registration()
    {
        QCOMPARE(registrationMessage(QStringLiteral("224.168.62.50"), 32249), QByteArray("udp://224.168.62.50:32249/v"));
        QCOMPARE(readHeader(datagram(200, 3, 6, "x"))->sequence, quint8(200));
    }
};

QTEST_GUILESS_MAIN(TestPreviewAssembler)
#include "tst_previewassembler.moc"
