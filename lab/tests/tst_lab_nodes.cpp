// The node status poller against the lab's decoders and encoders through real sockets: it
// stops asking a node nobody watches any more. Runs on the client side of scripts/with-lab,
// with a short period so that it stays quick.
#include "nodes/qnodequery.h"

#include <QDateTime>
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
};

QTEST_GUILESS_MAIN(TestLabNodes)
#include "tst_lab_nodes.moc"
