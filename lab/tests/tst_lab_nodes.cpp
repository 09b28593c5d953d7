// The node status pollers against the lab's decoders and encoders through real sockets:
// they ask at their period, report the moving values, stop asking a node nobody watches and
// report a node that stopped answering. Runs on the client side of scripts/with-lab; most
// cases use a short period so they stay quick.
#include "nodes/qnodequery.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "support/labclient.h"

namespace {
using labclient::control;
using labclient::peerAddress;

constexpr int kShortPeriodMs = 400;

// When the lab received the status requests sent to `ip` on `port` after journal line
// `from`, in ms since the epoch.
QList<qint64> requestTimes(qint64 from, const QString &ip, quint16 port)
{
    QList<qint64> times;
    const QString dst = ip + QLatin1Char(':') + QString::number(port);
    for (const QJsonObject &line : labclient::journalFrom(from)) {
        if (line.value("dir").toString() == QLatin1String("in") && line.value("dst").toString() == dst
            && line.value("text").toString().contains(QLatin1String("get_sys_msg")))
            times.append(QDateTime::fromString(line.value("t").toString(), Qt::ISODateWithMs).toMSecsSinceEpoch());
    }
    return times;
}

// The status maps reported for `ip` so far.
QList<QVariantMap> reportsOf(const QSignalSpy &spy, const QString &ip)
{
    QList<QVariantMap> out;
    for (const QList<QVariant> &args : spy) {
        if (args.at(1).toString() == ip)
            out.append(args.at(0).toMap());
    }
    return out;
}

bool silence(const QStringList &peers)
{
    return control({{"cmd", "faults"}, {"set", QJsonObject{{"silentPeers", QJsonArray::fromStringList(peers)}}}})
        .value("ok")
        .toBool();
}

} // namespace

class TestLabNodes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!labclient::work().isEmpty(), "run through scripts/with-lab");
        QCOMPARE(control({{"cmd", "ping"}}).value("ok").toBool(), true);
    }
    void init() { QVERIFY(labclient::clearFaults()); }

    // Asked at once when a monitor watches, then at the period.
    void asksAtItsPeriodAndReportsMovingValues()
    {
        const QString decoder = peerAddress(20), encoder = peerAddress(30);
        const qint64 from = labclient::journalEnd();
        QNodeControl nodes(QHostAddress(labclient::clientIp()), 0, kShortPeriodMs);
        QSignalSpy reports(&nodes, &QNodeControl::querySysMsg);
        QSignalSpy silent(&nodes, &QNodeControl::queryNoAnswer);

        nodes.insertMemToQuery(decoder, 1);
        nodes.insertMemToQuery(encoder, 0);
        nodes.insertMemToQuery(encoder, 7); // neither kind: ignored
        QTRY_VERIFY_WITH_TIMEOUT(reportsOf(reports, decoder).size() >= 4 && reportsOf(reports, encoder).size() >= 4, 10000);
        const QList<QVariantMap> got = reportsOf(reports, decoder);
        QVERIFY(got[0].value("cpu").toDouble() > 0);
        QVERIFY(got[0].value("mem").toDouble() > 0);
        QVERIFY(got[0].value("temperature").toInt() >= 40);
        QVERIFY(!got[0].value("runingTime").toString().isEmpty());
        QVERIFY(got[0].value("temperature") != got[1].value("temperature"));
        QVERIFY(got[1].value("netSpeed") != got[2].value("netSpeed"));
        QCOMPARE(silent.size(), 0);
        // The encoder was asked on its own port only, the decoder on its own.
        QVERIFY(requestTimes(from, encoder, 41234).isEmpty());
        QVERIFY(requestTimes(from, decoder, 12345).isEmpty());

        // After the requests that a list change sends at once, one request per period.
        const QList<qint64> times = requestTimes(from, decoder, 41234);
        QVERIFY(times.size() >= 4);
        for (int i = times.size() - 2; i < times.size(); ++i) {
            const qint64 gap = times[i] - times[i - 1];
            QVERIFY2(gap >= kShortPeriodMs * 95 / 100 - 10 && gap <= 3 * kShortPeriodMs, qPrintable(QString::number(gap)));
        }
    }

    void stopsAskingANodeNobodyWatches()
    {
        const QString decoder = peerAddress(21), encoder = peerAddress(31);
        QNodeControl nodes(QHostAddress(labclient::clientIp()), 0, kShortPeriodMs);
        QSignalSpy reports(&nodes, &QNodeControl::querySysMsg);
        // Two monitors show the decoder; the encoder is the clock of the test.
        nodes.insertMemToQuery(decoder, 1);
        nodes.insertMemToQuery(decoder, 1);
        nodes.insertMemToQuery(encoder, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!reportsOf(reports, decoder).isEmpty() && !reportsOf(reports, encoder).isEmpty(), 5000);

        const qint64 from = labclient::journalEnd();
        nodes.deleteMemFromQuery(decoder, 1); // the other monitor still watches
        QTRY_VERIFY_WITH_TIMEOUT(requestTimes(from, encoder, 12345).size() >= 2 && requestTimes(from, decoder, 41234).size() >= 2, 5000);

        const qint64 mark = labclient::journalEnd();
        nodes.deleteMemFromQuery(decoder, 1);
        QTRY_VERIFY_WITH_TIMEOUT(requestTimes(mark, encoder, 12345).size() >= 4, 5000);
        // One request may have left before the change reached the poller, none after the
        // request the change sent at once to the nodes left.
        const QList<qint64> encoderTimes = requestTimes(mark, encoder, 12345);
        for (qint64 t : requestTimes(mark, decoder, 41234))
            QVERIFY(t <= encoderTimes.first());
    }

    void reportsANodeSilentForThreePolls()
    {
        const QString decoder = peerAddress(22), encoder = peerAddress(32);
        QNodeControl nodes(QHostAddress(labclient::clientIp()), 0, kShortPeriodMs);
        QSignalSpy reports(&nodes, &QNodeControl::querySysMsg);
        QSignalSpy silent(&nodes, &QNodeControl::queryNoAnswer);
        nodes.insertMemToQuery(decoder, 1);
        nodes.insertMemToQuery(encoder, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!reportsOf(reports, decoder).isEmpty(), 5000);

        const qint64 from = labclient::journalEnd();
        QVERIFY(silence({"decoder-1.3"}));
        QVERIFY(silent.wait(20 * kShortPeriodMs));
        QCOMPARE(silent.size(), 1);
        QCOMPARE(silent.at(0).at(0).toString(), decoder);
        // Three requests went unanswered before the report (a fourth may be on its way).
        const int unanswered = requestTimes(from, decoder, 41234).size();
        QVERIFY2(unanswered >= 3 && unanswered <= 4, qPrintable(QString::number(unanswered)));

        // Reported once; an answer again brings the values back.
        const int before = reportsOf(reports, decoder).size();
        QTRY_VERIFY_WITH_TIMEOUT(requestTimes(from, decoder, 41234).size() >= unanswered + 2, 5000);
        QCOMPARE(silent.size(), 1);
        QVERIFY(silence({}));
        QTRY_VERIFY_WITH_TIMEOUT(reportsOf(reports, decoder).size() > before, 5000);
        QCOMPARE(silent.size(), 1); // the encoder answered all along
    }

    // The period as the pages use it.
    void defaultPeriodIsFiveSeconds()
    {
        const QString encoder = peerAddress(33);
        const qint64 from = labclient::journalEnd();
        QNodeControl nodes{QHostAddress(labclient::clientIp())};
        nodes.insertMemToQuery(encoder, 0);
        QTRY_VERIFY_WITH_TIMEOUT(requestTimes(from, encoder, 12345).size() >= 3, 15000);
        const QList<qint64> times = requestTimes(from, encoder, 12345);
        // A coarse timer may fire up to 5 % early, and a loaded machine makes it late; the
        // bounds only tell five seconds from a period of half or twice that.
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = times[i] - times[i - 1];
            QVERIFY2(gap >= 4700 && gap <= 7500, qPrintable(QString::number(gap)));
        }
    }

    // Stopped pollers send nothing more, and watch calls after the stop are ignored.
    void shutdownStopsThePollers()
    {
        const QString stopped = peerAddress(34), later = peerAddress(35), clock = peerAddress(36);
        QNodeControl nodes(QHostAddress(labclient::clientIp()), 0, kShortPeriodMs);
        QSignalSpy reports(&nodes, &QNodeControl::querySysMsg);
        nodes.insertMemToQuery(stopped, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!reportsOf(reports, stopped).isEmpty(), 5000);
        nodes.shutdown();
        const qint64 mark = labclient::journalEnd();
        nodes.insertMemToQuery(later, 0);
        nodes.deleteMemFromQuery(stopped, 0);
        // Another poller's requests tell when the stopped one would have asked again.
        QNodeControl other(QHostAddress(labclient::clientIp()), 0, kShortPeriodMs);
        other.insertMemToQuery(clock, 0);
        QTRY_VERIFY_WITH_TIMEOUT(requestTimes(mark, clock, 12345).size() >= 3, 5000);
        QVERIFY(requestTimes(mark, stopped, 12345).isEmpty());
        QVERIFY(requestTimes(mark, later, 12345).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLabNodes)
#include "tst_lab_nodes.moc"
