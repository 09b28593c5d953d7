#pragma once
// Repeated failed account checks lock the login: five failures, each within 300 s of the
// one before, lock it for 600 s after the last. Both numbers live in control.ini, so the
// lock survives a restart.
#include <QtGlobal>

namespace kora::link {

constexpr int kLockThreshold = 5;
constexpr qint64 kLockSeconds = 600;
constexpr qint64 kFailureWindowSeconds = 300;

// Seconds the login stays locked at `now` (0: a login may start).
qint64 lockSecondsLeft(int loginfail, qint64 logintime, qint64 now);

// The counter after one more failure at `now`.
int countFailure(int loginfail, qint64 logintime, qint64 now);

} // namespace kora::link
