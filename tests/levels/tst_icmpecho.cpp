// The ICMP echo request byte for byte, its checksum, and which replies are ours. No socket.
#include "levels/icmpecho.h"

#include "support/testmain.h"

using namespace kora::levels;

namespace {
// The reply a peer sends back: our request with type 0 and the checksum made again.
QByteArray replyTo(const QByteArray &request)
{
    QByteArray reply = request;
    reply[0] = 0;
    reply[2] = reply[3] = 0;
    const quint16 sum = internetChecksum(reply);
    reply[2] = char(sum >> 8);
    reply[3] = char(sum & 0xff);
    return reply;
}

QByteArray ipHeader(int words)
{
    QByteArray header(words * 4, '\0');
    header[0] = char(0x40 | words);
    header[9] = 1; // ICMP
    return header;
}
} // namespace

class TestIcmpEcho : public QObject
{
    Q_OBJECT
private slots:
    void checksum_data()
    {
        columns<QByteArray, int>({"data", "sum"});
        QTest::newRow("empty") << QByteArray() << 0xffff;
        QTest::newRow("odd byte padded on the right") << QByteArray::fromHex("123456") << 0x97cb;
        // The classic example of RFC 1071: 0001 f203 f4f5 f6f7 sums to ddf2 after the fold.
        QTest::newRow("rfc example") << QByteArray::fromHex("0001f203f4f5f6f7") << 0x220d;
        // ffff + ffff + 0001 = 1ffff: its fold, ffff + 1, carries once more.
        QTest::newRow("a fold that carries") << QByteArray::fromHex("ffffffff0001") << 0xfffe;
    }
    void checksum()
    {
        QFETCH(QByteArray, data);
        QTEST(int(internetChecksum(data)), "sum");
    }

    void request()
    {
        const QByteArray packet = echoRequest(0xabcd, 0xfffe);
        QCOMPARE(packet.size(), 40);
        // type 8, code 0, checksum, identifier, sequence (big-endian on the wire).
        QCOMPARE(packet.left(8).toHex(' '), QByteArray("08 00 be 9a ab cd ff fe"));
        QCOMPARE(packet.mid(8, 8), QByteArray("FlushHip"));
        QCOMPARE(packet.mid(16), QByteArray(24, '\0'));
        // A packet with its checksum in place sums to zero.
        QCOMPARE(int(internetChecksum(packet)), 0);
    }

    void identifier_data()
    {
        columns<quint64, int>({"thread", "identifier"});
        QTest::newRow("high half added") << quint64(0x00010002) << 0x0003;
        QTest::newRow("sum wraps to 16 bits") << quint64(0x7f00ffff0001) << 0x0000;
    }
    void identifier()
    {
        QFETCH(quint64, thread);
        QTEST(int(echoIdentifier(thread)), "identifier");
    }

    void reply_data()
    {
        columns<QByteArray, bool, bool>({"packet", "withIpHeader", "ours"});
        const QByteArray ours = replyTo(echoRequest(0x4242, 7));
        QTest::newRow("datagram socket: ours") << ours << false << true;
        QTest::newRow("raw socket: behind the IP header") << ipHeader(5) + ours << true << true;
        QTest::newRow("raw socket: IP options skipped") << ipHeader(6) + ours << true << true;
        QTest::newRow("other identifier") << replyTo(echoRequest(0x4243, 7)) << false << false;
        QTest::newRow("other sequence") << replyTo(echoRequest(0x4242, 8)) << false << false;
        QByteArray unreachable = ours;
        unreachable[0] = 3;
        QTest::newRow("destination unreachable") << unreachable << false << false;
        QByteArray coded = ours;
        coded[1] = 1;
        QTest::newRow("non-zero code") << coded << false << false;
        QTest::newRow("truncated") << ours.left(7) << false << false;
        QTest::newRow("raw: header length too small") << QByteArray::fromHex("44") + QByteArray(15, '\0') + ours << true << false;
        QTest::newRow("raw: IPv6") << QByteArray::fromHex("65") + QByteArray(19, '\0') + ours << true << false;
        QTest::newRow("raw: version 0") << QByteArray::fromHex("05") + QByteArray(19, '\0') + ours << true << false;
    }
    void reply()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, withIpHeader);
        QTEST(isEchoReply(packet, withIpHeader, 0x4242, 7), "ours");
    }
};

KORA_TEST(TestIcmpEcho)
#include "tst_icmpecho.moc"
