#pragma once
// The KVM hosts that announced themselves on the host socket (answers to "GetDev" and their
// file trees): one record per device id, at its latest address. Anyone on the network can
// announce, so there are at most kMaxHosts records.
// Threads: main thread.
#include "devices/devicecommands.h"
#include "log/throttle.h"

#include <QList>

namespace kora::devices {

class HostRegistry
{
public:
    static constexpr int kMaxHosts = 64;

    // One message of the host socket from `ip`.
    void add(const QString &ip, const QByteArray &message);
    const QList<HostTree> &hosts() const { return m_hosts; }
    void clear() { m_hosts.clear(); }

private:
    QList<HostTree> m_hosts;
    LogThrottle m_refusals;
};

} // namespace kora::devices
