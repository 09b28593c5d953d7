#pragma once
// The preview records: the newest snapshot picture of every signal, filled by the snapshot
// readers (each in its own thread) and read by the image provider (the QML engine's image
// loading). Records are found by the signal's id. Appends and the reset on a new login take
// the table's write lock; lookups take its read lock and then keep the record alive by
// reference count, so a reader or the provider never holds a dangling record.
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kora::video {

constexpr int kWanted = 3;     // demand set by every request of a page
constexpr int kIdleLimit = 3;  // seconds without data after which the placeholder shows

struct PreviewRecord {
    explicit PreviewRecord(const QString &k) : key(k) {}
    const QString key;

    // Guarded by `lock` (reader threads and the image provider).
    mutable QMutex lock;
    // The record whose reader fills this one: a signal on a shared (mosaic) stream is
    // filled by the stream's own record's reader, which watches that record's demand and
    // idle time. Null: the record is its own stream. Set when the project is loaded;
    // dropped when the controller gives the signal a stream of its own.
    std::shared_ptr<PreviewRecord> stream;
    bool pushed = false; // read from a stream the controller pushes: no mosaic fills it
    QImage picture;
    int demand = 0; // nothing is asked of an encoder before a page shows its signal
    int idleSeconds = 0;
    quint64 serial = 0; // counts the pictures stored; 0: none yet
    QSize shown;        // the largest tile showing it now, in device pixels; invalid: unknown
    // Set by the stream's reader: a request that finds the stream unwanted calls it, so the
    // reader asks the encoder at once rather than at its next one-second tick.
    std::function<void()> wake;
    const void *wakeOwner = nullptr; // the reader that set `wake`
};

class PreviewTable
{
public:
    // The record of this id, made when there is none (one record per id).
    std::shared_ptr<PreviewRecord> add(const QString &key);
    std::shared_ptr<PreviewRecord> find(const QString &key) const;
    void clear();
    int size() const;

    // A page asks for a signal's picture: its stream is wanted again. The picture while the
    // stream delivers, else a null image (the caller shows its placeholder). `version` is
    // the picture's serial, 0 for the placeholder, so a page can tell a new picture.
    // `shown`: the largest tile showing the signal, the size worth decoding to. `delivered`:
    // the signal has had a picture since it was loaded, fresh or not.
    QImage request(const QString &key, quint64 *version = nullptr, const QSize &shown = QSize(),
                   bool *delivered = nullptr) const;

    // Stores a decoded picture in a record.
    static void store(PreviewRecord &record, const QImage &picture);
    // Stores a mosaic's cut in a cell while the cell still follows that mosaic's stream.
    static void storeCell(PreviewRecord &cell, const PreviewRecord &stream, const QImage &picture);
    // The signal is read from a stream of its own from now on (the mosaic no longer fills it).
    static void ownStream(PreviewRecord &record);
    // No reader fills the record any more: the placeholder shows, not a picture that stands still.
    static void unserved(PreviewRecord &record);

private:
    mutable QReadWriteLock m_lock;
    std::vector<std::shared_ptr<PreviewRecord>> m_records; // in the order added
    QHash<QString, std::shared_ptr<PreviewRecord>> m_byKey;
};

} // namespace kora::video
