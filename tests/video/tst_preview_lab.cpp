// The preview decoder on lab sockets: only its group on a shared port, registration while joined,
// keyframes asked again while the picture waits, a refused join tried again, the item showing
// the stream, an RTSP pass on a silent server ending when told.
#include "video/ffmpegthread.h"
#include "video/rtspsource.h"
#include "video/ximageview.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "previewfixtures.h"
#include "support/labclient.h"

using namespace previewfixtures;
using namespace kora::video;

namespace {
const QHostAddress kGroup(QStringLiteral("224.168.62.50"));
const QHostAddress kOtherGroup(QStringLiteral("224.168.62.51"));
constexpr quint16 kPort = 32249;

// Datagrams in order, as an encoder sends them.
void send(QUdpSocket &socket, const QList<QByteArray> &datagrams, const QHostAddress &group, quint16 port)
{
    for (const QByteArray &d : datagrams)
        QVERIFY(socket.writeDatagram(d, group, port) == d.size());
}

// What the window shows, as the screen has it.
QImage shown(QQuickWindow &window)
{
    return window.screen()->grabWindow(window.winId()).toImage();
}
} // namespace

class TestPreviewLab : public QObject
{
    Q_OBJECT
private slots:
    void onlyItsGroupAndRegistration()
    {
        QUdpSocket registrations; // where the encoder of the group listens
        QVERIFY(registrations.bind(kGroup, kStreamRegistrationPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(registrations.joinMulticastGroup(kGroup));
        QUdpSocket witness; // sees both groups: proof that the other group reaches this host
        QVERIFY(witness.bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(witness.joinMulticastGroup(kGroup));
        QVERIFY(witness.joinMulticastGroup(kOtherGroup));
        int witnessed = 0;
        connect(&witness, &QUdpSocket::readyRead, this, [&] {
            while (witness.hasPendingDatagrams()) {
                witness.receiveDatagram();
                ++witnessed;
            }
        });
        QList<QNetworkDatagram> registered;
        connect(&registrations, &QUdpSocket::readyRead, this, [&] {
            while (registrations.hasPendingDatagrams())
                registered.append(registrations.receiveDatagram());
        });

        Worker w;
        w.call([](FFmpegThread *f) {
            f->setRegistrationInterval(100);
            f->setMulticastMsg(kGroup.toString(), kPort);
            f->multicastInit();
        });
        QVERIFY(w.worker->isJoined());
        QTRY_VERIFY(!registered.isEmpty());
        QCOMPARE(registered.first().data(), QByteArray("udp://224.168.62.50:32249/v"));
        QCOMPARE(registered.first().senderPort(), int(kPort)); // from the stream socket

        const QList<QByteArray> red = encode(lab::Codec::H264, kSize, 8, kRed);
        QCOMPARE(red.size(), 8);
        Sender ours(10), theirs(200);
        const QList<QByteArray> own = ours.stream(red, 0, 1000, 2);
        const QList<QByteArray> other = theirs.stream(encode(lab::Codec::H264, kSize, 8, kBlue), 0, 1000, 2);
        QUdpSocket encoder;
        send(encoder, other, kOtherGroup, kPort);
        send(encoder, own, kGroup, kPort);
        send(encoder, other, kOtherGroup, kPort);

        QTRY_COMPARE(witnessed, own.size() + 2 * other.size());
        QTRY_COMPARE(w.worker->counters().framesDecoded, quint64(8));
        QTRY_VERIFY(wholeIn(w.last, kRed));
        PreviewCounters c = w.worker->counters();
        QCOMPARE(c.datagrams, quint64(own.size()));
        QCOMPARE(c.gaps, quint64(0));
        QTRY_VERIFY(registered.size() >= 3); // periodic, not only at join

        // Leaving: the item's picture goes, registering stops, the socket is closed.
        w.call([](FFmpegThread *f) { f->abortMulticast(); });
        QTRY_COMPARE(w.aborts, 1);
        QVERIFY(w.last.isNull());
        QVERIFY(!w.worker->isJoined());
        const quint64 sent = w.worker->counters().registrations;
        QTRY_COMPARE(quint64(registered.size()), sent); // every one sent arrived
        QTest::qWait(600); // six intervals of the shortened timer: none may come
        QCOMPARE(w.worker->counters().registrations, sent);
        QCOMPARE(quint64(registered.size()), sent);

        const int before = witnessed;
        Sender late(50);
        const QList<QByteArray> after = late.stream(red.mid(0, 1), 0, 1000, 2);
        send(encoder, after, kGroup, kPort);
        QTRY_COMPARE(witnessed, before + after.size());
        w.call([](FFmpegThread *) {}); // the worker's pending events are through
        QCOMPARE(w.worker->counters().datagrams, c.datagrams);

        w.call([](FFmpegThread *f) { f->abortMulticast(); }); // a second leave changes nothing
        QCoreApplication::processEvents();
        QCOMPARE(w.aborts, 1);
    }

    // A keyframe asked for that does not come (the request lost, an encoder that sends none
    // unasked): the decoder asks again while it waits, once a second.
    void keyframeAskedAgainWhileWaiting()
    {
        const QString ip = labclient::clientIp(); // the test plays the encoder's node
        QVERIFY2(!ip.isEmpty(), "run me inside scripts/lab");
        QUdpSocket node;
        QVERIFY(node.bind(QHostAddress(ip), kNodePort));
        QElapsedTimer clock;
        clock.start();
        QList<qint64> asked;
        connect(&node, &QUdpSocket::readyRead, this, [&] {
            while (node.hasPendingDatagrams())
                if (node.receiveDatagram().data() == keyframeRequest())
                    asked.append(clock.elapsed());
        });
        Worker w;
        w.call([ip](FFmpegThread *f) {
            f->setMulticastMsg(kGroup.toString(), kPort);
            f->setEncoder(ip);
            f->multicastInit();
        });
        const QList<QByteArray> frames = encode(lab::Codec::H264, kSize, 8, kRed, 100);
        QCOMPARE(frames.size(), 8);
        Sender sender;
        QUdpSocket encoder;
        send(encoder, sender.stream(frames.mid(1)), kGroup, kPort); // joined after the only keyframe
        QTRY_VERIFY_WITH_TIMEOUT(asked.size() >= 3, 5000);
        QVERIFY(asked[1] - asked[0] >= 950 && asked[2] - asked[1] >= 950);
        QCOMPARE(w.worker->counters().framesDecoded, quint64(0));
    }

    // A join refused while there is no route to the group (the cable out, the interface not up
    // yet) is tried again with the registrations: the stream shows once the route is back. The
    // worker thread runs in a network namespace of its own that has only its loopback.
    void refusedJoinIsTriedAgain()
    {
        Worker w;
        bool isolated = false;
        w.call([&isolated](FFmpegThread *f) {
            isolated = ::unshare(CLONE_NEWNET) == 0; // this thread only; nothing else may follow without it
            if (!isolated)
                return;
            f->setRegistrationInterval(100);
            f->setMulticastMsg(kGroup.toString(), kPort);
            f->multicastInit();
        });
        if (!isolated)
            QSKIP("needs a network namespace of its own");
        QVERIFY(w.worker->isJoined());
        const QList<QByteArray> stream = Sender().stream(encode(lab::Codec::H264, kSize, 8, kRed));
        const auto sendStream = [&] {
            w.call([&stream](FFmpegThread *) {
                QUdpSocket socket; // made in the worker's namespace, where the group's route is the loopback
                for (const QByteArray &d : stream)
                    socket.writeDatagram(d, kGroup, kPort);
            });
        };
        bool routed = false;
        w.call([&routed](FFmpegThread *) {
            // The route comes back: the loopback up, with multicast, carrying 224.0.0.0/4.
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            ifreq up{};
            std::strcpy(up.ifr_name, "lo");
            up.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING | IFF_MULTICAST;
            rtentry route{};
            auto *dst = reinterpret_cast<sockaddr_in *>(&route.rt_dst);
            auto *mask = reinterpret_cast<sockaddr_in *>(&route.rt_genmask);
            dst->sin_family = mask->sin_family = AF_INET;
            dst->sin_addr.s_addr = htonl(0xE0000000);
            mask->sin_addr.s_addr = htonl(0xF0000000);
            route.rt_flags = RTF_UP;
            char device[] = "lo";
            route.rt_dev = device;
            routed = ::ioctl(fd, SIOCSIFFLAGS, &up) == 0 && ::ioctl(fd, SIOCADDRT, &route) == 0;
            ::close(fd);
        });
        QVERIFY(routed);
        QTRY_VERIFY_WITH_TIMEOUT((sendStream(), w.worker->counters().framesDecoded > 0), 5000);
        QTRY_VERIFY(wholeIn(w.last, kRed));
    }

    // A stream arriving faster than it decodes (keyframes, back to back): the worker still
    // takes queued calls (a leave, the thread's quit) between its batches of datagrams.
    void callsGetThroughAFlood()
    {
        const QByteArray key = encode(lab::Codec::H264, QSize(640, 480), 1, kBlue).value(0);
        QVERIFY(!key.isEmpty());
        Worker w;
        w.call([](FFmpegThread *f) {
            f->setMulticastMsg(kGroup.toString(), kPort);
            f->multicastInit();
        });
        // The flood ends with the test, also when a check fails and returns early.
        struct Flood {
            std::atomic<bool> on{true};
            std::thread thread;
            ~Flood() { on = false; thread.join(); }
        } flood;
        flood.thread = std::thread([&] {
            QUdpSocket socket;
            Sender sender;
            while (flood.on) {
                for (const QByteArray &d : sender.frame(key, 0, 1400))
                    socket.writeDatagram(d, kGroup, kPort);
            }
        });
        QTRY_VERIFY(w.worker->counters().framesDecoded > 100);
        std::atomic<bool> through{false};
        QMetaObject::invokeMethod(w.worker, [&] { through = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(through, 5000);
    }

    void itemShowsTheStream()
    {
        // As the client registers it.
        qmlRegisterType<XImageView>("Custom.VX.ffmpeg", 1, 0, "XImageView");
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.15\nimport Custom.VX.ffmpeg 1.0\n"
                          "XImageView { width: 160; height: 120; mMulticast: \"224.168.62.50\"; mPort: 32250;"
                          " m_cropWidth: 1920; m_cropHeight: 1080 }",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto *item = qobject_cast<XImageView *>(object.get());
        QVERIFY(item);
        QQuickWindow window;
        window.resize(160, 120);
        item->setParentItem(window.contentItem());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(QMetaObject::invokeMethod(item, "joinMulticast"));
        QTRY_VERIFY(item->worker()->isJoined());
        item->sampleHealth(steadyNs() / 1000000);
        QCOMPARE(item->waiting(), QString("stream"));
        Sender sender;
        QUdpSocket encoder;
        send(encoder, sender.stream(encode(lab::Codec::H264, kSize, 4, kRed), 0, 1000, 2), kGroup, 32250);
        QTRY_VERIFY(item->framesShown() > 0);
        QCOMPARE(item->waiting(), QString()); // the first picture ends the wait, not the next tick
        QVERIFY(wholeIn(item->currentFrame(), kRed));
        QCOMPARE(item->currentFrame().size(), QSize(160, 120)); // decoded at the item's size
        QTRY_VERIFY(wholeIn(shown(window), kRed));

        QVERIFY(QMetaObject::invokeMethod(item, "leaveMulticast"));
        QTRY_VERIFY(item->currentFrame().isNull());
        QTRY_VERIFY(!shown(window).isNull() && !wholeIn(shown(window), kRed));
        object.reset(); // quits and waits for the decoder thread
    }

    void rtspPassEndsWhenToldWhileBlocked()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::atomic<bool> going{true};
        std::atomic<bool> done{false};
        RtspPassResult result = RtspPassResult::OpenFailed;
        const QString url = QStringLiteral("rtsp://127.0.0.1:%1/live").arg(silent.serverPort());
        std::thread pass([&] {
            result = runRtspPass(url, [&] { return going.load(); }, [](const QImage &) {});
            done = true;
        });
        QVERIFY(silent.waitForNewConnection(5000));
        going = false;
        // Well before the 2 s socket timeout: the interrupt callback ended it.
        QTRY_VERIFY_WITH_TIMEOUT(done, 1500);
        pass.join();
        QCOMPARE(result, RtspPassResult::Stopped);
    }
};

QTEST_MAIN(TestPreviewLab)
#include "tst_preview_lab.moc"
