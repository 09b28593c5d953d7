// Level dockers' listeners against the lab's designed equipment (.8) through real sockets:
// the audio data query's priming and one-shot period, stopping, and ICMP echo of a lab
// address and of an unused one. Runs on the client side of scripts/with-lab.
#include "levels/icmpecho.h"
#include "levels/listenthread.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

#include "support/labclient.h"
#include "support/table.h"

using namespace kora::levels;
using labclient::peerAddress;

namespace {

constexpr int kEquipment = 8;
constexpr int kUnused = 70; // inside the lab's subnet, held by nobody

QVariantMap request(const QString &data, int periodMs)
{
    return {{"ip", peerAddress(kEquipment)}, {"port", 9000}, {"data", data}, {"time", periodMs}};
}

QVariantMap reply(const QString &type, const QString &templ, int port)
{
    return {{"port", port}, {"type", type}, {"data", templ}, {"key", "$L"}, {"protocol", "Udp"}};
}

// The texts the equipment got from the client since journal line `from`.
QStringList requestsTo(qint64 from)
{
    QStringList out;
    for (const QJsonObject &line : labclient::journalFrom(from)) {
        if (line.value("peer").toString() == QLatin1String("equipment") && line.value("dir").toString() == QLatin1String("in"))
            out.append(line.value("text").toString());
    }
    return out;
}

// A listener's reports as the owner gets them: queued into this thread.
class Reports : public QObject
{
    Q_OBJECT
public:
    explicit Reports(ListenThread &listener)
    {
        connect(&listener, &ListenThread::recvStep, this, &Reports::step);
    }
signals:
    void step(QString uuid, int value);
};

} // namespace

class TestLabLevels : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!labclient::net().isEmpty(), "runs inside scripts/with-lab only");
    }

    // "time" 0: the priming pair, then one request 100 ms later; each start does it again.
    void audioDataQueryPrimedAndAskedOncePerStart()
    {
        const qint64 from = labclient::journalEnd();
        ListenThread listener;
        listener.setUuid("ao-level");
        listener.setMaps(request("{GetAoData;1;5}", 0), reply("ASCII", "{AoData;5;$L}", 9013));
        Reports reports(listener);
        QSignalSpy steps(&reports, &Reports::step);
        listener.start();
        QTRY_VERIFY_WITH_TIMEOUT(steps.count() >= 2, 10000); // the primed query and the one request
        listener.restart();
        QTRY_VERIFY_WITH_TIMEOUT(steps.count() >= 4, 10000);
        listener.stop();
        const QStringList texts = requestsTo(from);
        const QString reset = QStringLiteral("{GetAoData;0;5}"), query = QStringLiteral("{GetAoData;1;5}");
        QCOMPARE(texts, (QStringList{reset, query, query, reset, query, query}));
        QCOMPARE(steps.count(), 4);
    }

    void pingReportsReachability_data()
    {
        QTest::addColumn<int>("host");
        QTest::addColumn<int>("socket");       // the socket asked for first
        QTest::addColumn<QByteArray>("groups"); // the client namespace's ping_group_range, when set
        columns<int, int>({"used", "reached"});
        const int raw = int(EchoSocket::Raw), datagram = int(EchoSocket::Datagram), none = int(EchoSocket::None);
        // Our own group (in a user namespace of its own the only one there is), and none.
        const QByteArray ours = QByteArray::number(getgid()) + ' ' + QByteArray::number(getgid()), nobody("1 0");
        QTest::newRow("lab address, raw socket") << kEquipment << raw << QByteArray() << raw << 1;
        QTest::newRow("unused address, raw socket") << kUnused << raw << QByteArray() << raw << 0;
        QTest::newRow("lab address, datagram socket") << kEquipment << datagram << ours << datagram << 1;
        QTest::newRow("no socket allowed") << kEquipment << datagram << nobody << none << 0;
    }
    void pingReportsReachability()
    {
        QFETCH(int, host);
        QFETCH(int, socket);
        QFETCH(QByteArray, groups);
        QFETCH(int, reached);
        if (!groups.isEmpty()) {
            // The client namespace's own setting; the machine's is not touched.
            QFile range("/proc/sys/net/ipv4/ping_group_range");
            QVERIFY(range.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            // A user namespace of its own maps one group: an empty range needs two.
            if (range.write(groups + '\n') < 0)
                QSKIP("this namespace cannot hold that group range");
        }
        EchoSocket got = EchoSocket::Raw;
        QCOMPARE(ping(QHostAddress(peerAddress(host)), 0x4b4c, nextEchoSequence(), kEchoTimeoutMs, EchoSocket(socket), &got),
                 reached);
        QTEST(int(got), "used");
    }

    // Stopping joins every thread, and late values of stopped listeners are not passed on.
    void listenersStopAndJoin()
    {
        Listeners listeners;
        QSignalSpy values(&listeners, &Listeners::value);
        listeners.add("a", request("AA 55 10 06 CC", 100), reply("HEX", "aa559006$Lcc", 9014));
        listeners.add("b", request("{GetLevel;7}", 100), reply("ASCII", "{Level;7;$L}", 9015));
        QCOMPARE(listeners.count(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(values.count() >= 4, 10000); // a loaded machine may take a while
        listeners.stopAll();
        QCOMPARE(listeners.count(), 0);
        const int seen = values.count();
        // Values already queued when they stopped must not arrive now.
        QCoreApplication::processEvents();
        QCOMPARE(values.count(), seen);
    }
};

QTEST_GUILESS_MAIN(TestLabLevels)
#include "tst_lab_levels.moc"
