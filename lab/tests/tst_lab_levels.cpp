// Level dockers' listeners against the lab's designed equipment (.8) through real sockets:
// hex, text and multicast replies, the audio data query's priming, the one-shot period, and
// ICMP echo of a lab address and of an unused one. Runs on the client side of scripts/with-lab.
#include "levels/icmpecho.h"
#include "levels/listenthread.h"
#include "peers/services.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "support/labclient.h"

using namespace kora::levels;
using labclient::peerAddress;

namespace {

constexpr int kEquipment = 8;
constexpr int kUnused = 70; // inside the lab's subnet, held by nobody

QVariantMap request(const QString &data, int periodMs)
{
    return {{"ip", peerAddress(kEquipment)}, {"port", 9000}, {"data", data}, {"time", periodMs}};
}

QVariantMap reply(const QString &type, const QString &templ, int port, const QString &group = QString())
{
    QVariantMap m{{"port", port}, {"type", type}, {"data", templ}, {"key", "$L"}, {"protocol", "Udp"}};
    if (!group.isEmpty()) {
        m.insert("protocol", "Multicast");
        m.insert("ip", group);
    }
    return m;
}

// The requests the equipment got from the client since journal line `from`, with their times.
QList<QPair<qint64, QString>> requestsTo(qint64 from, bool hex)
{
    QList<QPair<qint64, QString>> out;
    for (const QJsonObject &line : labclient::journalFrom(from)) {
        if (line.value("peer").toString() != QLatin1String("equipment") || line.value("dir").toString() != QLatin1String("in"))
            continue;
        const qint64 ms = QDateTime::fromString(line.value("t").toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
        out.append({ms, line.value(hex ? "hex" : "text").toString()});
    }
    return out;
}

// Waits until `spy` holds `count` reports; a loaded machine may take a while.
bool waitFor(QSignalSpy &spy, int count, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < count && clock.elapsed() < timeoutMs)
        spy.wait(qMax(1, int(timeoutMs - clock.elapsed())));
    return spy.count() >= count;
}

// A listener's reports as the owner gets them: queued into this thread.
class Reports : public QObject
{
    Q_OBJECT
public:
    explicit Reports(ListenThread &listener)
    {
        connect(&listener, &ListenThread::recvStep, this, &Reports::step);
        connect(&listener, &ListenThread::recvValue, this, &Reports::value);
    }
signals:
    void step(QString uuid, int value);
    void value(QString uuid, QString key, QString text);
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

    // The sample's level docker: hex request and reply, polled at its period; the values are
    // the equipment's, in its order.
    void hexListenerPollsAtItsPeriod()
    {
        const qint64 from = labclient::journalEnd();
        ListenThread listener;
        listener.setUuid("hall-level");
        listener.setMaps(request("AA 55 10 01 CC", 200), reply("HEX", "aa559001$Lcc", 9010));
        Reports reports(listener);
        QSignalSpy steps(&reports, &Reports::step);
        QSignalSpy values(&reports, &Reports::value);
        listener.start();
        // Each reading is a step and then its value, queued one after the other.
        QVERIFY(waitFor(steps, 6) && waitFor(values, 6));
        listener.stop();
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(steps.at(i).at(0).toString(), QStringLiteral("hall-level"));
            QCOMPARE(steps.at(i).at(1).toInt(), qRound(lab::EquipmentPeer::level(1, quint64(i))));
            QCOMPARE(values.at(i).at(1).toString(), QStringLiteral("$L"));
            QCOMPARE(values.at(i).at(2).toString(), QString::number(steps.at(i).at(1).toInt()));
        }
        const auto sent = requestsTo(from, true);
        QVERIFY(sent.size() >= 6);
        for (const auto &r : sent)
            QCOMPARE(r.second, QStringLiteral("aa551001cc"));
        // Not faster than the period (timers may fire a little early). How late they come is
        // the machine's load, not the listener's doing, so there is no upper bound.
        const double mean = double(sent.last().first - sent.first().first) / (sent.size() - 1);
        QVERIFY2(mean >= 180, qPrintable(QString::number(mean)));
    }

    void textListenerTruncates()
    {
        ListenThread listener;
        listener.setUuid("text-level");
        listener.setMaps(request("{GetLevel;2}", 100), reply("ASCII", "{Level;2;$L}", 9011));
        Reports reports(listener);
        QSignalSpy values(&reports, &Reports::value);
        QSignalSpy steps(&reports, &Reports::step);
        listener.start();
        QVERIFY(waitFor(steps, 3) && waitFor(values, 3));
        listener.stop();
        for (int i = 0; i < 3; ++i) {
            const double level = lab::EquipmentPeer::level(2, quint64(i));
            QCOMPARE(values.at(i).at(2).toString(), QString::number(level, 'f', 1));
            QCOMPARE(steps.at(i).at(1).toInt(), int(std::trunc(level)));
        }
    }

    void multicastReplies()
    {
        ListenThread listener;
        listener.setUuid("group-level");
        listener.setMaps(request("AA 55 11 03 CC", 100),
                         reply("hex", "aa559003$Lcc", lab::EquipmentPeer::LevelGroupPort,
                               lab::EquipmentPeer::LevelGroup.toString()));
        Reports reports(listener);
        QSignalSpy steps(&reports, &Reports::step);
        listener.start();
        QVERIFY(waitFor(steps, 3));
        listener.stop();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(steps.at(i).at(1).toInt(), qRound(lab::EquipmentPeer::level(3, quint64(i))));
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
        QVERIFY(waitFor(steps, 2)); // the primed query and the one request
        listener.restart();
        QVERIFY(waitFor(steps, 4));
        listener.stop();
        QStringList texts;
        for (const auto &r : requestsTo(from, false))
            texts.append(r.second);
        const QString reset = QStringLiteral("{GetAoData;0;5}"), query = QStringLiteral("{GetAoData;1;5}");
        QCOMPARE(texts, (QStringList{reset, query, query, reset, query, query}));
        QCOMPARE(steps.count(), 4);
    }

    void pingReportsReachability_data()
    {
        QTest::addColumn<int>("host");
        QTest::addColumn<int>("socket");       // the socket asked for first
        QTest::addColumn<QByteArray>("groups"); // the client namespace's ping_group_range, when set
        QTest::addColumn<int>("used");
        QTest::addColumn<int>("reached");
        const int raw = int(EchoSocket::Raw), datagram = int(EchoSocket::Datagram), none = int(EchoSocket::None);
        const QByteArray everyone("0 2147483647"), nobody("1 0");
        QTest::newRow("lab address, raw socket") << kEquipment << raw << QByteArray() << raw << 1;
        QTest::newRow("unused address, raw socket") << kUnused << raw << QByteArray() << raw << 0;
        QTest::newRow("lab address, datagram socket") << kEquipment << datagram << everyone << datagram << 1;
        QTest::newRow("unused address, datagram socket") << kUnused << datagram << everyone << datagram << 0;
        QTest::newRow("no socket allowed") << kEquipment << datagram << nobody << none << 0;
    }
    void pingReportsReachability()
    {
        QFETCH(int, host);
        QFETCH(int, socket);
        QFETCH(QByteArray, groups);
        QFETCH(int, used);
        QFETCH(int, reached);
        if (!groups.isEmpty()) {
            // The client namespace's own setting; the machine's is not touched.
            QFile range("/proc/sys/net/ipv4/ping_group_range");
            QVERIFY(range.open(QIODevice::WriteOnly));
            QVERIFY(range.write(groups + '\n') > 0);
        }
        EchoSocket got = EchoSocket::Raw;
        QCOMPARE(ping(QHostAddress(peerAddress(host)), 0x4b4c, nextEchoSequence(), kEchoTimeoutMs, EchoSocket(socket), &got),
                 reached);
        QCOMPARE(int(got), used);
    }

    void pingListener()
    {
        ListenThread listener;
        listener.setUuid("reach");
        QVariantMap r = request("ping", 300);
        listener.setMaps(r, reply("ASCII", "$L", 0));
        Reports reports(listener);
        QSignalSpy steps(&reports, &Reports::step);
        listener.start();
        QVERIFY(waitFor(steps, 2));
        listener.stop();
        QCOMPARE(steps.at(0).at(1).toInt(), 1);
        QCOMPARE(steps.at(1).at(1).toInt(), 1);
    }

    // Stopping joins every thread, and late values of stopped listeners are not passed on.
    void listenersStopAndJoin()
    {
        Listeners listeners;
        QSignalSpy values(&listeners, &Listeners::value);
        listeners.add("a", request("AA 55 10 06 CC", 100), reply("HEX", "aa559006$Lcc", 9014));
        listeners.add("b", request("{GetLevel;7}", 100), reply("ASCII", "{Level;7;$L}", 9015));
        QCOMPARE(listeners.count(), 2);
        QVERIFY(waitFor(values, 4));
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
