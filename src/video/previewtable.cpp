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

QImage PreviewTable::request(const QString &key, quint64 *version) const
{
    if (version)
        *version = 0;
    const std::shared_ptr<PreviewRecord> record = find(key);
    if (!record)
        return QImage();
    PreviewRecord &stream = record->streamRecord();
    bool fresh = false;
    {
        QMutexLocker locker(&stream.lock);
        if (stream.demand <= 0 && stream.wake)
            stream.wake();
        stream.demand = kWanted;
        fresh = stream.idleSeconds < kIdleLimit;
    }
    if (record->stream) {
        QMutexLocker locker(&record->lock);
        record->demand = kWanted;
    }
    QMutexLocker locker(&record->lock);
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

} // namespace kora::video
