#pragma once
// Bad input tends to come in floods (a broken encoder sends thousands of datagrams a second):
// one line per kind of fault and interval is enough to see it without drowning the log.
#include <QElapsedTimer>
#include <QHash>
#include <QString>

namespace kora {

class LogThrottle
{
public:
    explicit LogThrottle(qint64 intervalMs = 5000) : m_intervalMs(intervalMs) {}

    // True when a line of this kind may be written now; counts the ones held back.
    bool allow(const QString &kind)
    {
        Entry &e = m_entries[kind];
        ++e.count;
        if (e.timer.isValid() && e.timer.elapsed() < m_intervalMs)
            return false;
        e.timer.start();
        return true;
    }
    // How often this kind happened in all (shown with the line that is let through).
    quint64 count(const QString &kind) const { return m_entries.value(kind).count; }

private:
    struct Entry {
        QElapsedTimer timer;
        quint64 count = 0;
    };
    qint64 m_intervalMs;
    QHash<QString, Entry> m_entries;
};

} // namespace kora
