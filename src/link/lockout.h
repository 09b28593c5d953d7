#pragma once
// The account check, and the lock-out it feeds: five failures, each within 300 s of the
// one before, lock the login for 600 s after the last. Both numbers live in control.ini, so
// the lock survives a restart.
#include "model/records.h"

#include <QString>
#include <QtGlobal>
#include <vector>

namespace kora::link {

constexpr int kLockThreshold = 5;
constexpr qint64 kLockSeconds = 600;
constexpr qint64 kFailureWindowSeconds = 300;

// Seconds the login stays locked at `now` (0: a login may start).
qint64 lockSecondsLeft(int loginfail, qint64 logintime, qint64 now);

// The counter after one more failure at `now`.
int countFailure(int loginfail, qint64 logintime, qint64 now);

// The first user named `name` decides, by its password as the package stores it; later users
// of that name are not considered. The index of the accepted user, or -1.
int acceptedUser(const std::vector<UserRecord> &users, const QString &name, const QString &storedPassword);

} // namespace kora::link
