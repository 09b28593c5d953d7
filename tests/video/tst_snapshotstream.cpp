// Snapshot streams without sockets, from reassembly to the image provider.
#include "video/myimageprovider.h"
#include "video/previewtable.h"
#include "video/snapshotreader.h"
#include "video/snapshotstream.h"
#include "video/snapshotview.h"

#include <QQuickWindow>
#include "support/testmain.h"

#include "snapshotfixtures.h"

#include <cstdio>
#include <jpeglib.h>
#include <vector>

using namespace kora::video;
using namespace snapshotfixtures;
using Result = SnapshotAssembler::Result;
Q_DECLARE_METATYPE(QList<QByteArray>)
Q_DECLARE_METATYPE(QList<int>)
Q_DECLARE_METATYPE(QVector<QRect>)

namespace {
// A valid progressive grey picture in 2 + 2 * coefficients scans: the DC and each of the first
// AC coefficients alone, every one in two halves of its bits.
QByteArray progressiveJpeg(int coefficients)
{
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = c.image_height = 64;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    std::vector<jpeg_scan_info> script;
    for (int k = 0; k <= coefficients; ++k) {
        script.push_back({1, {0}, k, k, 0, 1});
        script.push_back({1, {0}, k, k, 1, 0});
    }
    c.scan_info = script.data();
    c.num_scans = int(script.size());
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(64);
    for (int x = 0; x < 64; ++x)
        row[size_t(x)] = JSAMPLE(x * 4);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;)
        jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const QByteArray bytes(reinterpret_cast<const char *>(out), int(size));
    std::free(out);
    return bytes;
}
} // namespace

class TstSnapshotStream : public QObject
{
    Q_OBJECT
private slots:
    void assembler_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<QList<int>>("results"); // per datagram
        QTest::addColumn<QByteArray>("picture"); // after the last Complete
        const QByteArray a("AAAA"), b("BBB"), c("CC");
        const int P = int(Result::Partial), C = int(Result::Complete), X = int(Result::Broken), M = int(Result::Malformed);
        QTest::newRow("three in order") << QList<QByteArray>{fragment(3, 0, a), fragment(3, 1, b), fragment(3, 2, c)}
                                        << QList<int>{P, P, C} << a + b + c;
        QTest::newRow("out of order, with copies")
            << QList<QByteArray>{fragment(3, 1, b), fragment(3, 0, a), fragment(3, 1, b), fragment(3, 2, c)}
            << QList<int>{P, P, P, C} << a + b + c;
        const QByteArray d("D"), late("ZZ");
        QTest::newRow("a late copy of an earlier picture's piece does not fill an empty slot")
            << QList<QByteArray>{fragment(4, 0, a), fragment(4, 2, c), fragment(4, 1, late), fragment(4, 3, d), fragment(4, 0, a)}
            << QList<int>{P, P, P, P, X} << QByteArray();
        QTest::newRow("joined part-way: the first piece after the last starts the next picture")
            << QList<QByteArray>{fragment(3, 1, b), fragment(3, 2, c), fragment(3, 0, a), fragment(3, 1, b), fragment(3, 2, c)}
            << QList<int>{P, P, X, P, C} << a + b + c;
        QTest::newRow("a lost piece: the next picture is whole")
            << QList<QByteArray>{fragment(3, 0, a), fragment(3, 2, c), fragment(2, 0, b), fragment(2, 1, c)}
            << QList<int>{P, P, X, C} << b + c;
        QTest::newRow("the first piece again starts the next picture, even the same bytes")
            << QList<QByteArray>{fragment(3, 0, a), fragment(3, 2, c), fragment(3, 0, a), fragment(3, 1, b), fragment(3, 2, c)}
            << QList<int>{P, P, X, P, C} << a + b + c;
        QTest::newRow("other bytes at a taken index start the next picture")
            << QList<QByteArray>{fragment(2, 0, a), fragment(2, 0, c), fragment(2, 1, b)} << QList<int>{P, X, C} << c + b;
        QTest::newRow("short datagram") << QList<QByteArray>{QByteArray(7, '\1')} << QList<int>{M} << QByteArray();
        QTest::newRow("header only") << QList<QByteArray>{fragment(1, 0, QByteArray())} << QList<int>{C} << QByteArray();
        QTest::newRow("total 0, index past the total")
            << QList<QByteArray>{fragment(0, 0, a), fragment(2, 2, b)} << QList<int>{M, M} << QByteArray();
    }
    void assembler()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(QList<int>, results);
        QFETCH(QByteArray, picture);
        SnapshotAssembler assembler;
        QByteArray last;
        for (int i = 0; i < datagrams.size(); ++i) {
            const Result r = assembler.push(datagrams[i]);
            QCOMPARE(int(r), results[i]);
            if (r == Result::Complete)
                last = assembler.picture();
        }
        QCOMPARE(last, picture);
    }

    void assemblerIsBounded()
    {
        // 255-fragment pictures of 64 KiB pieces would make 16 MiB; the assembler gives up first.
        SnapshotAssembler assembler;
        const QByteArray piece(65000, 'x');
        Result r = Result::Partial;
        for (int i = 0; i < 255 && r == Result::Partial; ++i)
            r = assembler.push(fragment(255, i, piece));
        QCOMPARE(int(r), int(Result::Malformed));
        QCOMPARE(int(assembler.push(fragment(1, 0, "ok"))), int(Result::Complete));
    }

    void mosaic_data()
    {
        columns<QSize, int, int, QVector<QRect>>({"picture", "cells", "layout", "expected"});
        QTest::newRow("three in 2x2: fourth quadrant empty")
            << QSize(800, 600) << 3 << 4 << QVector<QRect>{{0, 0, 400, 300}, {400, 0, 400, 300}, {0, 300, 400, 300}};
        QTest::newRow("one in 3x3 is the whole picture") << QSize(900, 600) << 1 << 9 << QVector<QRect>{{0, 0, 900, 600}};
        QTest::newRow("odd sizes truncate") << QSize(1001, 601) << 4 << 9
                                            << QVector<QRect>{{0, 0, 333, 300}, {333, 0, 333, 300}, {666, 0, 333, 300},
                                                              {0, 300, 333, 300}};
        QTest::newRow("other layout cuts nothing") << QSize(800, 600) << 4 << 16 << QVector<QRect>{};
        QTest::newRow("no cells") << QSize(800, 600) << 0 << 9 << QVector<QRect>{};
    }
    void mosaic()
    {
        QFETCH(QSize, picture);
        QFETCH(int, cells);
        QFETCH(int, layout);
        QTEST(mosaicCells(picture, cells, layout), "expected");
    }

    void address_data()
    {
        columns<QString, bool, QString, int, int, QString>({"url", "valid", "group", "port", "slot", "rtsp"});
        QTest::newRow("own stream") << "udp://239.10.3.30:30304" << true << "239.10.3.30" << 30304 << -1 << "";
        QTest::newRow("slot") << "udp://239.10.9.1:31000?pos=4" << true << "239.10.9.1" << 31000 << 4 << "";
        QTest::newRow("slot 9 is out of the grid") << "udp://239.10.9.1:31000?pos=9" << false << "" << 0 << -1 << "";
        QTest::newRow("rtsp") << "rtsp://10.0.0.44:554/stream2" << true << "" << 0 << -1 << "rtsp://10.0.0.44:554/stream2";
        QTest::newRow("port too large") << "udp://239.1.1.1:70000" << false << "" << 0 << -1 << "";
    }
    void address()
    {
        QFETCH(QString, url);
        const SnapshotAddress a = parseSnapshotAddress(url);
        QTEST(a.valid, "valid");
        if (!a.valid)
            return;
        QTEST(a.group, "group");
        QTEST(int(a.port), "port");
        QTEST(a.slot, "slot");
        QTEST(a.rtspUrl, "rtsp");
    }

    void plan()
    {
        const QList<SignalSnapshot> signalList{
            {"10.1.1.30-0", "udp://239.10.3.30:30304"},
            {"10.1.1.31-0", "udp://239.10.9.1:31000?pos=2"},
            {"10.1.1.32-0", "udp://239.10.9.1:31000?pos=0"},
            {"10.1.1.33-0", "udp://239.10.9.1:31000?pos=0"}, // slot taken: keeps only its record
            {"10.1.1.44-IPC", "rtsp://10.1.1.44:554/stream2"},
            {"10.1.1.45-0", ""},
            {"", "udp://239.10.3.46:30464"},
        };
        const QList<SnapshotStream> streams = planSnapshotStreams(signalList);
        QCOMPARE(streams.size(), 3);
        QCOMPARE(streams[0].key, QString("10.1.1.30-0"));
        QCOMPARE(streams[0].node, QString("10.1.1.30"));
        QCOMPARE(streams[0].port, quint16(30304));
        QVERIFY(streams[0].cells.isEmpty());
        QCOMPARE(streams[1].key, QString("10.1.1.31-0")); // the first signal on the shared address
        QCOMPARE(streams[1].cells, (QStringList{"10.1.1.32-0", "", "10.1.1.31-0", "", "", "", "", "", ""}));
        QCOMPARE(streams[2].rtspUrl, QString("rtsp://10.1.1.44:554/stream2"));
    }

    void jpegLimits()
    {
        const QByteArray big = jpeg(solid(Qt::red, 1920, 1080));
        QString error;
        QCOMPARE(decodeJpeg(big, QSize(), JpegScale::Fit, &error).size(), QSize(1920, 1080));
        QCOMPARE(decodeJpeg(big, QSize(640, 640)).size(), QSize(640, 360)); // aspect kept
        QCOMPARE(decodeJpeg(big, QSize(640, 640), JpegScale::Preview).size(), QSize(640, 640));
        QCOMPARE(decodeJpeg(big, QSize(), JpegScale::Fit, &error, QSize(1920, 1080)).size(), QSize(1920, 1080)); // at the limit
        QVERIFY(decodeJpeg(big, QSize(), JpegScale::Fit, &error, QSize(1000, 1000)).isNull());
        QVERIFY(error.contains("refused"));
        QVERIFY(decodeJpeg(QByteArray("not a picture"), QSize(), JpegScale::Fit, &error).isNull());
        // A header announcing 65000 x 65000 is refused from the header alone.
        QByteArray huge = jpeg(solid(Qt::blue, 16, 16));
        const int sof = huge.indexOf("\xff\xc0");
        QVERIFY(sof > 0);
        huge[sof + 5] = char(0xfd); huge[sof + 6] = char(0xe8);
        huge[sof + 7] = char(0xfd); huge[sof + 8] = char(0xe8);
        QVERIFY(decodeJpeg(huge, QSize(), JpegScale::Fit, &error).isNull());
        QVERIFY(error.contains("refused"));
        // Progressive in ten scans is read; in 128 (all valid) it is refused, not decoded for long.
        QCOMPARE(decodeJpeg(progressiveJpeg(4)).size(), QSize(64, 64));
        QVERIFY(decodeJpeg(progressiveJpeg(63), QSize(), JpegScale::Fit, &error).isNull());
        QCOMPARE(error, QString("more than 100 scans"));
    }

    // Pieces cut short or swapped for junk still decode to something: refused, not shown garbled.
    void damagedJpegs()
    {
        QImage noise(320, 180, QImage::Format_RGB32);
        quint32 seed = 7;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
        const QByteArray whole = jpeg(noise);
        QString error;
        QCOMPARE(decodeJpeg(whole).size(), QSize(320, 180));
        const QImage red = decodeJpeg(jpeg(solid(QColor(255, 0, 0), 64, 64)));
        QVERIFY(qRed(red.pixel(8, 8)) > 240 && qBlue(red.pixel(8, 8)) < 16);
        QByteArray junk = whole;
        for (int i = 0; i < 100; ++i)
            junk[whole.size() / 2 + i] = char(i * 37);
        for (const QByteArray &bad : {whole.left(whole.size() / 2), junk}) {
            QVERIFY(decodeJpeg(bad, QSize(160, 90), JpegScale::Fit, &error).isNull());
            QVERIFY2(error.startsWith("damaged"), qPrintable(error));
        }
    }

    // A refused picture leaves the last good one up a few times over, then the tile gives way.
    void refusedPicturesHoldTheLastGoodOne()
    {
        auto table = std::make_shared<PreviewTable>();
        SnapshotTarget target({"h-0", "h", "239.1.1.1", 5000, {}, {}}, table, table->add("h-0"), QSize(64, 36));
        kora::LogThrottle throttle;
        target.store(jpeg(solid(Qt::red, 64, 36)), &throttle);
        for (int i = 0; i <= kRefusedHeld; ++i) {
            QVERIFY(!target.record->picture.isNull());
            target.store("not a picture", &throttle);
        }
        QVERIFY(target.record->picture.isNull());
        target.store(jpeg(solid(Qt::red, 64, 36)), &throttle);
        target.store("not a picture", &throttle);
        QVERIFY(!target.record->picture.isNull()); // the count starts again after a good one
    }

    void records()
    {
        PreviewTable table;
        const auto own = table.add("a-0");
        const auto cell = table.add("b-0");
        QCOMPARE(table.add("a-0"), own); // one record per id
        cell->stream = own;
        int woken = 0;
        own->wake = [&woken] { ++woken; };
        own->demand = 0;
        quint64 version = 99;
        bool delivered = true;
        // No picture yet: nothing to show, but the stream (idle, so woken) and the cell are wanted again.
        QVERIFY(table.request("b-0", &version, QSize(), &delivered).isNull());
        QCOMPARE(version, quint64(0));
        QVERIFY(!delivered);
        QCOMPARE(own->demand, kWanted);
        QCOMPARE(cell->demand, kWanted);
        QCOMPARE(woken, 1);
        own->demand = 1; // still wanted: not woken again
        PreviewTable::store(*cell, solid(Qt::green, 32, 18));
        QCOMPARE(table.request("b-0", &version, QSize(), &delivered).pixelColor(1, 1), QColor(Qt::green));
        QCOMPARE(version, quint64(1));
        QVERIFY(delivered);
        QCOMPARE(woken, 1);
        // The stream (not the cell) went idle: placeholder.
        own->idleSeconds = kIdleLimit;
        QVERIFY(table.request("b-0", &version).isNull());
        QCOMPARE(version, quint64(0));
    }

    // Tiles ask for their signal every tick at the largest tile's size; new pictures only are handed over.
    void board()
    {
        auto table = std::make_shared<PreviewTable>();
        const auto record = table->add("s-0");
        SnapshotBoard &board = SnapshotBoard::instance();
        board.setTable(table);
        QQuickWindow window;
        window.resize(400, 300);
        SnapshotView small(window.contentItem()), large(window.contentItem());
        small.setSize(QSizeF(80, 45));
        large.setSize(QSizeF(320, 180));
        small.setIp("s-0");
        large.setIp("s-0");
        QCOMPARE(board.wanted(), QStringList{"s-0"});
        QCOMPARE(large.currentFrame(), board.placeholder());
        QCOMPARE(record->shown, large.pixelSize());
        PreviewTable::store(*record, solid(Qt::red, 40, 20));
        board.tick();
        QCOMPARE(small.currentFrame().pixelColor(0, 0), QColor(Qt::red));
        const qint64 shown = large.currentFrame().cacheKey();
        record->demand = 0;
        board.tick();
        QCOMPARE(large.currentFrame().cacheKey(), shown); // unchanged: nothing handed over
        QCOMPARE(record->demand, kWanted);                // but still asked for
        large.setVisible(false);
        small.setIp(QString());
        QVERIFY(board.wanted().isEmpty());
        QVERIFY(small.currentFrame().isNull()); // an empty cell shows nothing
        board.setTable(nullptr);
    }

    void provider()
    {
        auto table = std::make_shared<PreviewTable>();
        MyImageProvider provider(table);
        QSize size;
        const QImage placeholder = provider.requestImage("ip:none/1", &size, QSize());
        QVERIFY(!placeholder.isNull());
        QCOMPARE(size, placeholder.size());
        const auto record = table->add("s-0");
        PreviewTable::store(*record, solid(Qt::red, 40, 20));
        QCOMPARE(provider.requestImage("ip:s-0/3", &size, QSize()).pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(size, QSize(40, 20));
        QVERIFY(provider.requestImage("web:x/1", &size, QSize()).isNull());
        // A stored picture: the suffix is not part of the path.
        QTemporaryDir dir;
        const QString file = dir.filePath("bg.png");
        QVERIFY(solid(Qt::blue, 8, 8).save(file));
        QCOMPARE(provider.requestImage("pic:" + file + "/0.5", &size, QSize()).pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(provider.requestImage("pic:" + dir.filePath("missing.png") + "/1", &size, QSize()), placeholder);
    }
};

KORA_TEST(TstSnapshotStream)
KORA_TEST_MAIN(QGuiApplication)
#include "tst_snapshotstream.moc"
