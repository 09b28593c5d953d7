// The lab's encoders as real installations have them, received on the client side of the lab
// network (scripts/with-lab); what a client shows of the streams the e2e cases watch.
#include "media/codec.h"
#include "media/pattern.h"
#include "media/wire.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>
#include "support/labclient.h"

using namespace lab;

namespace {
QString peer(int host) { return labclient::peerAddress(host); }

bool journalHas(const QString &peerName, const QString &noteStart, qint64 after)
{
    for (const QJsonObject &o : labclient::journalFrom(after)) {
        if (o.value("dir").toString() == "event" && o.value("peer").toString() == peerName
            && o.value("note").toString().startsWith(noteStart))
            return true;
    }
    return false;
}

// A sub stream as a client receives it: joined to the group, registering again every second
// while it listens (the lab's holds are shorter than a client's period).
class Receiver
{
public:
    explicit Receiver(int host)
        : m_group(QStringLiteral("239.10.2.%1").arg(host))
        , m_registration(QStringLiteral("udp://%1:%2/v").arg(m_group.toString()).arg(30002 + 10 * host).toLatin1())
    {
        QVERIFY(m_socket.bind(QHostAddress::AnyIPv4, quint16(30002 + 10 * host), QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(m_socket.joinMulticastGroup(m_group));
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
        QVERIFY(m_sender.bind(QHostAddress(labclient::clientIp()), 0));
    }

    QList<QByteArray> receive(int ms)
    {
        QList<QByteArray> got;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < ms) {
            if (!m_registered.isValid() || m_registered.elapsed() > 1000) {
                m_sender.writeDatagram(m_registration, m_group, kRegistrationPort);
                m_registered.start();
            }
            if (m_socket.waitForReadyRead(20)) {
                while (m_socket.hasPendingDatagrams())
                    got.append(m_socket.receiveDatagram(65536).data());
            }
        }
        return got;
    }

    // Whether a frame that decodes to a picture arrives within `ms` (a loop is encoded first).
    bool pictureArrives(int ms)
    {
        QElapsedTimer total;
        total.start();
        PreviewAssembler assembler;
        FrameDecoder decoder(Codec::H264);
        while (total.elapsed() < ms) {
            for (const QByteArray &d : receive(50)) {
                PreviewAssembler::Frame frame;
                if (assembler.add(d, &frame) && !decoder.decode(frame.data).isNull())
                    return true;
            }
        }
        return false;
    }

private:
    QUdpSocket m_socket;
    QUdpSocket m_sender;
    QHostAddress m_group;
    QByteArray m_registration;
    QElapsedTimer m_registered;
};

} // namespace

class TestLabStreams : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!labclient::work().isEmpty(), "run through scripts/with-lab");
        QCOMPARE(labclient::control({{"cmd", "ping"}}).value("ok").toBool(), true);
    }
    void init()
    {
        QVERIFY(labclient::clearFaults());
    }

    // Encoders as real installations have them, on the sub streams of .38 and .39: a long
    // group of pictures whose keyframe leaves its parameter sets as a frame of their own, late
    // copies and strays on the network, a hostile frame once a second, intra refresh, and a
    // keyframe at once when the encoder is asked for one.
    void encodersOfRealInstallations()
    {
        const QJsonObject faults{{"gop", QJsonObject{{"38:sub", 120}}}, {"splitParameterSets", QJsonArray{"38:sub"}},
                                 {"hostileSps", QJsonArray{"38:sub"}}, {"intraRefresh", QJsonArray{"39:sub"}},
                                 {"streamLateDuplicateFraction", 0.05}, {"streamStrayFraction", 0.1}, {"seed", 5}};
        QVERIFY(labclient::control({{"cmd", "faults"}, {"set", faults}}).value("ok").toBool());
        Receiver receiver(38);
        QVERIFY(receiver.pictureArrives(15000));
        QSet<QByteArray> seen;
        int copies = 0, strays = 0, setsAlone = 0, keyframes = 0, hostile = 0;
        int lastSequence = -1;
        auto look = [&](const QList<QByteArray> &datagrams) {
            for (const QByteArray &d : datagrams) {
                const bool copy = seen.contains(d);
                copies += copy;
                seen.insert(d);
                const int s = quint8(d[2]);
                strays += lastSequence >= 0 && ((s - lastSequence) & 0xff) > 16 && ((lastSequence - s) & 0xff) > 16;
                if (((s - lastSequence) & 0xff) < 16)
                    lastSequence = s;
                if (copy) // a late copy of the key frame just shown is not another one
                    continue;
                const QByteArray piece = d.mid(kPreviewHeader);
                setsAlone += piece.startsWith(QByteArray::fromHex("0000000167")) && d[3] == 1
                             && !piece.contains(QByteArray::fromHex("00000165"));
                keyframes += piece.contains(QByteArray::fromHex("00000165"));
                hostile += piece.startsWith(QByteArray::fromHex("000000016742c01fda001000008019"));
            }
        };
        look(receiver.receive(2000));
        QVERIFY2(copies > 0 && strays > 0 && hostile >= 1, qPrintable(QStringLiteral("%1 %2 %3").arg(copies).arg(strays).arg(hostile)));
        QCOMPARE(keyframes - hostile, 0); // no keyframe in these two seconds of a four-second group

        // Asked for a keyframe, the encoder restarts its loop: parameter sets alone, then the IDR.
        const qint64 asked = labclient::journal().size();
        QUdpSocket node;
        node.writeDatagram(R"({"Type":"System","Function":"insertIDR","Value":0})", QHostAddress(peer(38)), 12345);
        QTRY_VERIFY_WITH_TIMEOUT(journalHas("encoder-9", "keyframe asked: udp://239.10.2.38:30382 restarts at frame 0", asked), 3000);
        setsAlone = keyframes = hostile = 0;
        look(receiver.receive(300));
        QVERIFY2(setsAlone >= 1 && keyframes - hostile >= 1,
                 qPrintable(QStringLiteral("sets alone %1, keyframes %2, hostile %3").arg(setsAlone).arg(keyframes).arg(hostile)));

        // Intra refresh: one IDR at the loop's start, recovery points after it.
        Receiver refreshed(39);
        QVERIFY(refreshed.pictureArrives(20000));
        int idr = 0, recoveryPoints = 0;
        for (const QByteArray &d : refreshed.receive(2500)) {
            const QByteArray piece = d.mid(kPreviewHeader);
            idr += piece.contains(QByteArray::fromHex("00000165"));
            recoveryPoints += piece.contains(QByteArray::fromHex("0000010606")); // SEI, recovery point
        }
        QCOMPARE(idr, 0);
        QVERIFY2(recoveryPoints >= 2, qPrintable(QString::number(recoveryPoints)));
    }

    // Once a client puts a signal on a wall, the controller re-points its snapshots to the
    // client's own address and pushes them there.
    void controllerPushesSnapshotsToTheClient()
    {
        const quint16 port = 30304;
        QUdpSocket pushed, commands;
        QVERIFY(pushed.bind(QHostAddress(labclient::clientIp()), port));
        QVERIFY(commands.bind(QHostAddress(labclient::clientIp()), 41234));
        commands.writeDatagram("{SetWindows;1;" + peer(30).toLatin1() + ",udp://239.10.1.30:30300,0,0,960,540,1}",
                               QHostAddress(peer(5)), 41235);
        const QByteArray expected = QStringLiteral("\"snapUrl\":\"%1:%2\"").arg(labclient::clientIp()).arg(port).toLatin1();
        QVERIFY(QTest::qWaitFor([&] {
            while (commands.hasPendingDatagrams()) {
                if (commands.receiveDatagram().data().contains(expected))
                    return true;
            }
            return false;
        }, 5000));
        QVERIFY(pushed.waitForReadyRead(10000)); // no registration: the controller pushes
        QCOMPARE(pushed.receiveDatagram().senderAddress(), QHostAddress(peer(30)));
    }
};

QTEST_GUILESS_MAIN(TestLabStreams)
#include "tst_lab_streams.moc"
