// The lab's streams through real sockets: this test runs on the client side of the lab
// network (scripts/with-lab), kora-lab on the device side with short holds (preview 2.5 s,
// snapshot 1.5 s). It registers as a client does, joins the pieces, decodes them and looks
// at the pictures: the encoder's colour and frame numbers that advance. The mosaic, a paused
// encoder and the RTSP camera are watched through the client's own readers elsewhere.
#include "media/codec.h"
#include "media/pattern.h"
#include "media/wire.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>
#include <memory>
#include "support/labclient.h"
#include "support/table.h"

using namespace lab;

namespace {
QString peer(int host) { return labclient::peerAddress(host); }
quint16 portOf(int host) { return quint16(30000 + 10 * host); }

QList<int> encoders()
{
    QList<int> hosts;
    for (int h = 30; h <= 44; ++h)
        hosts.append(h);
    return hosts;
}

bool journalHas(const QString &peerName, const QString &noteStart, qint64 after = 0)
{
    for (const QJsonObject &o : labclient::journalFrom(after)) {
        if (o.value("dir").toString() == "event" && (peerName.isEmpty() || o.value("peer").toString() == peerName)
            && o.value("note").toString().startsWith(noteStart))
            return true;
    }
    return false;
}

struct Picture {
    quint8 sequence = 0;
    quint8 flags = 0;
    QImage image;
    int number = -1; // the frame number drawn in it
};

// One stream as a client receives it: joined to the group, registering again every second
// while it listens (the lab's holds are shorter than a client's period, so it re-registers
// more often than a client would).
class Receiver
{
public:
    Receiver(const QString &group, quint16 port, QByteArray registration, QString registrationTo)
        : m_group(group)
        , m_registration(std::move(registration))
        , m_registrationTo(std::move(registrationTo))
    {
        QVERIFY(m_socket.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(m_socket.joinMulticastGroup(m_group));
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
        QVERIFY(m_sender.bind(QHostAddress(labclient::clientIp()), 0));
    }

    void registerNow()
    {
        m_sender.writeDatagram(m_registration, QHostAddress(m_registrationTo), kRegistrationPort);
        m_registered.start();
    }

    // Datagrams for up to `ms`, registering again every second when `keepAlive`.
    QList<QByteArray> receive(int ms, bool keepAlive = true)
    {
        QList<QByteArray> got;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < ms) {
            if (keepAlive && (!m_registered.isValid() || m_registered.elapsed() > 1000))
                registerNow();
            if (m_socket.waitForReadyRead(20)) {
                while (m_socket.hasPendingDatagrams())
                    got.append(m_socket.receiveDatagram(65536).data());
            }
        }
        return got;
    }

    // Preview frames, decoded, until `count` pictures or `ms` pass; pictures beyond `count`
    // that came in the same read wait for the next call.
    QList<Picture> previewPictures(int count, int ms)
    {
        QList<Picture> pictures = m_pending;
        m_pending.clear();
        QElapsedTimer total;
        total.start();
        while (pictures.size() < count && total.elapsed() < ms) {
            for (const QByteArray &d : receive(50)) {
                PreviewAssembler::Frame frame;
                if (!m_preview.add(d, &frame))
                    continue;
                const Codec codec = frame.flags & kFlagJpeg ? Codec::Jpeg : frame.flags & kFlagH265 ? Codec::H265 : Codec::H264;
                if (!m_decoder || codec != m_codec) {
                    m_decoder = std::make_unique<FrameDecoder>(codec);
                    m_codec = codec;
                }
                const QImage image = m_decoder->decode(frame.data);
                if (!image.isNull())
                    pictures.append({frame.sequence, frame.flags, image, readFrameNumber(image)});
            }
        }
        m_pending = pictures.mid(count);
        return pictures.mid(0, count);
    }

    QList<QImage> snapshotPictures(int count, int ms)
    {
        QList<QImage> pictures;
        QElapsedTimer total;
        total.start();
        FrameDecoder jpeg(Codec::Jpeg);
        while (pictures.size() < count && total.elapsed() < ms) {
            for (const QByteArray &d : receive(50)) {
                QByteArray file;
                if (m_snapshot.add(d, &file) && pictures.size() < count) // later ones are not needed
                    pictures.append(jpeg.decode(file));
            }
        }
        return pictures;
    }

private:
    QUdpSocket m_socket;
    QUdpSocket m_sender;
    QHostAddress m_group;
    QByteArray m_registration;
    QString m_registrationTo;
    QElapsedTimer m_registered;
    PreviewAssembler m_preview;
    SnapshotAssembler m_snapshot;
    std::unique_ptr<FrameDecoder> m_decoder;
    Codec m_codec = Codec::H264;
    QList<Picture> m_pending;
};

std::unique_ptr<Receiver> previewReceiver(int host, bool main)
{
    const QString group = QStringLiteral("239.10.%1.%2").arg(main ? 1 : 2).arg(host);
    const quint16 port = quint16(portOf(host) + (main ? 0 : 2));
    return std::make_unique<Receiver>(group, port, QStringLiteral("udp://%1:%2/v").arg(group).arg(port).toLatin1(), group);
}

std::unique_ptr<Receiver> snapshotReceiver(int host)
{
    const quint16 port = quint16(portOf(host) + 4);
    return std::make_unique<Receiver>(QStringLiteral("239.10.3.%1").arg(host), port,
                                      QStringLiteral("udp://%1:%2/s").arg(peer(host)).arg(port).toLatin1(), peer(host));
}

// How many of `numbers` follow their predecessor by exactly one frame (the loop wraps).
int steps(const QList<int> &numbers, int loopFrames)
{
    int n = 0;
    for (int i = 1; i < numbers.size(); ++i)
        n += numbers[i] == (numbers[i - 1] + 1) % loopFrames;
    return n;
}
int steps(const QList<Picture> &pictures, int loopFrames)
{
    QList<int> numbers;
    for (const Picture &p : pictures)
        numbers.append(p.number);
    return steps(numbers, loopFrames);
}

// Nothing arrives for a while after the lab said the stream stopped.
void expectSilence(Receiver &receiver)
{
    receiver.receive(100, false); // what was under way when it stopped
    QCOMPARE(receiver.receive(700, false).size(), 0);
}

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

    void snapshotsShowTheEncoderAndStop()
    {
        const qint64 mark = labclient::journalEnd(); // before the stream starts: its stop may come during a slow decode
        auto receiver = snapshotReceiver(30);
        const QList<QImage> pictures = receiver->snapshotPictures(4, 10000);
        QCOMPARE(pictures.size(), 4);
        QList<int> numbers;
        for (const QImage &p : pictures) {
            QCOMPARE(p.size(), QSize(640, 360));
            QCOMPARE(nearestSignal(plainColour(p), encoders()), 30);
            numbers.append(readFrameNumber(p));
        }
        QVERIFY2(steps(numbers, 8) >= 2, "pictures follow the loop of 8 one by one"); // a picture may be lost

        QTRY_VERIFY_WITH_TIMEOUT(journalHas("encoder-1", QStringLiteral("stream stop udp://239.10.3.30:30304"), mark), 6000);
        expectSilence(*receiver);
    }

    void previewStreams_data()
    {
        columns<int, bool, int, QSize>({"host", "main", "flags", "size"});
        QTest::newRow("h264 sub") << 33 << false << 0 << QSize(640, 360);
        QTest::newRow("h265 main") << 31 << true << int(kFlagH265) << QSize(1920, 1080);
        QTest::newRow("jpeg main") << 32 << true << int(kFlagJpeg) << QSize(1920, 1080);
    }
    void previewStreams()
    {
        QFETCH(int, host);
        QFETCH(bool, main);
        QFETCH(int, flags);
        QFETCH(QSize, size);
        QVERIFY(labclient::control({{"cmd", "frames"}, {"on", true}}).value("ok").toBool());
        const qint64 beforeStart = labclient::journalEnd(); // its stop may come during a slow check below
        auto receiver = previewReceiver(host, main);
        // Encoding a 1080p loop takes seconds on a busy machine.
        const QList<Picture> pictures = receiver->previewPictures(12, 15000);
        // Asked while the receiver's last registration still holds: a slow journal wait
        // below may outlast the lab's short hold.
        const QString url = QStringLiteral("udp://239.10.%1.%2:%3").arg(main ? 1 : 2).arg(host).arg(portOf(host) + (main ? 0 : 2));
        const QJsonArray streams = labclient::control({{"cmd", "streams"}}).value("streams").toArray();
        bool listed = false;
        for (const QJsonValue &s : streams) {
            if (s.toObject().value("url").toString() == url) {
                listed = true;
                // The pictures above show frames were sent; the count is since the stream
                // last started, which on a loaded machine may be just now.
                QVERIFY(s.toObject().value("framesSent").isDouble());
                QCOMPARE(s.toObject().value("width").toInt(), size.width());
            }
        }
        QVERIFY(listed);
        QVERIFY(labclient::control({{"cmd", "frames"}, {"on", false}}).value("ok").toBool());
        QCOMPARE(pictures.size(), 12);
        for (const Picture &p : pictures) {
            QCOMPARE(int(p.flags), flags);
            QCOMPARE(p.image.size(), size);
            QCOMPARE(nearestSignal(plainColour(p.image), encoders()), host);
            QVERIFY(p.number >= 0 && p.number < 60);
        }
        QVERIFY2(steps(pictures, 60) >= 9, "frame numbers advance one by one");
        for (int i = 1; i < pictures.size(); ++i) {
            const int sequenceStep = quint8(pictures[i].sequence - pictures[i - 1].sequence);
            const int frameStep = (pictures[i].number - pictures[i - 1].number + 60) % 60;
            QCOMPARE(sequenceStep, frameStep); // one sequence number per frame sent
        }

        // The journal names each frame sent: its sequence number and the frame number drawn.
        const QString peerName = QStringLiteral("encoder-%1").arg(host - 29);
        QVERIFY(journalHas(peerName, QStringLiteral("stream start %1 %2").arg(url, main ? "main" : "sub")));
        const QString sent = QStringLiteral("frame %1 seq %2 frame %3 sentUs ").arg(url).arg(pictures.last().sequence).arg(pictures.last().number);
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(peerName, sent), 3000);

        if (host == 33) { // once is enough: without registrations the stream ends
            QTRY_VERIFY_WITH_TIMEOUT(journalHas(peerName, "stream stop " + url, beforeStart), 8000);
            expectSilence(*receiver);
        }
    }

    void resolutionAndCodecSwitchAtAKeyframe()
    {
        auto receiver = previewReceiver(35, false);
        QList<Picture> before = receiver->previewPictures(3, 10000);
        QCOMPARE(before.size(), 3);
        QCOMPARE(before.last().image.size(), QSize(640, 360));
        QVERIFY(labclient::control({{"cmd", "faults"}, {"set", QJsonObject{{"resolution", QJsonObject{{"35:sub", "320x180"}}}, {"codec", QJsonObject{{"35:sub", "h265"}}}}}}).value("ok").toBool());
        QList<Picture> after;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 15000 && (after.isEmpty() || after.last().image.size() != QSize(320, 180) || after.size() < 3)) {
            const QList<Picture> more = receiver->previewPictures(1, 2000);
            after += more;
        }
        QVERIFY(!after.isEmpty());
        QCOMPARE(after.last().image.size(), QSize(320, 180));
        QCOMPARE(int(after.last().flags), int(kFlagH265));
        QCOMPARE(nearestSignal(plainColour(after.last().image), encoders()), 35);
        // The first picture in the new form is a keyframe of the loop: frame 0 or 30.
        for (const Picture &p : after) {
            if (p.image.size() == QSize(320, 180)) {
                QVERIFY2(p.number % 30 == 0, qPrintable(QString::number(p.number)));
                break;
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(journalHas("encoder-6", "stream switch udp://239.10.2.35:30352 h265 320x180"), 3000);
    }

    void garbageAndRefusedRegistrationsAreSurvived()
    {
        QVERIFY(labclient::control({{"cmd", "faults"}, {"set", QJsonObject{{"streamGarbage", 0.5}, {"streamDuplicateFraction", 0.2}}}}).value("ok").toBool());
        auto receiver = previewReceiver(37, false);
        const QList<QByteArray> datagrams = receiver->receive(2500);
        int garbage = 0;
        for (const QByteArray &d : datagrams)
            garbage += d.size() <= 100 && (d.size() < kPreviewHeader || d[15] != 'V');
        QVERIFY2(garbage > 10, qPrintable(QString::number(garbage)));

        QUdpSocket junk;
        junk.writeDatagram("udp://239.10.1.37:1/v", QHostAddress("239.10.1.37"), kRegistrationPort);
        junk.writeDatagram(QByteArray(3000, '\xee'), QHostAddress(peer(37)), kRegistrationPort);
        QTRY_VERIFY_WITH_TIMEOUT(journalHas("encoder-8", "registration refused"), 3000);
        QCOMPARE(labclient::control({{"cmd", "ping"}}).value("ok").toBool(), true);
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
        auto receiver = previewReceiver(38, false);
        QVERIFY(receiver->previewPictures(1, 15000).size() == 1); // the loop is encoded and runs
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
        look(receiver->receive(2000));
        QVERIFY2(copies > 0 && strays > 0 && hostile >= 1, qPrintable(QStringLiteral("%1 %2 %3").arg(copies).arg(strays).arg(hostile)));
        QCOMPARE(keyframes - hostile, 0); // no keyframe in these two seconds of a four-second group

        // Asked for a keyframe, the encoder restarts its loop: parameter sets alone, then the IDR.
        const qint64 asked = labclient::journal().size();
        QUdpSocket node;
        node.writeDatagram(R"({"Type":"System","Function":"insertIDR","Value":0})", QHostAddress(peer(38)), 12345);
        QTRY_VERIFY_WITH_TIMEOUT(journalHas("encoder-9", "keyframe asked: udp://239.10.2.38:30382 restarts at frame 0", asked), 3000);
        setsAlone = keyframes = hostile = 0;
        look(receiver->receive(300));
        QVERIFY2(setsAlone >= 1 && keyframes - hostile >= 1,
                 qPrintable(QStringLiteral("sets alone %1, keyframes %2, hostile %3").arg(setsAlone).arg(keyframes).arg(hostile)));

        // Intra refresh: one IDR at the loop's start, recovery points after it.
        auto refreshed = previewReceiver(39, false);
        QVERIFY(refreshed->previewPictures(1, 20000).size() == 1);
        int idr = 0, recoveryPoints = 0;
        for (const QByteArray &d : refreshed->receive(2500)) {
            const QByteArray piece = d.mid(kPreviewHeader);
            idr += piece.contains(QByteArray::fromHex("00000165"));
            recoveryPoints += piece.contains(QByteArray::fromHex("0000010606")); // SEI, recovery point
        }
        QCOMPARE(idr, 0);
        QVERIFY2(recoveryPoints >= 2, qPrintable(QString::number(recoveryPoints)));
    }

    // A flood on a preview group, at many times a stream's own rate.
    void floodOnAPreviewGroup()
    {
        QVERIFY(labclient::control({{"cmd", "faults"}, {"set", QJsonObject{{"streamFlood", QJsonObject{{"40:sub", 5000}}}}}}).value("ok").toBool());
        auto receiver = previewReceiver(40, false);
        QVERIFY(receiver->previewPictures(1, 15000).size() == 1);
        const QList<QByteArray> datagrams = receiver->receive(1000);
        QVERIFY2(datagrams.size() > 2000, qPrintable(QString::number(datagrams.size())));
    }

    // Once a client puts a signal on a wall, the controller re-points its snapshots to the
    // client's own address and pushes them there.
    void controllerPushesSnapshotsToTheClient()
    {
        const quint16 port = quint16(portOf(30) + 4);
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
