// The upload protocol byte for byte: chunk counts at the chunk boundaries, the data datagram
// header (little-endian) and payload, both command forms, the background targets of an
// output text, the base-map request and the jobs that are refused.
#include "upload/uploader.h"
#include "upload/uploadprotocol.h"

#include <QtTest>

using namespace kora;

namespace {

// A file whose every byte tells where it is, so a chunk taken from the wrong offset shows.
QByteArray file(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}

QByteArray header(quint32 count, quint32 index)
{
    QByteArray h;
    for (quint32 v : {count, index}) {
        for (int shift = 0; shift < 32; shift += 8)
            h.append(char((v >> shift) & 0xff));
    }
    return h;
}

} // namespace

class TestUploadProtocol : public QObject
{
    Q_OBJECT
private slots:
    void chunkCount_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<quint32>("chunks");
        QTest::newRow("empty") << qint64(0) << 0u;
        QTest::newRow("one byte") << qint64(1) << 1u;
        QTest::newRow("one byte short of a chunk") << qint64(6999) << 1u;
        QTest::newRow("exactly a chunk") << qint64(7000) << 1u;
        QTest::newRow("one byte more") << qint64(7001) << 2u;
        QTest::newRow("exactly two") << qint64(14000) << 2u;
        QTest::newRow("a large picture") << qint64(3840 * 2160 * 3 / 2) << 1778u;
    }
    void chunkCount()
    {
        QFETCH(qint64, size);
        QFETCH(quint32, chunks);
        QCOMPARE(upload::chunkCount(size), chunks);
    }

    void dataDatagram_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<quint32>("index");
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray f7000 = file(7000);
        const QByteArray f7001 = file(7001);
        const QByteArray big = file(300 * 7000 + 5);
        QTest::newRow("7000 bytes: one chunk of 7000") << 7000 << 0u << header(1, 0) + f7000;
        QTest::newRow("7001 bytes: the first of two") << 7001 << 0u << header(2, 0) + f7001.left(7000);
        QTest::newRow("7001 bytes: the second, of one byte") << 7001 << 1u << header(2, 1) + f7001.right(1);
        QTest::newRow("little-endian past one byte") << big.size() << 300u << header(301, 300) + big.right(5);
        QTest::newRow("a middle chunk") << big.size() << 7u << header(301, 7) + big.mid(7 * 7000, 7000);
        QTest::newRow("beyond the last chunk") << 7001 << 2u << QByteArray();
        QTest::newRow("an empty file has no chunk") << 0 << 0u << QByteArray();
    }
    void dataDatagram()
    {
        QFETCH(int, size);
        QFETCH(quint32, index);
        QFETCH(QByteArray, datagram);
        const QByteArray got = upload::dataDatagram(file(size), index);
        QCOMPARE(got.size(), datagram.size());
        QCOMPARE(got.toHex(), datagram.toHex());
        QVERIFY(got.size() <= 7008);
    }

    void commands()
    {
        QCOMPARE(upload::uploadCommand("1", "osd1.yuv"), QByteArray("{UploadFile;1;osd1.yuv;0.0.0.0,5000,7008}"));
        QCOMPARE(upload::multicastUploadCommand("12", "bk.jpg"), QByteArray("{UploadFile;12;bk.jpg;224.168.1.1,5000,7008}"));
    }

    void backgroundTarget_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("first channel") << "10.0.0.21(0)" << "10.0.0.21" << "setBaseMap" << "bk.jpg";
        QTest::newRow("second channel") << "10.0.0.21(1)" << "10.0.0.21" << "setBaseMap2" << "bk2.jpg";
        QTest::newRow("no channel") << "10.0.0.21" << "10.0.0.21" << "setBaseMap" << "bk.jpg";
        QTest::newRow("another channel: the whole text") << "10.0.0.21(2)" << "10.0.0.21(2)" << "setBaseMap" << "bk.jpg";
    }
    void backgroundTarget()
    {
        QFETCH(QString, output);
        QFETCH(QString, address);
        QFETCH(QString, function);
        QFETCH(QString, fileName);
        QCOMPARE(upload::backgroundTarget(output), (upload::BackgroundTarget{address, function, fileName}));
    }

    void baseMapRequest()
    {
        QCOMPARE(upload::baseMapRequest(upload::backgroundTarget("10.0.0.21(1)"), QSize(1920, 1080)),
                 QByteArray("{\"Function\":\"setBaseMap2\",\"Type\":\"System\",\"Value\":{\"model\":\"picture\","
                            "\"picture_crop\":[0,0,1920,1080],\"picture_path\":\"bk2.jpg\","
                            "\"picture_size\":[0,0,1920,1080]}}"));
    }

    void refusal_data()
    {
        QTest::addColumn<bool>("multicast");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("wallId");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("why");
        QTest::newRow("unicast") << false << "10.0.0.21" << "1" << "bk.jpg" << "";
        QTest::newRow("an address with a suffix") << false << "10.0.0.21-2" << "1" << "bk.jpg" << "";
        QTest::newRow("no address") << false << "" << "1" << "bk.jpg" << "no address";
        QTest::newRow("not an address") << false << "decoder-1" << "1" << "bk.jpg" << "no address";
        QTest::newRow("the wall group needs none") << true << "" << "1" << "osd1.yuv" << "";
        QTest::newRow("no wall") << true << "" << "" << "osd1.yuv" << "empty destination";
        QTest::newRow("no file name") << false << "10.0.0.21" << "1" << "" << "empty destination";
        QTest::newRow("a separator in the wall id")
            << false << "10.0.0.21" << "1;2" << "bk.jpg" << "wall id or file name holds a field separator";
        QTest::newRow("a brace in the file name")
            << true << "" << "1" << "bk}.jpg" << "wall id or file name holds a field separator";
    }
    void refusal()
    {
        QFETCH(bool, multicast);
        QFETCH(QString, address);
        QFETCH(QString, wallId);
        QFETCH(QString, fileName);
        QFETCH(QString, why);
        const upload::Job job = multicast ? upload::Job::toWallGroup(wallId, fileName, "x")
                                          : upload::Job::unicast(wallId, address, fileName, "x");
        QCOMPARE(upload::refusal(job), why);
    }
};

QTEST_MAIN(TestUploadProtocol)
#include "tst_uploadprotocol.moc"
