#include "app/singleinstance.h"

SingleInstance::SingleInstance(const QString &key)
    : m_key(key)
    , m_memory(key)
{
}

SingleInstance::Result SingleInstance::acquire()
{
    if (m_memory.create(1, QSharedMemory::ReadWrite))
        return Result::Acquired;
    if (m_memory.error() != QSharedMemory::AlreadyExists)
        return Result::Unavailable;

    // Attaching and detaching again removes the segment when we were its only user,
    // which is the case exactly when the instance that made it is gone.
    {
        QSharedMemory probe(m_key);
        if (probe.attach(QSharedMemory::ReadOnly))
            probe.detach();
    }
    if (m_memory.create(1, QSharedMemory::ReadWrite))
        return Result::RecoveredStale;
    return Result::AlreadyRunning;
}
