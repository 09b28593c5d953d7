#include "nodes/watches.h"

#include <QHostAddress>

namespace kora::nodes {

bool addWatch(QStringList &list, const QString &ip)
{
    // Requests go to dotted IPv4 addresses only; anything else would never be answered.
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol || address.toString() != ip
        || list.contains(ip))
        return false;
    list.append(ip);
    return true;
}

bool removeWatch(QStringList &list, const QString &ip)
{
    return list.removeAll(ip) > 0;
}

Watchers::Change Watchers::watch(const QString &ip)
{
    if (ip.isEmpty())
        return Change::None;
    return ++m_counts[ip] == 1 ? Change::Insert : Change::None;
}

Watchers::Change Watchers::unwatch(const QString &ip)
{
    const auto it = m_counts.find(ip);
    if (it == m_counts.end())
        return Change::None;
    if (--it.value() > 0)
        return Change::None;
    m_counts.erase(it);
    return Change::Delete;
}

QStringList Silence::periodEnd(const QStringList &watched)
{
    QStringList silent;
    for (const QString &ip : watched) {
        if (m_answered.remove(ip))
            continue;
        if (++m_missed[ip] == kSilentPolls)
            silent.append(ip);
    }
    return silent;
}

void Silence::answered(const QString &ip)
{
    m_missed.remove(ip);
    m_answered.insert(ip);
}

void Silence::forget(const QString &ip)
{
    m_missed.remove(ip);
    m_answered.remove(ip);
}

} // namespace kora::nodes
