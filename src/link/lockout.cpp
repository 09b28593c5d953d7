#include "link/lockout.h"

namespace kora::link {

qint64 lockSecondsLeft(int loginfail, qint64 logintime, qint64 now)
{
    if (loginfail < kLockThreshold)
        return 0;
    const qint64 since = now - logintime;
    // A clock set back before the last failure must not lock the login for years.
    if (since < 0)
        return kLockSeconds;
    return since < kLockSeconds ? kLockSeconds - since : 0;
}

int countFailure(int loginfail, qint64 logintime, qint64 now)
{
    if (loginfail <= 0 || now - logintime >= kFailureWindowSeconds || now < logintime)
        return 1;
    return loginfail + 1;
}

int acceptedUser(const std::vector<UserRecord> &users, const QString &name, const QString &storedPassword)
{
    for (size_t i = 0; i < users.size(); ++i) {
        if (users[i].name == name)
            return users[i].password == storedPassword ? int(i) : -1;
    }
    return -1;
}

} // namespace kora::link
