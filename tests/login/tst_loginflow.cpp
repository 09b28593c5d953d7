// The login's timers, driven as the session drives them, with short timings; the whole road
// is tst_session's.
#include "login/loginflow.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include "support/testmain.h"

using kora::login::LoginFlow;
using kora::login::State;
using kora::login::Timings;

Q_DECLARE_METATYPE(kora::login::State)

namespace {
// Short, but long against a busy machine's timer jitter: the tests tick at a quarter of them.
constexpr Timings kShort{300, 600, 100, 3};
} // namespace

class TestLoginFlow : public QObject
{
    Q_OBJECT
private slots:
    // The scan window stays open while replies come, and the watchdog while progress comes;
    // each ends its full time after the last one.
    void eachTimerRunsFromTheLatestEvent_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::newRow("scan window, replies") << true;
        QTest::newRow("watchdog, progress") << false;
    }
    void eachTimerRunsFromTheLatestEvent()
    {
        QFETCH(bool, scan);
        LoginFlow flow(kShort);
        const int full = scan ? kShort.scanWindowMs : kShort.watchdogMs;
        QSignalSpy ended(&flow, scan ? &LoginFlow::scanWindowClosed : &LoginFlow::stalled);
        scan ? flow.scan() : flow.fileRequested(true);
        QElapsedTimer sinceLast;
        int events = 0;
        int endedEarly = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (++events > 6) {
                timer.stop();
                return;
            }
            endedEarly += ended.count();
            scan ? flow.scanReplied() : flow.fragmentsArrived();
            sinceLast.start();
        });
        timer.start(full / 4);
        QVERIFY(ended.wait(5000));
        QCOMPARE(events, 7);
        QCOMPARE(endedEarly, 0);
        QVERIFY2(sinceLast.elapsed() >= full * 9 / 10, qPrintable(QString::number(sinceLast.elapsed())));
        QCOMPARE(ended.count(), 1);
    }

    // A host falling silent after progress ends the download in `stalled`, with no request
    // repeated: the progress answered it. (Silence before any progress, and after the gap
    // request, with its repeats, is tst_session's.)
    void aSilentHostAfterProgressEndsTheDownload()
    {
        LoginFlow flow(kShort);
        QSignalSpy stalled(&flow, &LoginFlow::stalled);
        QSignalSpy unanswered(&flow, &LoginFlow::requestUnanswered);
        flow.scan();
        flow.fileRequested(true);
        flow.fragmentsArrived();
        QVERIFY(stalled.wait(3000));
        QCOMPARE(stalled.count(), 1);
        QVERIFY(unanswered.isEmpty());
        QCOMPARE(flow.state(), State::Downloading); // the session ends it
    }

    // Leaving the download stops its timers: nothing of it can end a later state, late
    // fragments restart nothing, and a scan belongs only to a login that starts from Idle.
    void leavingTheDownloadStopsItsTimers_data()
    {
        columns<QString, State>({"exit", "state"});
        QTest::newRow("failed") << "fail" << State::Failed;
        QTest::newRow("analysing") << "analysing" << State::Analysing;
        QTest::newRow("a new login") << "reset" << State::Idle;
        QTest::newRow("a late scan of an earlier login") << "scan" << State::Downloading;
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
        else if (exit == "reset")
            flow.reset();
        else
            flow.scan();
        QCOMPARE(flow.state(), state);
        QCOMPARE(flow.watchdogActive(), state == State::Downloading);
        flow.fragmentsArrived();
        flow.scanReplied();
        QCOMPARE(flow.watchdogActive(), state == State::Downloading);
        QVERIFY(!flow.scanWindowOpen());
        flow.scan();
        QCOMPARE(flow.scanWindowOpen(), state == State::Idle);
    }
};

KORA_TEST(TestLoginFlow)
#include "tst_loginflow.moc"
