#pragma once
// Who is watched and who has gone quiet: the bookkeeping of the node pollers and of the
// node control that feeds them. No socket, no timer.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace kora::nodes {

// Polls a node may leave unanswered in a row before it is reported as not answering.
constexpr int kSilentPolls = 3;

// The poller's list: dotted IPv4 addresses in order, no duplicates. True when the list changed (the poller then
// asks at once and restarts its period).
bool addWatch(QStringList &list, const QString &ip);
bool removeWatch(QStringList &list, const QString &ip);

// Monitors watching each node of one kind. Two monitors may show the same node: the poller
// hears only of the first watcher coming and the last one going.
class Watchers
{
public:
    enum class Change { None, Insert, Delete };
    Change watch(const QString &ip);
    Change unwatch(const QString &ip);
    int count(const QString &ip) const { return m_counts.value(ip); }

private:
    QHash<QString, int> m_counts;
};

// Unanswered polls per node, judged at the end of each period.
class Silence
{
public:
    // The period is over for `watched`: the nodes that now have missed kSilentPolls periods
    // in a row (each node is reported once until it answers again).
    QStringList periodEnd(const QStringList &watched);
    void answered(const QString &ip);
    void forget(const QString &ip);

private:
    QHash<QString, int> m_missed;
    QSet<QString> m_answered; // answered in the current period
};

} // namespace kora::nodes
