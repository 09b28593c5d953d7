#pragma once
// The course of one login, from the operator's press to the pages or to a reported failure:
//
//   Idle ─scan()─▶ Scanning ─fileRequested()─▶ Downloading ─analysing()─▶ Analysing ─loggedIn()─▶ LoggedIn
//                     │                           │     ▲ fragmentsArrived()           │
//                     └────────── fail() ─────────┴─────┴──────────────────────────────┴──▶ Failed
//
// Timers, each running only in its state (all stop when the state is left):
//  - scan window (Scanning): closes `scanWindowMs` after the scan or after the latest reply;
//    then the owner chooses the host (scanWindowClosed).
//  - watchdog (Downloading): `watchdogMs` without progress ends the download (stalled). Every
//    progress report and every newly requested file restarts it; nothing else does, so a host
//    that falls silent in any phase of a download ends the login.
//  - request timer (Downloading): a request that no fragment answered within `silenceMs` is
//    repeated (requestUnanswered), at most `maxRepeats` times in a row; the watchdog runs on.
//
// The owner does the sending and the reading, and ends the login with fail() or loggedIn().
// Everything belongs to the thread that owns the object (the main thread).
#include <QObject>
#include <QString>

class QTimer;

namespace kora::login {

enum class State { Idle, Scanning, Downloading, Analysing, LoggedIn, Failed };
QString stateName(State state);

struct Timings {
    int scanWindowMs = 1000;
    int watchdogMs = 2000;
    int silenceMs = 1000;
    int maxRepeats = 3;
};

class LoginFlow : public QObject
{
    Q_OBJECT
public:
    explicit LoginFlow(const Timings &timings, QObject *parent = nullptr);
    // Between logins: the next scan and download keep these.
    void setTimings(const Timings &timings) { m_timings = timings; }

    State state() const { return m_state; }
    bool scanWindowOpen() const;
    bool watchdogActive() const;

    // Any state -> Idle: every timer stops (a new login, the return to the login page).
    void reset();
    // Idle -> Scanning: the window opens. Ignored in any other state (reset() starts a login).
    void scan();
    // Scanning: the window stays open `scanWindowMs` after this reply.
    void scanReplied();
    // -> Downloading. A new file restarts the watchdog and the count of repeats; a repeated or
    // gap request only waits for its answer.
    void fileRequested(bool newFile);
    // Downloading: fragments arrived.
    void fragmentsArrived();
    // Downloading: the receiver ended a file (complete or with gaps); its request is answered.
    void fileEnded();
    // -> Analysing: everything is here; no timer runs while the package is read.
    void analysing();
    // -> LoggedIn.
    void loggedIn();
    // -> Failed, from any state; `why` is logged.
    void fail(const QString &why);

signals:
    void scanWindowClosed();
    void stalled();
    void requestUnanswered(int repeat);
    void stateChanged(kora::login::State state);

private:
    void enter(State state, const QString &why = QString());
    void stopTimers();

    Timings m_timings;
    State m_state = State::Idle;
    QTimer *m_scanWindow = nullptr;
    QTimer *m_watchdog = nullptr;
    QTimer *m_requestTimer = nullptr;
    int m_repeats = 0;
};

} // namespace kora::login
