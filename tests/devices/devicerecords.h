// The signal and host file records the device tests build their lists from.
#pragma once

#include "commands/hostmessages.h"
#include "model/records.h"

namespace devicerecords {

inline kora::SignalRecord signal(const QString &name, const QString &ip, const QString &platform)
{
    kora::SignalRecord s;
    s.name = name;
    s.ip = ip;
    s.platform = platform;
    return s;
}

inline kora::commands::FileInfo file(const QString &id, const QString &pid, const QString &name, int type,
                                     const QList<kora::commands::FileInfo> &children = {})
{
    kora::commands::FileInfo f;
    f.id = id;
    f.pid = pid;
    f.name = name;
    f.type = type;
    f.children = children;
    return f;
}

} // namespace devicerecords
