#include "login/loginflow.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QTimer>

namespace kora::login {

QString stateName(State state)
{
    switch (state) {
    case State::Idle: return QStringLiteral("idle");
    case State::Scanning: return QStringLiteral("scanning");
    case State::Downloading: return QStringLiteral("downloading");
    case State::Analysing: return QStringLiteral("analysing");
    case State::LoggedIn: return QStringLiteral("logged in");
    case State::Failed: return QStringLiteral("failed");
    }
    return QString();
}

LoginFlow::LoginFlow(const Timings &timings, QObject *parent)
    : QObject(parent)
    , m_timings(timings)
    , m_scanWindow(new QTimer(this))
    , m_watchdog(new QTimer(this))
    , m_requestTimer(new QTimer(this))
{
    m_scanWindow->setSingleShot(true);
    m_scanWindow->setTimerType(Qt::PreciseTimer); // a coarse timer may close the window 50 ms late
    m_watchdog->setSingleShot(true);
    m_requestTimer->setSingleShot(true);
    connect(m_scanWindow, &QTimer::timeout, this, [this] {
        if (m_state == State::Scanning)
            emit scanWindowClosed();
    });
    connect(m_watchdog, &QTimer::timeout, this, [this] {
        if (m_state == State::Downloading) {
            m_requestTimer->stop();
            emit stalled();
        }
    });
    connect(m_requestTimer, &QTimer::timeout, this, [this] {
        if (m_state != State::Downloading)
            return;
        if (++m_repeats > m_timings.maxRepeats) {
            KWARN(lcDownload) << "no answer after" << m_timings.maxRepeats << "repeated requests; the watchdog ends the download";
            return;
        }
        emit requestUnanswered(m_repeats);
    });
}

bool LoginFlow::scanWindowOpen() const
{
    return m_scanWindow->isActive();
}

bool LoginFlow::watchdogActive() const
{
    return m_watchdog->isActive();
}

void LoginFlow::reset()
{
    enter(State::Idle);
}

void LoginFlow::scan()
{
    // A login scans once, from the start; a scan that comes later belongs to no login.
    if (m_state != State::Idle) {
        KWARN(lcApi) << "login: a scan while" << stateName(m_state) << "ignored";
        return;
    }
    enter(State::Scanning);
    m_scanWindow->start(m_timings.scanWindowMs);
}

void LoginFlow::scanReplied()
{
    if (m_state == State::Scanning)
        m_scanWindow->start(m_timings.scanWindowMs);
}

void LoginFlow::fileRequested(bool newFile)
{
    if (m_state != State::Downloading)
        enter(State::Downloading);
    if (newFile) {
        m_repeats = 0;
        m_watchdog->start(m_timings.watchdogMs);
    }
    m_requestTimer->start(m_timings.silenceMs);
}

void LoginFlow::fragmentsArrived()
{
    if (m_state != State::Downloading)
        return; // late fragments of an ended download keep nothing alive
    m_requestTimer->stop();
    m_repeats = 0;
    m_watchdog->start(m_timings.watchdogMs);
}

void LoginFlow::fileEnded()
{
    m_requestTimer->stop();
}

void LoginFlow::analysing()
{
    enter(State::Analysing);
}

void LoginFlow::loggedIn()
{
    enter(State::LoggedIn);
}

void LoginFlow::fail(const QString &why)
{
    enter(State::Failed, why);
}

void LoginFlow::enter(State state, const QString &why)
{
    // Leaving a state ends its timers; the new state starts its own.
    stopTimers();
    m_repeats = 0;
    if (state == m_state)
        return;
    KINFO(lcApi) << "login:" << stateName(m_state) << "->" << stateName(state) << why;
    m_state = state;
    emit stateChanged(state);
}

void LoginFlow::stopTimers()
{
    m_scanWindow->stop();
    m_watchdog->stop();
    m_requestTimer->stop();
}

} // namespace kora::login
