#pragma once
// What the two live view items share: the one-picture handoff from a decoder thread to the
// GUI, and an item that draws the newest picture stretched over its whole area with one
// texture node (works with the software renderer and with OpenGL).
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QQuickItem>

#include <atomic>

class QSGTexture;

// Qt 5 has no hash for sizes; the decoders keep pictures and converters by size.
inline uint qHash(const QSize &size, uint seed = 0) noexcept
{
    return ::qHash((quint64(quint32(size.width())) << 32) | quint32(size.height()), seed);
}

namespace kora::video {

// A monotonic clock in nanoseconds shared by the decoders and the items.
qint64 steadyNs();

// Decoder thread -> GUI, bounded to one picture: the newest wins. Several items may read
// one slot (they show one stream at one size); each remembers the serial it showed. put()
// says whether the readers must be told (nobody read since the last time they were told);
// a picture replaced before anyone read it is counted as dropped.
class FrameSlot
{
public:
    // `stamp`: when the picture's data arrived (steadyNs()), for latency measurements.
    bool put(const QImage &image, qint64 stamp = 0);
    // The newest picture when it is newer than `*serial` (which is then updated), else null.
    QImage read(quint64 *serial, qint64 *stamp = nullptr);
    void clear();
    quint64 dropped() const { return m_dropped.load(); }

private:
    mutable QMutex m_mutex;
    QImage m_image;        // guarded by m_mutex
    qint64 m_stamp = 0;    // guarded by m_mutex
    quint64 m_serial = 0;  // guarded by m_mutex
    bool m_unread = false; // guarded by m_mutex: put since the last read
    std::atomic<quint64> m_dropped{0};
};

} // namespace kora::video

class VideoFrameItem : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(int framesShown READ framesShown NOTIFY frameShown)
public:
    explicit VideoFrameItem(QQuickItem *parent = nullptr);
    ~VideoFrameItem() override;

    // Pictures taken into the scene graph so far (each one uploaded once).
    int framesShown() const { return m_framesShown.load(); }
    // When the data of the picture last taken into the scene graph arrived (steadyNs()); 0
    // when unknown. A benchmark reads it as each frame is swapped.
    qint64 shownStamp() const { return m_shownStamp.load(); }
    QImage currentFrame() const { return m_image; }
    // The item's size in device pixels, the size worth decoding to.
    QSize pixelSize() const;

signals:
    void frameShown();

protected:
    // GUI thread. A null picture clears the item.
    void showFrame(const QImage &image, qint64 stamp = 0);
    // Told when pixelSize() changes; the decoders scale to it.
    virtual void pixelSizeChanged(const QSize &pixels) { Q_UNUSED(pixels) }

    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void checkPixelSize();

    // GUI thread (read by the render thread while the GUI thread is blocked in sync).
    QImage m_image;
    bool m_imageChanged = false;
    QSize m_pixelSize;
    qint64 m_stamp = 0;
    std::atomic<int> m_framesShown{0};
    std::atomic<qint64> m_shownStamp{0};
};
