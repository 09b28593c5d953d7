// Snapshot readers on lab sockets; the test plays the encoder. The one-second tick runs every 50 ms.
#include "media/wire.h"
#include "video/previewtable.h"
#include "video/snapshotreader.h"
#include "video/snapshots.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include "snapshotfixtures.h"
#include "support/labclient.h"

using namespace kora::video;
using namespace snapshotfixtures;

namespace {
constexpr quint16 kPort = 31500; // the groups below share it, as real installations often do
constexpr int kTickMs = 50;

QColor centre(const QImage &image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
QString at(const QString &group) { return group + QLatin1Char(':') + QString::number(kPort); }
} // namespace

class TstSnapshotReaderLab : public QObject
{
    Q_OBJECT
    QString node;
    QUdpSocket encoder;       // sends the pictures
    QUdpSocket registrations; // the encoder's port 19997

    QList<QByteArray> takeRegistrations()
    {
        QList<QByteArray> got;
        while (registrations.hasPendingDatagrams())
            got.append(registrations.receiveDatagram().data());
        return got;
    }
    void send(const QString &to, const QImage &picture)
    {
        for (const QByteArray &d : lab::snapshotDatagrams(jpeg(picture), 1000))
            encoder.writeDatagram(d, QHostAddress(to), kPort);
    }
    // Sends while a page asks for `key` until the record shows `expected` (joining takes a while).
    bool deliver(PreviewTable &table, const QString &key, const QString &to, const QImage &picture, const QColor &expected,
                 const QSize &shown = QSize())
    {
        return QTest::qWaitFor([&] {
            table.request(key, nullptr, shown);
            send(to, picture);
            QTest::qWait(20);
            const QImage i = table.request(key, nullptr, shown);
            return !i.isNull() && near(centre(i), expected);
        }, 5000);
    }
    bool deliver(PreviewTable &table, const QString &key, const QString &to, const QColor &colour)
    {
        return deliver(table, key, to, solid(colour), colour);
    }

private slots:
    void initTestCase()
    {
        node = labclient::clientIp();
        QVERIFY2(!node.isEmpty(), "run me inside scripts/lab");
        QVERIFY(registrations.bind(QHostAddress(node), kRegistrationPort));
        QVERIFY(encoder.bind(QHostAddress(node), 0));
    }

    void ownGroupRegistrationsAndStaleness()
    {
        Snapshots snapshots;
        snapshots.setTickInterval(kTickMs);
        snapshots.load({{node + "-0", "udp://" + at("239.77.3.1")}, {node + "-1", "udp://" + at("239.77.3.2")}});
        PreviewTable &table = *snapshots.table();
        QVERIFY(deliver(table, node + "-0", "239.77.3.1", Qt::red));
        QVERIFY(deliver(table, node + "-1", "239.77.3.2", Qt::blue));
        // The other group's pictures on the same port never land in this record.
        QVERIFY(near(centre(table.request(node + "-0")), Qt::red));
        QVERIFY(takeRegistrations().contains("udp://" + node.toLatin1() + ":31500/s"));
        // Pieces that never make a whole picture do not pass the last one off as live.
        QVERIFY(QTest::qWaitFor([&] {
            table.request(node + "-0");
            QList<QByteArray> pieces = lab::snapshotDatagrams(jpeg(solid(Qt::green)), 1000);
            pieces.removeLast();
            for (const QByteArray &d : qAsConst(pieces))
                encoder.writeDatagram(d, QHostAddress("239.77.3.1"), kPort);
            QTest::qWait(20);
            return table.request(node + "-0").isNull();
        }, 5000));

        // Nobody asks any more: three more registrations at most, then silence and a stale (null) picture.
        QTest::qWait(8 * kTickMs);
        takeRegistrations();
        QTest::qWait(4 * kTickMs);
        QCOMPARE(takeRegistrations().size(), 0);
        QVERIFY(table.request(node + "-0").isNull());
        QVERIFY(snapshots.threadCount() >= 2); // the network worker and the decoding pool, not a thread a stream
        QVERIFY(snapshots.threadCount() <= 3);
    }

    // A mosaic is decoded three cells wide and high at the size its largest tile asked for.
    void mosaicCellsAtTheirTileSize()
    {
        Snapshots snapshots;
        snapshots.setTickInterval(kTickMs);
        const QString url = "udp://" + at("239.77.4.1") + "?pos=";
        snapshots.load({{node + "-0", url + "0"}, {node + "-1", url + "4"}, {node + "-2", url + "8"}});
        const QList<QColor> colours{Qt::red, Qt::black, Qt::black, Qt::black, Qt::yellow, Qt::black, Qt::black, Qt::black, Qt::cyan};
        // Only the signal in slot 8 is on a page: its stream is still asked for.
        QVERIFY(deliver(*snapshots.table(), node + "-2", "239.77.4.1", mosaic(colours), Qt::cyan, QSize(160, 90)));
        QVERIFY(near(centre(snapshots.table()->request(node + "-1")), Qt::yellow));
        QCOMPARE(snapshots.table()->request(node + "-2").size(), QSize(160, 90));
    }

    // A stream pushed to the client's address ("transimit"): read without registering, then re-pointed.
    void pushedStreams()
    {
        Snapshots snapshots;
        snapshots.setTickInterval(kTickMs);
        const QString key = node + "-5";
        snapshots.load({{key, "udp://" + at("239.77.6.1")}});
        snapshots.repoint({{key, at(node)}});
        QCOMPARE(snapshots.readerCount(), 1);
        QVERIFY(deliver(*snapshots.table(), key, node, Qt::magenta));
        takeRegistrations();
        snapshots.repoint({{key, at("239.77.6.2")}});
        QVERIFY(deliver(*snapshots.table(), key, "239.77.6.2", Qt::darkGreen));
        QCOMPARE(takeRegistrations().size(), 0);
        snapshots.clear();
        QCOMPARE(snapshots.readerCount(), 0);
    }

    // A mosaic cell moved to its own stream follows that stream only; withdrawn, it shows the placeholder.
    void repointedMosaicCellLeavesItsMosaic()
    {
        Snapshots snapshots;
        // Slower ticks: the moved cell, fed no more while the mosaic is joined again, must not go
        // stale before it is looked at (three ticks of 50 ms were too few on a loaded machine).
        snapshots.setTickInterval(4 * kTickMs);
        PreviewTable &table = *snapshots.table();
        const QString url = "udp://" + at("239.77.7.1") + "?pos=";
        const QString kept = node + "-10", moved = node + "-11";
        snapshots.load({{kept, url + "0"}, {moved, url + "4"}});
        const auto grid = [](const QColor &first, const QColor &middle) {
            return mosaic({first, Qt::black, Qt::black, Qt::black, middle, Qt::black, Qt::black, Qt::black, Qt::black});
        };
        QVERIFY(deliver(table, moved, "239.77.7.1", grid(Qt::red, Qt::yellow), Qt::yellow));
        snapshots.repoint({{moved, at("239.77.7.2")}});
        QVERIFY(deliver(table, moved, "239.77.7.2", Qt::darkGreen));
        QVERIFY(deliver(table, kept, "239.77.7.1", grid(Qt::blue, Qt::magenta), Qt::blue));
        QVERIFY(near(centre(table.request(moved)), Qt::darkGreen));
        // The mosaic falls silent while the cell's own stream goes on.
        QVERIFY(QTest::qWaitFor([&] {
            table.request(moved);
            send("239.77.7.2", solid(Qt::darkGreen));
            QTest::qWait(20);
            return table.request(kept).isNull();
        }, 5000));
        QVERIFY(!table.request(moved).isNull());
        snapshots.repoint({});
        QCOMPARE(snapshots.readerCount(), 1); // the mosaic's
        QVERIFY(table.request(moved).isNull());
    }

    // A mosaic's first signal names its stream: pushed to us and withdrawn again, it must not
    // take the mosaic's stream with it.
    void mosaicOutlivesItsFirstSignalPushed()
    {
        Snapshots snapshots;
        snapshots.setTickInterval(kTickMs);
        const QString url = "udp://" + at("239.77.8.1") + "?pos=";
        const QString first = node + "-20", other = node + "-21";
        snapshots.load({{first, url + "0"}, {other, url + "4"}});
        snapshots.repoint({{first, at("239.77.8.2")}});
        snapshots.repoint({});
        QVERIFY(deliver(*snapshots.table(), other, "239.77.8.1",
                        mosaic({Qt::black, Qt::black, Qt::black, Qt::black, Qt::cyan}), Qt::cyan));
    }
};

QTEST_GUILESS_MAIN(TstSnapshotReaderLab)
#include "tst_snapshotreader_lab.moc"
