// The upload protocol byte for byte: the data datagram at the chunk boundaries (its header
// little-endian), the background target of an output on another channel, the refused jobs;
// the rest is on the wire in the uploader and background tests.
#include "upload/uploader.h"
#include "upload/uploadprotocol.h"

#include "support/testmain.h"

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

} // namespace

class TestUploadProtocol : public QObject
{
    Q_OBJECT
private slots:
    void dataDatagram_data()
    {
        columns<int, quint32, QByteArray>({"size", "index", "datagram"});
        const QByteArray f7000 = file(7000);
        const QByteArray f7001 = file(7001);
        // The header: the chunk count, then the index, each 4 bytes little-endian.
        QTest::newRow("7000 bytes: one chunk of 7000") << 7000 << 0u << QByteArray::fromHex("0100000000000000") + f7000;
        QTest::newRow("7001 bytes: the first of two") << 7001 << 0u << QByteArray::fromHex("0200000000000000") + f7001.left(7000);
        QTest::newRow("7001 bytes: the second, of one byte") << 7001 << 1u << QByteArray::fromHex("0200000001000000") + f7001.right(1);
        QTest::newRow("beyond the last chunk") << 7001 << 2u << QByteArray();
    }
    void dataDatagram()
    {
        QFETCH(int, size);
        QFETCH(quint32, index);
        QFETCH(QByteArray, datagram);
        QCOMPARE(upload::dataDatagram(file(size), index).toHex(), datagram.toHex());
    }

    // An output on another channel than 0 or 1 is addressed by its whole text.
    void backgroundTargetOfAnotherChannel()
    {
        QCOMPARE(upload::backgroundTarget("10.0.0.21(2)"), (upload::BackgroundTarget{"10.0.0.21(2)", "setBaseMap", "bk.jpg"}));
    }

    void refusal()
    {
        QCOMPARE(upload::refusal(upload::Job::toWallGroup("", "osd1.yuv", "x")), QStringLiteral("empty destination"));
        QCOMPARE(upload::refusal(upload::Job::unicast("1;2", "10.0.0.21", "bk.jpg", "x")),
                 QStringLiteral("wall id or file name holds a field separator"));
    }
};

KORA_TEST(TestUploadProtocol)
#include "tst_uploadprotocol.moc"
