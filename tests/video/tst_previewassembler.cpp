// Datagrams into frames as networks deliver them, access unit scans, and showing again after a loss.
#include "video/nalscan.h"
#include "video/previewassembler.h"
#include "video/previewgate.h"

#include "support/testmain.h"

#include "previewfixtures.h"

using namespace kora::video;
using previewfixtures::datagram;

namespace {
// "seq/count[h|j]:payload", separated by spaces; payload "-" is empty, "!" a refused datagram.
QList<QByteArray> wire(const QString &text)
{
    QList<QByteArray> out;
    for (const QString &t : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (t == QLatin1String("!")) {
            out.append(QByteArray(15, 'V'));
            continue;
        }
        const QString head = t.section(QLatin1Char(':'), 0, 0), body = t.section(QLatin1Char(':'), 1);
        QString count = head.section(QLatin1Char('/'), 1);
        quint8 flags = 0;
        if (count.endsWith(QLatin1Char('h')))
            flags = kFlagHevc;
        if (count.endsWith(QLatin1Char('j')))
            flags = kFlagJpeg;
        count.remove(QRegularExpression(QStringLiteral("[hj]$")));
        out.append(datagram(quint8(head.section(QLatin1Char('/'), 0, 0).toInt()), quint8(count.toInt()), flags,
                            body == QLatin1String("-") ? QByteArray() : body.toLatin1()));
    }
    return out;
}

// Frames separated by spaces, "|" before one after a gap, suffix h for H.265 and j for JPEG.
QString run(PreviewAssembler &a, const QList<QByteArray> &datagrams)
{
    QStringList out;
    for (const QByteArray &d : datagrams) {
        const PreviewAssembler::Result r = a.add(d);
        QString gap = r.gap ? QStringLiteral("|") : QString();
        for (int i = 0; i < r.frames; ++i) {
            const FrameKind k = a.frameKind(i);
            out.append(gap + QString::fromLatin1(a.frame(i)) + (k == FrameKind::H265 ? "h" : k == FrameKind::Jpeg ? "j" : ""));
            gap.clear();
            // Padded as the decoders need it.
            if (QByteArray::fromRawData(reinterpret_cast<const char *>(a.frameData(i)) + a.frameSize(i), kPacketPadding)
                != QByteArray(kPacketPadding, '\0'))
                return QStringLiteral("unpadded");
        }
        if (!gap.isEmpty())
            out.append(gap);
    }
    return out.join(QLatin1Char(' '));
}

QByteArray nal(const char *hex) { return QByteArray::fromHex("00000001") + QByteArray::fromHex(hex); }
} // namespace

class TestPreviewAssembler : public QObject
{
    Q_OBJECT
private slots:
    void assembly_data()
    {
        columns<QString, QString>({"datagrams", "frames"});
        QTest::newRow("the frame under way at start is skipped") << "5/2:a 5/2:b 6/1:c" << "c";
        QTest::newRow("in order, 255 wraps to 0") << "254/1:- 255/2:x 255/2:y 0/1:z" << "xy z";
        QTest::newRow("an early copy of a piece") << "9/1:- 10/3:a 10/3:a 10/3:b 10/3:c" << "abc";
        QTest::newRow("the same bytes twice in one frame") << "9/1:- 10/3:a 10/3:a 10/3:b 11/1:c" << "aab c";
        QTest::newRow("the same bytes twice in frame 0, after another") << "254/1:- 255/1:x 0/3:a 0/3:a 0/3:b 1/1:c 2/1:d" << "x aab c d";
        QTest::newRow("no frame rebuilt after a lost one, counting on from 0") << "254/1:- 255/1:x 0/1:y 2/3:a 2/3:a 2/3:b 3/1:c" << "x y |c";
        QTest::newRow("a copy after the last piece is no piece of its own")
            << "9/1:- 10/1:x 11/3:a 11/3:b 11/3:a 12/1:c 13/1:d" << "x |c d";
        QTest::newRow("a late copy after its frame finished") << "9/1:- 10/2:a 10/2:b 10/2:b 11/1:n" << "ab n";
        QTest::newRow("a late copy after the next frame started")
            << "9/1:- 10/2:a 10/2:b 11/2:c 10/2:b 11/2:d 12/1:e" << "ab cd e";
        QTest::newRow("two frames interleaved") << "9/1:- 10/2:a 11/2:c 10/2:b 11/2:d" << "ab cd";
        QTest::newRow("the newer frame whole first gives up the older")
            << "9/1:- 10/1:a 11/2:b 12/1:c 11/2:x 13/1:d" << "a |c d";
        QTest::newRow("a lost piece: the next frame after a gap")
            << "9/1:- 10/1:a 11/3:b 11/3:c 12/1:z 13/1:q" << "a |z q";
        QTest::newRow("lost frames") << "3/1:- 4/1:a 7/1:b 8/1:c" << "a |b c";
        QTest::newRow("frames lost up to the limit ahead") << "3/1:- 4/1:a 20/1:b 21/1:c" << "a |b c";
        QTest::newRow("a stray far ahead") << "3/1:- 4/1:a 100/1:s 5/1:b" << "a b";
        QTest::newRow("a stray just ahead that looks whole") << "3/1:- 4/1:a 9/1:s 5/1:b 6/1:c" << "a b c";
        QTest::newRow("a stray piece of the next frame's number") << "3/1:- 4/1:a 6/3:s 5/1:b 6/2:c 6/2:d" << "a b cd";
        QTest::newRow("a held frame handed out as a frame before the unfinished one starts")
            << "1/1:- 2/1:a 10/2:x 6/1:b 8/1:c 9/1:d" << "a |b |c d";
        QTest::newRow("a held frame handed out as a frame after the unfinished one starts")
            << "1/1:- 2/1:a 6/2:x 4/1:b 8/1:c 9/1:d" << "a |b |c d";
        QTest::newRow("behind the stream") << "3/1:- 4/1:a 5/1:b 2/1:x 6/1:c" << "a b c";
        QTest::newRow("kinds from the flags") << "3/1:- 4/1h:a 5/2j:b 5/2j:c 6/1:d" << "ah bcj d";
        QTest::newRow("refused datagrams change nothing") << "3/1:- ! 4/2:a ! 4/2:b 4/0:z 5/1:c" << "ab c";
        QTest::newRow("empty pieces") << "1/1:- 2/2:- 2/2:-" << "";
        QString restarted = QStringLiteral("3/1:- 4/1:a"); // strays until the stream is taken to have moved
        for (int s = 100; s < 170; ++s)
            restarted += QStringLiteral(" %1/1:n").arg(s);
        QTest::newRow("a stream that restarted its count") << restarted << "a | n n n n n n";
        QString big = QStringLiteral("3/1:-"), whole, copies; // a keyframe of 70 pieces, repeated late as a burst
        for (int i = 0; i < 70; ++i) {
            big += QStringLiteral(" 4/70:p%1").arg(i);
            copies += QStringLiteral(" 4/70:p%1").arg(i);
            whole += QStringLiteral("p%1").arg(i);
        }
        QTest::newRow("a late burst of copies of a large frame") << big + " 5/1:b 6/1:c" + copies + " 7/1:d" << whole + " b c d";
    }
    void assembly()
    {
        QFETCH(QString, datagrams);
        PreviewAssembler a;
        QTEST(run(a, wire(datagrams)), "frames");
    }

    void scan_data()
    {
        columns<QByteArray, bool, bool, int, bool, bool, QSize>({"unit", "hevc", "key", "recovery", "sets", "slices", "announced"});
        // SPS: baseline 1280x720, high profile with scaling matrices 1920x1088.
        const QByteArray sps720 = nal("6742c01fda014016e4");
        const QByteArray spsHigh = nal("6764002aadffff80d940780227e540");
        const QByteArray pps = nal("68ce3c80");
        const QByteArray idr = nal("65888400"), p = nal("419a0204");
        const QByteArray sei = nal("0606014180"); // recovery point, recovery_frame_cnt 1
        QTest::newRow("IDR after SPS and PPS") << sps720 + pps + idr << false << true << -1 << true << true << QSize(1280, 720);
        QTest::newRow("high-profile SPS") << spsHigh + pps + idr << false << true << -1 << true << true << QSize(1920, 1088);
        // Its first scaling list asks for the default matrix (a delta of -8), the rest absent.
        QTest::newRow("high-profile SPS, default matrix") << nal("67640028ad84405a014016e4") + pps + idr << false << true << -1 << true
                                                          << true << QSize(1280, 720);
        QTest::newRow("P slice") << p << false << false << -1 << false << true << QSize();
        QTest::newRow("recovery point before a P slice") << sps720 + pps + sei + p << false << false << 1 << true << true << QSize(1280, 720);
        // recovery_frame_cnt 2^32 - 2: garbage, not a recovery point of 0 frames
        QTest::newRow("recovery count out of range") << nal("06060900000300" "01ffffffff8080") + p << false << false << -1 << false << true << QSize();
        QTest::newRow("parameter sets alone") << sps720 + pps << false << false << -1 << true << false << QSize(1280, 720);
        QTest::newRow("3-byte start code, AUD first") << QByteArray::fromHex("0000010910000001658884") << false << true << -1 << false << true << QSize();
        QTest::newRow("garbage") << QByteArray(300, '\x5a') << false << false << -1 << false << false << QSize();
        QTest::newRow("truncated SPS") << nal("6742c0") << false << false << -1 << true << false << QSize();
        const QByteArray vps = nal("40010c01ffff016000000300b0000003000003005d"), pps265 = nal("4401c172b46240");
        const QByteArray sps265 = nal("42010101600000030090000003000003005da00280802d14"); // 1280x720
        QTest::newRow("H.265 IDR after VPS, SPS, PPS") << vps + sps265 + pps265 + nal("2601af08") << true << true << -1 << true << true << QSize(1280, 720);
        QTest::newRow("H.265 CRA") << nal("2a01af08") << true << true << -1 << false << true << QSize();
        QTest::newRow("H.265 recovery point, trailing slice") << nal("4e0106019080") + nal("0201d00c") << true << false << 0 << false << true << QSize();
        QTest::newRow("H.264 IDR read as H.265") << idr << true << false << -1 << false << false << QSize();
    }
    void scan()
    {
        QFETCH(QByteArray, unit);
        QFETCH(bool, hevc);
        QFETCH(bool, slices);
        QFETCH(QSize, announced);
        const AccessUnitInfo info = scanAccessUnit(reinterpret_cast<const uchar *>(unit.constData()), unit.size(), hevc);
        QTEST(info.keyframe, "key");
        QTEST(info.recoveryFrames, "recovery");
        QTEST(info.parameterSets, "sets");
        QCOMPARE(info.slices, slices);
        QCOMPARE(info.announced, announced);
        if (slices) // the leading run ends where the first slice's start code begins
            QVERIFY(unit.mid(info.parameterSetBytes).startsWith(QByteArray::fromHex("000001"))
                    || unit.mid(info.parameterSetBytes).startsWith(QByteArray::fromHex("00000001")));
    }

    // K keyframe, R<n> recovery point, P slice, S parameter sets alone; "lost" before a frame.
    void gate_data()
    {
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QString>("steps"); // feed: - skip, s sets only, w whole; then + shown
        QTest::newRow("start waits for a keyframe") << "P P K P" << "- - w+ w+";
        QTest::newRow("parameter sets are kept while waiting") << "S P K" << "s - w+";
        QTest::newRow("a recovery point ends the wait after its frames") << "P R2 P P P" << "- w w w+ w+";
        QTest::newRow("a recovery point of 0 is whole at once") << "R0 P" << "w+ w+";
        QTest::newRow("a loss during recovery starts again") << "R2 P lost P R1 P" << "w w - w w+";
        QTest::newRow("a loss after a clean picture") << "K P lost P K" << "w+ w+ - w+";
        QTest::newRow("sets during recovery do not count") << "R1 S P" << "w w w+";
    }
    void gate()
    {
        QFETCH(QString, frames);
        RecoveryGate g;
        QStringList got;
        for (const QString &f : frames.split(QLatin1Char(' '))) {
            if (f == QLatin1String("lost")) {
                g.lost();
                continue;
            }
            AccessUnitInfo info;
            info.keyframe = f == QLatin1String("K");
            info.slices = f != QLatin1String("S");
            info.parameterSets = f == QLatin1String("S") || f == QLatin1String("K");
            if (f.startsWith(QLatin1Char('R')))
                info.recoveryFrames = f.mid(1).toInt();
            const RecoveryGate::Step s = g.next(info);
            const char *feed = s.feed == RecoveryGate::Feed::Skip ? "-" : s.feed == RecoveryGate::Feed::ParameterSets ? "s" : "w";
            got.append(QString::fromLatin1(feed) + (s.show ? "+" : ""));
        }
        QTEST(got.join(QLatin1Char(' ')), "steps");
    }

    void keyframeRequestsAtMostOnceASecondPerEncoder()
    {
        KeyframeRequests r;
        QCOMPARE(r.allow(QStringLiteral("10.0.0.30"), 5000), 0);
        QCOMPARE(r.allow(QStringLiteral("10.0.0.30"), 5700), 300); // not yet: in 300 ms
        QCOMPARE(r.allow(QStringLiteral("10.0.0.31"), 5999), 0);
        QCOMPARE(r.allow(QStringLiteral("10.0.0.30"), 6000), 0);
        QCOMPARE(r.allow(QStringLiteral("10.0.0.30"), 6500), 500); // counted from the one allowed at 6000
        QCOMPARE(r.allow(QString(), 9000), -1);
    }

    void outputSize_data()
    {
        columns<QSize, QSize, QSize>({"source", "shown", "out"});
        QTest::newRow("well below, stretched by the item") << QSize(1920, 1080) << QSize(400, 400) << QSize(400, 400);
        QTest::newRow("below in one direction only") << QSize(1920, 1080) << QSize(320, 1200) << QSize(1920, 1080);
        QTest::newRow("as wide, lower") << QSize(1920, 1080) << QSize(1920, 1000) << QSize(1920, 1000);
        QTest::newRow("no size yet") << QSize(1920, 1080) << QSize() << QSize(1920, 1080);
    }
    void outputSize()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, shown);
        QTEST(previewOutputSize(source, shown), "out");
    }
};

KORA_TEST(TestPreviewAssembler)
#include "tst_previewassembler.moc"
