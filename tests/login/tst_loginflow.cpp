// The login's states and timers, driven as the controller drives them, with short timings.
#include "login/loginflow.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using kora::login::LoginFlow;
using kora::login::State;
using kora::login::Timings;

Q_DECLARE_METATYPE(kora::login::State)

namespace {
// Short, but long against a busy machine's timer jitter: the tests tick at a quarter of them.
constexpr Timings kShort{300, 600, 100, 3};

// What the controller does with an unanswered request: ask again.
void repeatWhenUnanswered(LoginFlow &flow)
{
    QObject::connect(&flow, &LoginFlow::requestUnanswered, &flow, [&flow] { flow.fileRequested(false); });
}
} // namespace

class TestLoginFlow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<kora::login::State>(); }

    void aWholeLoginPassesEachState()
    {
        LoginFlow flow(kShort);
        QSignalSpy states(&flow, &LoginFlow::stateChanged);
        flow.scan();
        flow.scanReplied();
        QSignalSpy closed(&flow, &LoginFlow::scanWindowClosed);
        QVERIFY(closed.wait(2000));
        QVERIFY(!flow.scanWindowOpen());
        flow.fileRequested(true);
        flow.fragmentsArrived();
        flow.fileEnded();
        flow.fileRequested(true); // the next file
        flow.fileEnded();
        flow.analysing();
        QVERIFY(!flow.watchdogActive());
        flow.loggedIn();
        QList<State> seen;
        for (const QList<QVariant> &s : states)
            seen.append(s.at(0).value<State>());
        QCOMPARE(seen, (QList<State>{State::Scanning, State::Downloading, State::Analysing, State::LoggedIn}));
    }

    void theScanWindowClosesAfterTheLatestReply()
    {
        LoginFlow flow(kShort);
        QSignalSpy closed(&flow, &LoginFlow::scanWindowClosed);
        QElapsedTimer sinceReply;
        int replies = 0;
        QTimer replier;
        connect(&replier, &QTimer::timeout, &flow, [&] {
            if (++replies > 5)
                return replier.stop();
            flow.scanReplied();
            sinceReply.start();
        });
        flow.scan();
        replier.start(kShort.scanWindowMs / 4);
        QVERIFY(closed.wait(3000));
        QCOMPARE(replies, 6); // it stayed open while replies came
        QVERIFY2(sinceReply.elapsed() >= kShort.scanWindowMs * 9 / 10, qPrintable(QString::number(sinceReply.elapsed())));
        QCOMPARE(closed.count(), 1);
    }

    // Every phase of a download in which the host may fall silent ends in `stalled`.
    void aSilentHostEndsTheDownload_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::newRow("the first request unanswered") << "request";
        QTest::newRow("after progress") << "progress";
        QTest::newRow("after the gaps were asked for") << "gaps";
        QTest::newRow("after the next file was asked for") << "next";
    }
    void aSilentHostEndsTheDownload()
    {
        QFETCH(QString, phase);
        LoginFlow flow(kShort);
        repeatWhenUnanswered(flow);
        QSignalSpy stalled(&flow, &LoginFlow::stalled);
        QSignalSpy unanswered(&flow, &LoginFlow::requestUnanswered);
        flow.scan();
        flow.fileRequested(true);
        if (phase != "request")
            flow.fragmentsArrived();
        if (phase == "gaps") {
            flow.fileEnded();
            flow.fileRequested(false);
        }
        if (phase == "next") {
            flow.fileEnded();
            flow.fileRequested(true);
        }
        QVERIFY(stalled.wait(3000));
        QCOMPARE(stalled.count(), 1);
        // A request waits for its answer and is repeated; fragments answer it.
        QVERIFY(phase == "progress" ? unanswered.isEmpty() : unanswered.count() >= 1);
        QVERIFY(unanswered.count() <= kShort.maxRepeats);
        QCOMPARE(flow.state(), State::Downloading); // the controller ends it
    }

    void progressKeepsTheDownloadAlive()
    {
        LoginFlow flow(kShort);
        QSignalSpy stalled(&flow, &LoginFlow::stalled);
        flow.fileRequested(true);
        QElapsedTimer sinceProgress;
        int reports = 0;
        int stalledBeforeLast = -1;
        QTimer progress;
        connect(&progress, &QTimer::timeout, &flow, [&] {
            if (++reports > 8) {
                stalledBeforeLast = stalled.count();
                return progress.stop();
            }
            flow.fragmentsArrived();
            sinceProgress.start();
        });
        progress.start(kShort.watchdogMs / 4);
        QVERIFY(stalled.wait(5000));
        QCOMPARE(stalledBeforeLast, 0);
        QVERIFY2(sinceProgress.elapsed() >= kShort.watchdogMs * 9 / 10, qPrintable(QString::number(sinceProgress.elapsed())));
    }

    // Leaving the download stops its timers: nothing of it can end a later state, and late
    // fragments restart nothing.
    void leavingTheDownloadStopsItsTimers_data()
    {
        QTest::addColumn<QString>("exit");
        QTest::addColumn<State>("state");
        QTest::newRow("failed") << "fail" << State::Failed;
        QTest::newRow("analysing") << "analysing" << State::Analysing;
        QTest::newRow("a new login") << "reset" << State::Idle;
    }
    void leavingTheDownloadStopsItsTimers()
    {
        QFETCH(QString, exit);
        QFETCH(State, state);
        LoginFlow flow(kShort);
        flow.scan();
        flow.fileRequested(true);
        QVERIFY(flow.watchdogActive());
        if (exit == "fail")
            flow.fail(QStringLiteral("test"));
        else if (exit == "analysing")
            flow.analysing();
        else
            flow.reset();
        QCOMPARE(flow.state(), state);
        QVERIFY(!flow.watchdogActive());
        QVERIFY(!flow.scanWindowOpen());
        flow.fragmentsArrived();
        flow.scanReplied();
        QVERIFY(!flow.watchdogActive());
        QVERIFY(!flow.scanWindowOpen());
        QCOMPARE(flow.state(), state);
    }

    // An earlier login's scan that comes late leaves the download under way, and its watchdog.
    void aLateScanLeavesTheDownloadAlone()
    {
        LoginFlow flow(kShort);
        flow.scan();
        flow.fileRequested(true);
        flow.scan();
        QCOMPARE(flow.state(), State::Downloading);
        QVERIFY(flow.watchdogActive());
        QVERIFY(!flow.scanWindowOpen());
    }

    void aFailedLoginLetsTheNextOneScan()
    {
        LoginFlow flow(kShort);
        flow.scan();
        flow.fail(QStringLiteral("nobody answered"));
        flow.scan(); // belongs to no login
        QCOMPARE(flow.state(), State::Failed);
        flow.reset(); // the next login
        flow.scan();
        QCOMPARE(flow.state(), State::Scanning);
        QVERIFY(flow.scanWindowOpen());
        QSignalSpy closed(&flow, &LoginFlow::scanWindowClosed);
        QVERIFY(closed.wait(2000));
    }
};

QTEST_GUILESS_MAIN(TestLoginFlow)
#include "tst_loginflow.moc"
