// The simulator through real sockets: this test runs on the client side of the lab network
// (scripts/with-lab), kora-lab on the device side.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>

#include "support/labclient.h"

namespace {
using labclient::control;
using labclient::journal;
using labclient::work;
QHostAddress peer(int host) { return QHostAddress(labclient::peerAddress(host)); }
QHostAddress clientIp() { return QHostAddress(labclient::clientIp()); }
QString package() { return qEnvironmentVariable("KORA_LAB_PACKAGE"); }

// Waits up to 3 s for the first answer (the lab may be slow on a loaded machine), then
// takes everything until `quietMs` pass without a datagram.
QList<QNetworkDatagram> collect(QUdpSocket &socket, int quietMs, int maxMs = 8000)
{
    QList<QNetworkDatagram> got;
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    while (total.elapsed() < maxMs && quiet.elapsed() < (got.isEmpty() ? qMax(quietMs, 3000) : quietMs)) {
        if (socket.waitForReadyRead(20)) {
            while (socket.hasPendingDatagrams())
                got.append(socket.receiveDatagram());
            quiet.restart();
        }
    }
    return got;
}

QByteArray fileBytes(const QString &name)
{
    QFile file(package() + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLabPeers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!work().isEmpty(), "run through scripts/with-lab");
        QCOMPARE(control({{"cmd", "ping"}}).value("ok").toBool(), true);
        QVERIFY(m_command.bind(clientIp(), 41234, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    }
    void init()
    {
        QVERIFY(labclient::clearFaults());
        collect(m_command, 50, 100); // late answers of the case before must not count here
    }

    void scanIsAnsweredByHostAndSpare()
    {
        QUdpSocket scan;
        QVERIFY(scan.bind(clientIp(), 0));
        scan.writeDatagram("{GetNodes2}", QHostAddress("224.168.1.1"), 41234);
        const QList<QNetworkDatagram> replies = collect(scan, 400);
        QCOMPARE(replies.size(), 2);
        QMap<QString, QByteArray> bySender;
        for (const QNetworkDatagram &d : replies)
            bySender.insert(QHostAddress(d.senderAddress().toIPv4Address()).toString(), d.data());
        QCOMPARE(bySender.value(peer(11).toString()), QByteArray("{GetNodes2;2;KORA-LAB;1.0;null}"));
        const QByteArray host = bySender.value(peer(10).toString());
        QVERIFY2(host.startsWith("{GetNodes2;1;KORA-LAB;1.0;lumora;") && host.endsWith("}"), host.constData());
        const QStringList files = QString::fromUtf8(host.mid(1, host.size() - 2)).split(';').at(5).split(',');
        QCOMPARE(files.size(), QDir(package()).entryList(QDir::Files).size());
        for (const QString &entry : files) {
            const QStringList parts = entry.split(' ');
            QCOMPARE(parts.size(), 2);
            QCOMPARE(parts[1], QString::fromLatin1(QCryptographicHash::hash(fileBytes(parts[0]), QCryptographicHash::Md5).toHex()));
        }
    }

    void corruptMd5IsAnnouncedWrong()
    {
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"corruptMd5", "big.bin"}}}}).value("ok").toBool());
        QUdpSocket scan;
        QVERIFY(scan.bind(clientIp(), 0));
        scan.writeDatagram("{GetNodes2}", peer(10), 41234);
        const QList<QNetworkDatagram> replies = collect(scan, 300);
        QCOMPARE(replies.size(), 1);
        // Zeros, or ones when the real digest starts with a zero: never the real digest.
        const QByteArray real = QCryptographicHash::hash(fileBytes("big.bin"), QCryptographicHash::Md5).toHex();
        const QByteArray wrong(32, real.startsWith('0') ? 'f' : '0');
        QVERIFY2(replies[0].data().contains("big.bin " + wrong), replies[0].data().left(300).constData());
        QVERIFY(!replies[0].data().contains(real));
    }

    void downloadWithLossAndGapRequest()
    {
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"dropFraction", 0.05}, {"seed", 7}, {"reorder", true}, {"duplicateFraction", 0.02}}}}).value("ok").toBool());
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::AnyIPv4, 54322, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 16 * 1024 * 1024);
        const QByteArray request = "{DownloadFile;1;big.bin;" + clientIp().toString().toLatin1() + ",54322,7000,1000";
        m_command.writeDatagram(request + "}", peer(10), 41234);

        QMap<quint32, QByteArray> held;
        quint32 total = 0;
        int duplicates = 0;
        auto take = [&](const QList<QNetworkDatagram> &datagrams) {
            for (const QNetworkDatagram &d : datagrams) {
                const QByteArray b = d.data();
                QVERIFY(b.size() >= 8);
                total = qFromLittleEndian<quint32>(b.constData());
                const quint32 sequence = qFromLittleEndian<quint32>(b.constData() + 4);
                duplicates += held.contains(sequence);
                held.insert(sequence, b.mid(8));
            }
        };
        take(collect(receiver, 500, 20000));
        QVERIFY(total > 300);
        QVERIFY2(held.size() < int(total), "5% loss must leave gaps");
        QVERIFY(duplicates > 0);
        QStringList missing;
        for (quint32 n = 0; n < total; ++n) {
            if (!held.contains(n))
                missing.append(QString::number(n));
        }
        const double lost = double(missing.size()) / total;
        QVERIFY2(lost > 0.02 && lost < 0.09, qPrintable(QString::number(lost)));
        m_command.writeDatagram(request + ';' + missing.join(',').toLatin1() + '}', peer(10), 41234);
        const QList<QNetworkDatagram> repeats = collect(receiver, 500, 20000);
        QCOMPARE(repeats.size(), missing.size()); // the repeat is sent as asked, without faults
        take(repeats);
        QCOMPARE(held.size(), int(total));
        QByteArray assembled;
        for (const QByteArray &payload : held)
            assembled += payload;
        QCOMPARE(assembled.size(), fileBytes("big.bin").size());
        QVERIFY(assembled == fileBytes("big.bin"));
    }

    void stopInTheMiddleOfAFile()
    {
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"stopFile", "big.bin"}, {"stopAfterFragments", 10}}}}).value("ok").toBool());
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::AnyIPv4, 54322, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        m_command.writeDatagram("{DownloadFile;1;big.bin;" + clientIp().toString().toLatin1() + ",54322,7000,1000}", peer(10), 41234);
        QCOMPARE(collect(receiver, 500).size(), 10);
    }

    void delayedAndMalformedReplies()
    {
        QVERIFY(control({{"cmd", "faults"}, {"set", QJsonObject{{"delayMs", 300}, {"malformed", "unbraced"}}}}).value("ok").toBool());
        QUdpSocket scan;
        QVERIFY(scan.bind(clientIp(), 0));
        QElapsedTimer timer;
        timer.start();
        scan.writeDatagram("{GetNodes2}", peer(11), 41234);
        const QList<QNetworkDatagram> replies = collect(scan, 500);
        QCOMPARE(replies.size(), 1);
        QVERIFY(timer.elapsed() >= 290);
        QCOMPARE(replies[0].data(), QByteArray("GetNodes2;2;KORA-LAB;1.0;null"));
    }

    void serviceDiscoveryEncoderEquipment()
    {
        QUdpSocket host;
        QVERIFY(host.bind(clientIp(), 0));
        host.writeDatagram(R"({"request":"GetDev"})", QHostAddress::Broadcast, 3210);
        QList<QNetworkDatagram> replies = collect(host, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(QHostAddress(replies[0].senderAddress().toIPv4Address()), peer(6));
        QCOMPARE(QJsonDocument::fromJson(replies[0].data()).object().value("response").toString(), QStringLiteral("GetDev"));

        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress::AnyIPv4, 1901, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(listener.joinMulticastGroup(QHostAddress("239.255.255.250")));
        QVERIFY(control({{"cmd", "announce"}}).value("ok").toBool());
        replies = collect(listener, 300);
        QCOMPARE(replies.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(replies[0].data()).object().value("nts").toString(), QStringLiteral("alive"));
        QCOMPARE(QJsonDocument::fromJson(replies[1].data()).object().value("type").toString(), QStringLiteral("search"));

        QUdpSocket ssdp;
        QVERIFY(ssdp.bind(clientIp(), 0));
        ssdp.writeDatagram(R"({"mx":1,"st":"urn:vxr:sw:korav2","type":"search"})", QHostAddress("239.255.255.250"), 1901);
        replies = collect(ssdp, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(QJsonDocument::fromJson(replies[0].data()).object().value("type").toString(), QStringLiteral("rsearch"));

        m_command.writeDatagram(R"({"Function":"getSystemMsg","Type":"System","Value":{"get_venc_config":"echo"}})", peer(31), 12345);
        replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        QVERIFY(replies[0].data().startsWith("[venc]\n"));
        QVERIFY(replies[0].data().contains("ip=" + peer(31).toString().toLatin1()));

        QUdpSocket udp;
        udp.writeDatagram(QByteArray::fromHex("a5015a"), peer(8), 9000);
        QTcpSocket tcp;
        tcp.connectToHost(peer(8), 9001);
        QVERIFY(tcp.waitForConnected(2000));
        tcp.write("POWER ON\r\n");
        QVERIFY(tcp.waitForBytesWritten(2000));
        QTRY_VERIFY_WITH_TIMEOUT(seen("equipment", "tcp", "POWER ON\r\n") && seen("equipment", "udp", QString()), 3000);
    }

    void wallsKeepWindowsAndAnswerOncePerWall()
    {
        const QByteArray item = peer(30).toString().toLatin1() + ",udp://239.10.1.1:5000,0,0,1920,1080";
        m_command.writeDatagram("{SetWindows;1;" + item + "}", QHostAddress("224.168.1.1"), 41234);
        QList<QNetworkDatagram> replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1); // the wall's first decoder, not all four
        QCOMPARE(QHostAddress(replies[0].senderAddress().toIPv4Address()), peer(20));
        QCOMPARE(replies[0].data(), QByteArray("{SetWindows;1}"));

        m_command.writeDatagram("{GetWindows;1}", peer(22), 41234); // any node of the wall knows
        replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies[0].data(), "{GetWindows;1;" + item + "}");
        m_command.writeDatagram("{GetWindows;2}", peer(24), 41234);
        replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies[0].data(), QByteArray("{GetWindows;2}"));

        // A change made elsewhere, through the control socket, is what the wall reports next.
        const QString other = peer(31).toString() + ",udp://239.10.1.2:5000,960,0,960,540,2_1";
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "2"}, {"windows", QJsonArray{other}}}).value("ok").toBool());
        m_command.writeDatagram("{GetWindows;2}", peer(25), 41234);
        replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies[0].data(), "{GetWindows;2;" + other.toLatin1() + "}");
    }

    void controllerRelaysToTheWalls()
    {
        m_command.writeDatagram("{GetWindows;2}", peer(5), 41235);
        QList<QNetworkDatagram> replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(QHostAddress(replies[0].senderAddress().toIPv4Address()), peer(5));
        QVERIFY(replies[0].data().startsWith("{GetWindows;2"));
        m_command.writeDatagram(R"({"data":{"per_num":50},"request":"GetSignalResourcesTreePage"})", peer(5), 41235);
        replies = collect(m_command, 300);
        QCOMPARE(replies.size(), 1);
        const QJsonObject page = QJsonDocument::fromJson(replies[0].data()).object();
        QCOMPARE(page.value("response").toString(), QStringLiteral("GetSignalResourcesTreePage"));
        QCOMPARE(page.value("data").toObject().value("list").toArray().size(), 15); // one per encoder
    }

    void nonsenseIsJournaledAndIgnored()
    {
        QUdpSocket junk;
        const QByteArray garbage(60000, '\x9c');
        for (int host : {10, 11, 6, 7, 8, 31})
            junk.writeDatagram(garbage, peer(host), host == 6 ? 3210 : host == 7 ? 1901 : host == 8 ? 9000 : 41234);
        junk.writeDatagram("{Selfdestruct;now}", QHostAddress("224.168.1.1"), 41234);
        junk.writeDatagram("{DownloadFile}", peer(10), 41234);
        QTRY_VERIFY_WITH_TIMEOUT(seen("group 224.168.1.1", "udp", "{Selfdestruct;now}"), 3000);
        QCOMPARE(control({{"cmd", "ping"}}).value("ok").toBool(), true);
        QCOMPARE(control({{"cmd", "bogus"}}).value("ok").toBool(), false);
        QCOMPARE(control({{"cmd", "faults"}, {"set", QJsonObject{{"dropFraction", 7}}}}).value("ok").toBool(), false);
    }

    void journalIsValidJsonLines()
    {
        const QList<QJsonObject> lines = journal();
        QVERIFY(lines.size() > 100);
        qint64 seq = 0;
        for (const QJsonObject &o : lines) {
            QVERIFY2(!o.contains("invalid"), qPrintable(o.value("invalid").toString().left(200)));
            QCOMPARE(qint64(o.value("seq").toDouble()), ++seq);
            QVERIFY(!o.value("peer").toString().isEmpty());
            const QString dir = o.value("dir").toString();
            QVERIFY(dir == "in" || dir == "out" || dir == "drop" || dir == "event");
            if (dir != "event")
                QCOMPARE(QByteArray::fromHex(o.value("hex").toString().toLatin1()).size(),
                         o.value("truncated").toBool() ? 512 : o.value("len").toInt());
        }
    }

private:
    bool seen(const QString &peerName, const QString &proto, const QString &text)
    {
        for (const QJsonObject &o : journal()) {
            if (o.value("peer").toString() == peerName && o.value("dir").toString() == "in"
                && o.value("proto").toString() == proto && (text.isEmpty() || o.value("text").toString() == text))
                return true;
        }
        return false;
    }

    QUdpSocket m_command;
};

QTEST_GUILESS_MAIN(TestLabPeers)
#include "tst_lab_peers.moc"
