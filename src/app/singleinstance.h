#pragma once
// One client per machine: a 1-byte shared memory segment under a fixed key, held until the
// process ends. On Linux a System V segment outlives a crashed owner, so a segment nobody
// is attached to any more is removed and taken over instead of blocking every later start.
#include <QSharedMemory>
#include <QString>

class SingleInstance
{
public:
    enum class Result { Acquired, RecoveredStale, AlreadyRunning, Unavailable };

    explicit SingleInstance(const QString &key);
    Result acquire();
    QString errorString() const { return m_memory.errorString(); }

private:
    QString m_key;
    QSharedMemory m_memory;
};
