#include "video/videoframeitem.h"

#include <QMetaMethod>
#include <QMutexLocker>
#include <QPainter>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <QSGTexture>

#include <chrono>
#include <cmath>
#include <memory>

namespace kora::video {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool FrameSlot::put(const QImage &image, qint64 stamp)
{
    QMutexLocker lock(&m_mutex);
    const bool tell = !m_unread;
    if (m_unread)
        ++m_dropped;
    m_image = image;
    m_stamp = stamp;
    ++m_serial;
    m_unread = true;
    return tell;
}

QImage FrameSlot::read(quint64 *serial, qint64 *stamp)
{
    QMutexLocker lock(&m_mutex);
    m_unread = false;
    if (m_image.isNull() || *serial >= m_serial)
        return QImage();
    *serial = m_serial;
    if (stamp)
        *stamp = m_stamp;
    return m_image;
}

void FrameSlot::clear()
{
    QMutexLocker lock(&m_mutex);
    m_unread = false;
    m_image = QImage();
}

} // namespace kora::video

namespace {
// The node owns its texture: a new picture's texture replaces and frees the previous one.
class FrameNode : public QSGSimpleTextureNode
{
public:
    void replaceTexture(QSGTexture *texture)
    {
        setTexture(texture);
        m_texture.reset(texture);
    }

private:
    std::unique_ptr<QSGTexture> m_texture;
};

// The software renderer draws the picture straight from the decoder's image: a texture there
// is a QPixmap copy of every picture, a third of the work of showing it.
class PainterNode : public QSGRenderNode
{
public:
    explicit PainterNode(QQuickItem *item) : m_item(item) {}
    void setPicture(const QImage &image, const QRectF &rect)
    {
        m_image = image;
        m_rect = rect;
    }
    void render(const RenderState *state) override
    {
        auto *painter = static_cast<QPainter *>(
            m_item->window()->rendererInterface()->getResource(m_item->window(), QSGRendererInterface::PainterResource));
        if (!painter)
            return;
        if (const QRegion *clip = state->clipRegion(); clip && !clip->isEmpty())
            painter->setClipRegion(*clip, Qt::ReplaceClip); // before the transform
        painter->setTransform(matrix()->toTransform());
        painter->setOpacity(inheritedOpacity());
        painter->setRenderHint(QPainter::SmoothPixmapTransform, m_image.size() != m_rect.size().toSize());
        painter->drawImage(m_rect, m_image);
    }
    StateFlags changedStates() const override { return {}; }
    // An opaque picture hides what lies under it, so the renderer need not paint that first.
    RenderingFlags flags() const override
    {
        return m_image.hasAlphaChannel() ? RenderingFlags(BoundedRectRendering) : BoundedRectRendering | OpaqueRendering;
    }
    QRectF rect() const override { return m_rect; }

private:
    QQuickItem *m_item;
    QImage m_image;
    QRectF m_rect;
};
} // namespace

VideoFrameItem::VideoFrameItem(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

VideoFrameItem::~VideoFrameItem() = default;

QSize VideoFrameItem::pixelSize() const
{
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    return QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
}

void VideoFrameItem::showFrame(const QImage &image, qint64 stamp)
{
    if (image.isNull() && m_image.isNull())
        return;
    m_image = image;
    m_stamp = stamp;
    m_imageChanged = true;
    update();
}

QSGNode *VideoFrameItem::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    if (m_image.isNull() || width() <= 0 || height() <= 0) {
        delete old;
        m_imageChanged = false;
        return nullptr;
    }
    const bool fresh = m_imageChanged;
    auto shown = [&] {
        if (!fresh)
            return;
        ++m_framesShown;
        m_shownStamp = m_stamp;
        // The threaded render loop calls this outside the GUI thread. Told only when someone
        // listens: a wake-up of the GUI thread for every picture costs more than the count.
        if (isSignalConnected(QMetaMethod::fromSignal(&VideoFrameItem::frameShown)))
            QMetaObject::invokeMethod(this, [this] { emit frameShown(); }, Qt::QueuedConnection);
    };
    if (window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software) {
        auto *node = old ? static_cast<PainterNode *>(old) : new PainterNode(this);
        node->setPicture(m_image, boundingRect());
        node->markDirty(QSGNode::DirtyMaterial);
        m_imageChanged = false;
        shown();
        return node;
    }
    auto *node = static_cast<FrameNode *>(old);
    if (!node || fresh) {
        // A new node (first picture, or the scene graph was rebuilt) needs the texture too.
        QSGTexture *texture = window()->createTextureFromImage(m_image);
        if (!texture) {
            delete node;
            return nullptr;
        }
        if (!node)
            node = new FrameNode;
        texture->setFiltering(QSGTexture::Linear);
        node->setFiltering(QSGTexture::Linear);
        node->replaceTexture(texture);
        m_imageChanged = false;
    }
    node->setRect(boundingRect());
    shown();
    return node;
}

void VideoFrameItem::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        checkPixelSize();
        update(); // the node's rectangle follows the item
    }
}

void VideoFrameItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged)
        checkPixelSize();
}

void VideoFrameItem::checkPixelSize()
{
    const QSize pixels = pixelSize();
    if (pixels == m_pixelSize)
        return;
    m_pixelSize = pixels;
    pixelSizeChanged(pixels);
}
