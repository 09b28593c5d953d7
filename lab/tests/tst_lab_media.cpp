// The lab's media without a network: pattern, encoded loops, datagrams, registrations, faults.
#include "faults.h"
#include "labconfig.h"
#include "media/codec.h"
#include "media/pattern.h"
#include "media/streams.h"
#include "media/wire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>
#include "support/table.h"

using namespace lab;

namespace {
QList<int> defaultEncoders()
{
    QList<int> hosts;
    for (int h = 30; h <= 44; ++h)
        hosts.append(h);
    return hosts;
}

// NAL unit types of an Annex-B access unit, in order.
QList<int> nalTypes(const QByteArray &unit, Codec codec)
{
    QList<int> types;
    for (int i = 0; i + 3 < unit.size(); ++i) {
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1) {
            const quint8 header = quint8(unit[i + 3]);
            types.append(codec == Codec::H264 ? header & 0x1f : (header >> 1) & 0x3f);
            i += 3;
        }
    }
    return types;
}

QByteArray bytes(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i * 7 + i / 251);
    return b;
}

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}
} // namespace

class TestLabMedia : public QObject
{
    Q_OBJECT
private slots:
    void coloursTellTheEncodersApart()
    {
        const QList<int> hosts = defaultEncoders();
        for (int a : hosts) {
            QCOMPARE(nearestSignal(signalColour(a), hosts), a);
            QVERIFY(signalColour(a).hsvSaturationF() > 0.9);
            for (int b : hosts) {
                if (a == b)
                    continue;
                double d = std::fabs(signalColour(a).hsvHueF() - signalColour(b).hsvHueF()) * 360.0;
                d = qMin(d, 360.0 - d);
                QVERIFY2(d >= 23, qPrintable(QStringLiteral("%1 and %2 only %3 degrees apart").arg(a).arg(b).arg(d)));
            }
        }
        QCOMPARE(nearestSignal(QColor(128, 128, 128), hosts), -1); // grey says nothing
        QCOMPARE(nearestSignal(QColor(0, 0, 0), hosts), -1);
    }

    void frameNumbersSurviveEncoding_data()
    {
        columns<QString, QSize>({"codec", "size"});
        for (const char *codec : {"h264", "h265", "jpeg"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 1080p").arg(codec))) << codec << QSize(1920, 1080);
            QTest::newRow(qPrintable(QStringLiteral("%1 360p").arg(codec))) << codec << QSize(640, 360);
        }
    }
    void frameNumbersSurviveEncoding()
    {
        QFETCH(QString, codec);
        QFETCH(QSize, size);
        LoopFormat f;
        QVERIFY(parseCodec(codec, &f.codec));
        f.size = size;
        f.fps = 30;
        f.frames = 5;
        f.keyInterval = 3;
        const QList<int> numbers{0, 1, 0x555, 0xaaa, 4095};
        const int host = 36;
        QString error;
        const auto loop = encodeLoop(f, [&](int n) { return testPattern(host, size, numbers[n], f.fps); }, &error);
        QVERIFY2(loop, qPrintable(error));
        QCOMPARE(loop->frames.size(), 5);
        if (f.codec == Codec::Jpeg)
            QCOMPARE(loop->keyframes, QVector<bool>(5, true));
        else
            QCOMPARE(loop->keyframes, (QVector<bool>{true, false, false, true, false}));

        FrameDecoder decoder(f.codec);
        QVERIFY(decoder.isValid());
        for (int n = 0; n < 5; ++n) {
            const QByteArray &unit = loop->frames[n];
            if (f.codec == Codec::Jpeg) {
                QVERIFY(unit.startsWith("\xff\xd8") && unit.endsWith("\xff\xd9"));
            } else {
                QVERIFY(unit.startsWith(QByteArray("\x00\x00\x00\x01", 4)));
                const QList<int> types = nalTypes(unit, f.codec);
                // Parameter sets before every IDR, so a client may start at any keyframe.
                if (loop->keyframes[n])
                    QVERIFY2(f.codec == Codec::H264 ? types.mid(0, 2) == (QList<int>{7, 8}) : types.mid(0, 3) == (QList<int>{32, 33, 34}),
                             qPrintable(QStringLiteral("frame %1: NAL types %2").arg(n).arg(QString::number(types.value(0)))));
                else
                    QVERIFY(!types.contains(f.codec == Codec::H264 ? 5 : 19) && !(f.codec == Codec::H265 && types.contains(20)));
            }
            const QImage picture = decoder.decode(unit);
            QCOMPARE(picture.size(), size);
            QCOMPARE(readFrameNumber(picture), numbers[n]);
            QCOMPARE(nearestSignal(plainColour(picture), defaultEncoders()), host);
            // As a client shows it: a tile a quarter as wide.
            const QImage tile = picture.scaled(size / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QCOMPARE(readFrameNumber(tile), numbers[n]);
            QCOMPARE(nearestSignal(plainColour(tile), defaultEncoders()), host);
        }
    }

    void fragments_data()
    {
        columns<bool, int, int, int>({"preview", "size", "payload", "count"});
        QTest::addColumn<int>("largest"); // payload bytes of the largest datagram
        const int p = 1400;
        for (bool preview : {true, false}) {
            const char *kind = preview ? "preview" : "snapshot";
            auto row = [&](const char *name, int size, int payload, int count, int largest) {
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind, name))) << preview << size << payload << count << largest;
            };
            row("empty", 0, p, 1, 0);
            row("payload", p, p, 1, p);
            row("payload+1", p + 1, p, 2, p);
            row("255 full", 255 * p, p, 255, p);
            row("enlarged", 255 * p + 1, p, 255, p + 1); // 255 * p + 1 bytes in 255 pieces of p + 1
            row("tiny payload", 10, 3, 4, 3);
        }
    }
    void fragments()
    {
        QFETCH(bool, preview);
        QFETCH(int, size);
        QFETCH(int, payload);
        QFETCH(int, count);
        const QByteArray frame = bytes(size);
        const QList<QByteArray> datagrams = preview ? previewDatagrams(frame, 200, kFlagH265, payload) : snapshotDatagrams(frame, payload);
        QCOMPARE(datagrams.size(), count);
        const int header = preview ? kPreviewHeader : kSnapshotHeader;
        int biggest = 0;
        QByteArray joined;
        for (int i = 0; i < datagrams.size(); ++i) {
            const QByteArray &d = datagrams[i];
            QVERIFY(d.size() >= header);
            biggest = qMax(biggest, d.size() - header);
            joined += d.mid(header);
            if (preview) {
                QCOMPARE(d.left(16).toHex(), QByteArray("0000c8") + QByteArray::number(count, 16).rightJustified(2, '0') + "000000000200000000000056");
            } else {
                QCOMPARE(quint8(d[0]), quint8(count));
                QCOMPARE(quint8(d[4]), quint8(i));
                QCOMPARE(d.mid(1, 3), QByteArray(3, '\0'));
                QCOMPARE(d.mid(5, 3), QByteArray(3, '\0'));
            }
        }
        QTEST(biggest, "largest");
        QCOMPARE(joined, frame);

        // And back, as a client joins them.
        if (preview) {
            PreviewAssembler assembler;
            PreviewAssembler::Frame out;
            int done = 0;
            for (const QByteArray &d : datagrams)
                done += assembler.add(d, &out);
            QCOMPARE(done, 1);
            QCOMPARE(out.data, frame);
            QCOMPARE(out.sequence, quint8(200));
            QCOMPARE(out.flags, kFlagH265);
        } else {
            SnapshotAssembler assembler;
            QByteArray out;
            int done = 0;
            for (int i = datagrams.size() - 1; i >= 0; --i) // any order: pieces carry their index
                done += assembler.add(datagrams[i], &out);
            QCOMPARE(done, 1);
            QCOMPARE(out, frame);
        }
    }

    void tooLargeFramesAreNotCut()
    {
        const QByteArray huge(255 * (kMaxDatagram - kPreviewHeader) + 1, 'x');
        QVERIFY(previewDatagrams(huge, 0, 0, 1400).isEmpty());
        QCOMPARE(fragmentPayload(huge.size(), 1400, kPreviewHeader), 0);
    }

    void registrations_data()
    {
        columns<QByteArray, bool, QString, int, bool>({"text", "valid", "address", "port", "snapshot"});
        QTest::newRow("preview") << QByteArray("udp://239.10.1.31:30310/v") << true << "239.10.1.31" << 30310 << false;
        QTest::newRow("snapshot") << QByteArray("udp://10.77.3.31:30314/s") << true << "10.77.3.31" << 30314 << true;
        QTest::newRow("other kind") << QByteArray("udp://239.10.1.31:30310/x") << false << "" << 0 << false;
        QTest::newRow("port too big") << QByteArray("udp://239.10.1.31:65536/v") << false << "" << 0 << false;
        QTest::newRow("empty") << QByteArray() << false << "" << 0 << false;
    }
    void registrations()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        Registration r;
        QCOMPARE(parseRegistration(text, &r), valid);
        if (!valid)
            return;
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(bool, snapshot);
        QCOMPARE(r.address, QHostAddress(address));
        QCOMPARE(int(r.port), port);
        QCOMPARE(r.snapshot, snapshot);
        QCOMPARE(composeRegistration(r), text);
    }

    void registrationsFindTheirStream_data()
    {
        columns<int, QByteArray>({"host", "text"});
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::addColumn<QString>("kind");
        QTest::newRow("main") << 31 << QByteArray("udp://239.10.1.31:30310/v") << "udp://239.10.1.31:30310" << "main";
        QTest::newRow("sub") << 40 << QByteArray("udp://239.10.2.40:30402/v") << "udp://239.10.2.40:30402" << "sub";
        QTest::newRow("snapshot") << 30 << QByteArray("udp://10.77.3.30:30304/s") << "udp://239.10.3.30:30304" << "snapshot";
        QTest::newRow("mosaic at any encoder") << 42 << QByteArray("udp://10.77.3.42:31000/s") << "udp://239.10.9.1:31000" << "mosaic";
        QTest::newRow("another encoder's group") << 31 << QByteArray("udp://239.10.1.30:30300/v") << "" << "";
        QTest::newRow("snapshot naming another encoder") << 31 << QByteArray("udp://10.77.3.30:30314/s") << "" << "";
        QTest::newRow("camera") << 44 << QByteArray("udp://239.10.1.44:30440/v") << "" << "";
    }
    void registrationsFindTheirStream()
    {
        QFETCH(int, host);
        QFETCH(QByteArray, text);
        QFETCH(QString, url);
        QFETCH(QString, kind);
        LabConfig c;
        c.net = QStringLiteral("10.77.3");
        Registration r;
        QVERIFY(parseRegistration(text, &r));
        StreamPlan plan;
        QString why;
        QCOMPARE(streamFor(c, host, r, &plan, &why), !url.isEmpty());
        if (url.isEmpty()) {
            QVERIFY(!why.isEmpty());
            return;
        }
        QCOMPARE(plan.url(), url);
        QCOMPARE(streamKindName(plan.kind), kind);
        if (plan.kind == StreamKind::Mosaic) {
            QCOMPARE(plan.cells, (QList<int>{30, 31, 32, 33, 34, 35, 0, 0, 0}));
            QCOMPARE(plan.format.text(), QStringLiteral("jpeg 960x540 4fps"));
        }
    }

    void faultsSwitchStreams_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<int>("stream"); // 0 main, 1 sub, 2 snapshot of host 30
        QTest::addColumn<QString>("format");
        QTest::newRow("none") << QJsonObject{} << 0 << "h264 1920x1080 30fps";
        QTest::newRow("host means main") << json(R"({"resolution":{"30":"1280x720"}})") << 0 << "h264 1280x720 30fps";
        QTest::newRow("host leaves sub") << json(R"({"resolution":{"30":"1280x720"}})") << 1 << "h264 640x360 30fps";
        QTest::newRow("sub named") << json(R"({"resolution":{"30:sub":"320x180"},"codec":{"30:sub":"h265"}})") << 1 << "h265 320x180 30fps";
        QTest::newRow("main codec") << json(R"({"codec":{"30":"jpeg"}})") << 0 << "jpeg 1920x1080 30fps";
        QTest::newRow("snapshot size") << json(R"({"resolution":{"30:snapshot":"320x180"}})") << 2 << "jpeg 320x180 4fps";
    }
    void faultsSwitchStreams()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(int, stream);
        FaultPlan plan;
        QString error;
        QVERIFY2(FaultPlan::fromJson(faults, plan, &error), qPrintable(error));
        LabConfig c;
        QTEST(effectiveFormat(encoderStreams(c, 30)[stream], plan).text(), "format");
    }

    void streamFaultKeys_data()
    {
        columns<QJsonObject, bool>({"faults", "valid"});
        QTest::newRow("all") << json(R"({"streamDropFraction":0.1,"streamDuplicateFraction":0.2,"streamGarbage":0.05,
                                        "stopStreams":[30,31],"resolution":{"30":"1280x720"},"codec":{"31:sub":"jpeg"},"rtspDrop":true})") << true;
        QTest::newRow("drop above one") << json(R"({"streamDropFraction":1.1})") << false;
        QTest::newRow("download drop above one") << json(R"({"dropFraction":1.5})") << false;
        QTest::newRow("unknown key") << json(R"({"dropEverything":true})") << false;
        QTest::newRow("odd size") << json(R"({"resolution":{"30":"1281x720"}})") << false;
        QTest::newRow("unknown codec") << json(R"({"codec":{"30":"vp9"}})") << false;
    }
    void streamFaultKeys()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(bool, valid);
        FaultPlan plan;
        QString error;
        QCOMPARE(FaultPlan::fromJson(faults, plan, &error), valid);
        if (!valid) {
            QVERIFY(error.startsWith("bad fault"));
            return;
        }
        QCOMPARE(plan.streamDropFraction, 0.1);
        QCOMPARE(plan.stopStreams, (QSet<int>{30, 31}));
        QCOMPARE(plan.resolution.value("30"), QSize(1280, 720));
        QCOMPARE(plan.codec.value("31:sub"), QStringLiteral("jpeg"));
        QVERIFY(plan.rtspDrop);
        const QJsonObject back = plan.toJson();
        QCOMPARE(back.value("stopStreams").toArray(), (QJsonArray{30, 31}));
        QCOMPARE(back.value("resolution").toObject().value("30").toString(), QStringLiteral("1280x720"));
        QCOMPARE(back.value("streamGarbage").toDouble(), 0.05);
        QCOMPARE(back.value("rtspDrop").toBool(), true);
    }

    void mediaConfigKeys_data()
    {
        columns<QByteArray, bool>({"text", "valid"});
        QTest::newRow("all") << QByteArray(R"({"mainCodecs":{"33":"h265"},"subCodecs":{"34":"jpeg"},"mainSize":"1280x720",
            "subSize":"320x180","snapshotSize":"320x180","mosaicSize":"640x360","cameraMainSize":"1920x1080","mainFps":25,"subFps":15,
            "snapshotFps":2,"loopSeconds":3,"previewHoldMs":2000,"snapshotHoldMs":1000,"streamPayload":1000,"mediaCacheMB":64,
            "journalFrames":true,"camera":0,"rtspPort":8554,
            "mosaics":[{"group":"239.10.9.2","port":31002,"slots":[40,"",41,null]}]})") << true;
        QTest::newRow("unknown key") << QByteArray(R"({"mainCodec":{"33":"h265"}})") << false;
        QTest::newRow("bad codec") << QByteArray(R"({"mainCodecs":{"33":"mpeg2"}})") << false;
        QTest::newRow("odd size") << QByteArray(R"({"mainSize":"1919x1080"})") << false;
        QTest::newRow("mosaic of ten") << QByteArray(R"({"mosaics":[{"group":"239.10.9.1","port":1,"slots":[1,2,3,4,5,6,7,8,9,10]}]})") << false;
    }
    void mediaConfigKeys()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        LabConfig c;
        QString error;
        QCOMPARE(LabConfig::fromJson(QJsonDocument::fromJson(text).object(), c, &error), valid);
        if (!valid) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(c.mainCodecs, (QHash<int, QString>{{33, "h265"}})); // replaces the defaults
        QCOMPARE(c.snapshotSize, QSize(320, 180));
        QCOMPARE(c.previewHoldMs, 2000);
        QCOMPARE(c.rtspPort, 8554);
        QCOMPARE(c.mosaics.size(), 1);
        QCOMPARE(c.mosaics[0].group, QHostAddress("239.10.9.2"));
        QCOMPARE(int(c.mosaics[0].port), 31002);
        QCOMPARE(c.mosaics[0].cells, (QList<int>{40, 0, 41, 0, 0, 0, 0, 0, 0}));
        QVERIFY(c.isStreamingEncoder(44)); // no camera: .44 streams too
        QCOMPARE(encoderStreams(c, 33)[0].format.text(), QStringLiteral("h265 1280x720 25fps"));
        QCOMPARE(encoderStreams(c, 33)[0].format.frames, 75);
    }
};

QTEST_GUILESS_MAIN(TestLabMedia)
#include "tst_lab_media.moc"
