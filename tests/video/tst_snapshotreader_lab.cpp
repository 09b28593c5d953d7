// Snapshot readers over real sockets, in the lab network: the test plays the encoder (its
// registration port and the pictures it multicasts) on the client side's own address.
#include "video/previewtable.h"
#include "video/snapshotreader.h"
#include "video/snapshots.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include "snapshotfixtures.h"
#include "support/labclient.h"

using namespace kora::video;
using namespace snapshotfixtures;

namespace {
constexpr quint16 kPort = 31500; // both groups below share it, as real installations often do

QColor centre(const QImage &image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
} // namespace

class TstSnapshotReaderLab : public QObject
{
    Q_OBJECT
    QString node;
    QUdpSocket encoder;       // sends the pictures
    QUdpSocket registrations; // the encoder's port 19997

    void send(const QString &group, const QByteArray &file)
    {
        for (const QByteArray &d : fragments(file))
            QCOMPARE(encoder.writeDatagram(d, QHostAddress(group), kPort), qint64(d.size()));
    }
    QList<QByteArray> takeRegistrations()
    {
        QList<QByteArray> got;
        while (registrations.hasPendingDatagrams())
            got.append(registrations.receiveDatagram().data());
        return got;
    }
    // Sends the picture until the record shows it (the reader may not have joined yet).
    // `key`'s record shows `expected` at its centre.
    bool deliver(PreviewTable &table, const QString &key, const QString &group, const QImage &picture,
                 const QColor &expected)
    {
        const QByteArray file = jpeg(picture);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            table.request(key); // a page looking at it
            send(group, file);
            if (QTest::qWaitFor([&] { const QImage i = table.request(key); return !i.isNull() && near(centre(i), expected); }, 100))
                return true;
        }
        return false;
    }
    bool deliver(PreviewTable &table, const QString &key, const QString &group, const QColor &colour)
    {
        return deliver(table, key, group, solid(colour), colour);
    }

private slots:
    void initTestCase()
    {
        node = labclient::clientIp();
        QVERIFY2(!node.isEmpty(), "run me inside scripts/lab");
        QVERIFY(registrations.bind(QHostAddress(node), kRegistrationPort));
        QVERIFY(encoder.bind(QHostAddress(node), 0));
    }

    void ownGroupOnlyAndRegistrations()
    {
        Snapshots snapshots;
        snapshots.load({{node + "-0", "udp://239.77.3.1:" + QString::number(kPort)},
                        {node + "-1", "udp://239.77.3.2:" + QString::number(kPort)}});
        PreviewTable &table = *snapshots.table();
        QCOMPARE(snapshots.readerCount(), 2);
        QVERIFY(deliver(table, node + "-0", "239.77.3.1", Qt::red));
        QVERIFY(deliver(table, node + "-1", "239.77.3.2", Qt::blue));
        // Pictures of the other group on the same port never land in a record.
        for (int i = 0; i < 5; ++i) {
            table.request(node + "-0");
            table.request(node + "-1");
            send("239.77.3.2", jpeg(solid(Qt::green)));
            QTest::qWait(50);
        }
        QVERIFY(near(centre(table.request(node + "-0")), Qt::red));
        QTRY_VERIFY(near(centre(table.request(node + "-1")), Qt::green));
        QVERIFY(near(centre(table.request(node + "-0")), Qt::red));

        // Registrations name the node and the port, at once and then once a second while wanted.
        QList<QByteArray> got;
        QTRY_VERIFY((got += takeRegistrations(), got.contains("udp://" + node.toLatin1() + ":31500/s")));

        // Nobody asks any more: at most three more registrations per stream, then silence.
        takeRegistrations();
        QElapsedTimer quiet;
        quiet.start();
        int after = 0;
        while (quiet.elapsed() < 5500) {
            QTest::qWait(250);
            after += takeRegistrations().size();
        }
        QVERIFY2(after <= 2 * 3, qPrintable(QString::number(after)));
        QTest::qWait(1500);
        QCOMPARE(takeRegistrations().size(), 0);
        // And the picture goes stale: the placeholder (a null image here) after three seconds.
        QVERIFY(table.request(node + "-0").isNull());
    }

    void mosaicCellsAndTheirDemand()
    {
        Snapshots snapshots;
        const QString url = "udp://239.77.4.1:" + QString::number(kPort) + "?pos=";
        snapshots.load({{node + "-0", url + "0"}, {node + "-1", url + "4"}, {node + "-2", url + "8"}});
        QCOMPARE(snapshots.readerCount(), 1);
        const QList<QColor> colours{Qt::red, Qt::black, Qt::black, Qt::black, Qt::yellow, Qt::black, Qt::black, Qt::black, Qt::cyan};
        // Only the signal in slot 8 is on a page: its stream is still asked for.
        QVERIFY(deliver(*snapshots.table(), node + "-2", "239.77.4.1", mosaic(colours), Qt::cyan));
        QVERIFY(near(centre(snapshots.table()->request(node + "-2")), Qt::cyan));
        QVERIFY(near(centre(snapshots.table()->request(node + "-1")), Qt::yellow));
        QVERIFY(near(centre(snapshots.table()->request(node + "-0")), Qt::red));
        QCOMPARE(snapshots.table()->request(node + "-1").size(), QSize(320, 180));
    }

    void pushedStreamNeedsNoRegistration()
    {
        Snapshots snapshots;
        snapshots.addSignal("cam-7", "239.77.5.1:" + QString::number(kPort));
        takeRegistrations();
        QVERIFY(deliver(*snapshots.table(), "cam-7", "239.77.5.1", Qt::magenta));
        QCOMPARE(takeRegistrations().size(), 0);
        // Re-pointed by the controller: the new stream is read, the old one no longer.
        snapshots.repoint({{"cam-7", "239.77.5.2:" + QString::number(kPort)}});
        QCOMPARE(snapshots.readerCount(), 1);
        QVERIFY(deliver(*snapshots.table(), "cam-7", "239.77.5.2", Qt::darkGreen));
        snapshots.clear();
        QCOMPARE(snapshots.table()->size(), 0);
        QCOMPARE(snapshots.readerCount(), 0);
    }

    // The controller moves one cell of a mosaic to a stream of its own: that stream fills the
    // cell and tells whether it is live, the mosaic no longer; once the controller withdraws
    // it, nothing fills the cell and it shows the placeholder.
    void repointedMosaicCellLeavesItsMosaic()
    {
        Snapshots snapshots;
        PreviewTable &table = *snapshots.table();
        const QString url = "udp://239.77.7.1:" + QString::number(kPort) + "?pos=";
        const QString kept = node + "-10", moved = node + "-11";
        snapshots.load({{kept, url + "0"}, {moved, url + "4"}});
        const auto grid = [](const QColor &first, const QColor &centre) {
            return mosaic({first, Qt::black, Qt::black, Qt::black, centre, Qt::black, Qt::black, Qt::black, Qt::black});
        };
        QVERIFY(deliver(table, moved, "239.77.7.1", grid(Qt::red, Qt::yellow), Qt::yellow));

        snapshots.repoint({{moved, "239.77.7.2:" + QString::number(kPort)}});
        QVERIFY(deliver(table, moved, "239.77.7.2", Qt::darkGreen));
        QVERIFY(deliver(table, kept, "239.77.7.1", grid(Qt::blue, Qt::magenta), Qt::blue));
        QVERIFY(near(centre(table.request(moved)), Qt::darkGreen));

        // The mosaic falls silent while the cell's own stream goes on: only the mosaic's
        // signal goes stale (three seconds without data).
        const QByteArray green = jpeg(solid(Qt::darkGreen));
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < 4000) {
            table.request(kept);
            table.request(moved);
            send("239.77.7.2", green);
            QTest::qWait(250);
        }
        QVERIFY(table.request(kept).isNull());
        QVERIFY(!table.request(moved).isNull());

        snapshots.repoint({});
        QCOMPARE(snapshots.readerCount(), 1); // the mosaic's
        QVERIFY(table.request(moved).isNull());
    }

    // The controller moves a device-file signal to a stream it pushes: its own reader gives way.
    void repointReplacesTheSignalsOwnReader()
    {
        Snapshots snapshots;
        const QString key = node + "-5";
        snapshots.load({{key, "udp://239.77.6.1:" + QString::number(kPort)}});
        snapshots.repoint({{key, "239.77.6.2:" + QString::number(kPort)}});
        QCOMPARE(snapshots.readerCount(), 1);
        QVERIFY(snapshots.reader(key)->transimit());
        QVERIFY(deliver(*snapshots.table(), key, "239.77.6.2", Qt::red));
        takeRegistrations();
        for (int i = 0; i < 10; ++i) {
            snapshots.table()->request(key);
            send("239.77.6.1", jpeg(solid(Qt::blue)));
            QTest::qWait(50);
        }
        QVERIFY(near(centre(snapshots.table()->request(key)), Qt::red));
        QCOMPARE(takeRegistrations().size(), 0); // the old reader registers no more
    }
};

QTEST_GUILESS_MAIN(TstSnapshotReaderLab)
#include "tst_snapshotreader_lab.moc"
