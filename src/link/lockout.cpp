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

} // namespace kora::link
