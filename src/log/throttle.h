#pragma once
// Bad input tends to come in floods (a broken encoder sends thousands of datagrams a second):
// one line per kind of fault and interval is enough to see it without drowning the log. The
// line that is let through can say how many were held back since the last one.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QString>

namespace kora {

class LogThrottle
{
public:
    explicit LogThrottle(qint64 intervalMs = 5000) : m_intervalMs(intervalMs) { m_clock.start(); }

    // True when a line of this kind may be written now; `skipped` gets the lines of this kind
    // held back since the last one written.
    bool allow(const QString &kind, int *skipped = nullptr) { return allow(kind, m_clock.elapsed(), skipped); }
    bool allow(const QString &kind, qint64 nowMs, int *skipped)
    {
        Entry &e = m_entries[kind];
        ++e.count;
        if (e.written && nowMs - e.lastAt < m_intervalMs) {
            ++e.skipped;
            return false;
        }
        if (skipped)
            *skipped = e.skipped;
        e.skipped = 0;
        e.lastAt = nowMs;
        e.written = true;
        return true;
    }
    // How often this kind happened in all.
    quint64 count(const QString &kind) const { return m_entries.value(kind).count; }
    // The end of a line let through: how many like it were held back since the last one.
    static QByteArray heldBack(int skipped)
    {
        return skipped ? "(" + QByteArray::number(skipped) + " more since the last line)" : QByteArray();
    }

private:
    struct Entry {
        qint64 lastAt = 0;
        bool written = false;
        int skipped = 0;
        quint64 count = 0;
    };
    qint64 m_intervalMs;
    QElapsedTimer m_clock;
    QHash<QString, Entry> m_entries;
};

} // namespace kora
