// The ICMP echo request byte for byte, its checksum, and which replies are ours. No socket.
#include "levels/icmpecho.h"

#include "support/testmain.h"

using namespace kora::levels;

namespace {
QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

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
        QTest::newRow("odd byte padded on the right") << bytes({0x12, 0x34, 0x56}) << 0x97cb;
        // The classic example of RFC 1071: 0001 f203 f4f5 f6f7 sums to ddf2 after the fold.
        QTest::newRow("rfc example") << bytes({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}) << 0x220d;
    }
    void checksum()
    {
        QFETCH(QByteArray, data);
        QTEST(int(internetChecksum(data)), "sum");
    }

    void request_data()
    {
        columns<int, int, QByteArray>({"identifier", "sequence", "header"});
        // type 8, code 0, checksum, identifier, sequence (big-endian on the wire).
        QTest::newRow("large") << 0xabcd << 0xfffe << bytes({0x08, 0x00, 0xbe, 0x9a, 0xab, 0xcd, 0xff, 0xfe});
    }
    void request()
    {
        QFETCH(int, identifier);
        QFETCH(int, sequence);
        QFETCH(QByteArray, header);
        const QByteArray packet = echoRequest(quint16(identifier), quint16(sequence));
        QCOMPARE(packet.size(), 40);
        QCOMPARE(packet.left(8).toHex(' '), header.toHex(' '));
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
        QTest::newRow("raw socket: header not skipped is not ours") << ours << true << false;
        QTest::newRow("other identifier") << replyTo(echoRequest(0x4243, 7)) << false << false;
        QTest::newRow("other sequence") << replyTo(echoRequest(0x4242, 8)) << false << false;
        QTest::newRow("our own request seen on the raw socket") << ipHeader(5) + echoRequest(0x4242, 7) << true << false;
        QByteArray unreachable = ours;
        unreachable[0] = 3;
        QTest::newRow("destination unreachable") << unreachable << false << false;
        QByteArray coded = ours;
        coded[1] = 1;
        QTest::newRow("non-zero code") << coded << false << false;
        QTest::newRow("truncated") << ours.left(7) << false << false;
        QTest::newRow("raw: header length too small") << bytes({0x44}) + QByteArray(15, '\0') + ours << true << false;
        QTest::newRow("raw: not IPv4") << bytes({0x65}) + QByteArray(19, '\0') + ours << true << false;
        QTest::newRow("empty") << QByteArray() << true << false;
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
