#include "video/previewtable.h"

namespace kora::video {

std::shared_ptr<PreviewRecord> PreviewTable::add(const QString &key)
{
    QWriteLocker locker(&m_lock);
    auto &slot = m_byKey[key];
    if (!slot) {
        slot = std::make_shared<PreviewRecord>(key);
        m_records.push_back(slot);
    }
    return slot;
}

std::shared_ptr<PreviewRecord> PreviewTable::find(const QString &key) const
{
    QReadLocker locker(&m_lock);
    return m_byKey.value(key);
}

void PreviewTable::clear()
{
    QWriteLocker locker(&m_lock);
    m_byKey.clear();
    m_records.clear();
}

int PreviewTable::size() const
{
    QReadLocker locker(&m_lock);
    return int(m_records.size());
}

QImage PreviewTable::request(const QString &key, quint64 *version, const QSize &shown, bool *delivered) const
{
    if (version)
        *version = 0;
    if (delivered)
        *delivered = false;
    const std::shared_ptr<PreviewRecord> record = find(key);
    if (!record)
        return QImage();
    std::shared_ptr<PreviewRecord> shared;
    {
        QMutexLocker locker(&record->lock);
        shared = record->stream;
    }
    PreviewRecord &stream = shared ? *shared : *record;
    bool fresh = false;
    {
        QMutexLocker locker(&stream.lock);
        if (stream.demand <= 0 && stream.wake)
            stream.wake();
        stream.demand = kWanted;
        fresh = stream.idleSeconds < kIdleLimit;
    }
    if (shared) {
        QMutexLocker locker(&record->lock);
        record->demand = kWanted;
    }
    QMutexLocker locker(&record->lock);
    if (shown.isValid())
        record->shown = shown;
    if (delivered)
        *delivered = record->serial > 0;
    if (!fresh || record->picture.isNull())
        return QImage();
    if (version)
        *version = record->serial;
    return record->picture;
}

void PreviewTable::store(PreviewRecord &record, const QImage &picture)
{
    QMutexLocker locker(&record.lock);
    record.picture = picture;
    ++record.serial;
}

void PreviewTable::storeCell(PreviewRecord &cell, const PreviewRecord &stream, const QImage &picture)
{
    QMutexLocker locker(&cell.lock);
    // The mosaic's own signal is a cell of it too, with no link to itself.
    if (cell.pushed || (&cell != &stream && cell.stream.get() != &stream))
        return;
    cell.picture = picture;
    ++cell.serial;
}

void PreviewTable::ownStream(PreviewRecord &record)
{
    QMutexLocker locker(&record.lock);
    record.stream.reset();
    record.pushed = true;
}

void PreviewTable::unserved(PreviewRecord &record)
{
    QMutexLocker locker(&record.lock);
    if (!record.stream)
        record.idleSeconds = kIdleLimit;
}

} // namespace kora::video
