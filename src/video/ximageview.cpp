#include "video/ximageview.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/ffmpegthread.h"
#include "video/previewstreams.h"

XImageView::XImageView(QQuickItem *parent)
    : VideoFrameItem(parent)
{
}

XImageView::~XImageView()
{
    leaveMulticast();
}

FFmpegThread *XImageView::worker() const
{
    return m_stream ? m_stream->worker() : nullptr;
}

void XImageView::joinMulticast()
{
    if (m_stream)
        leaveMulticast(); // one stream at a time
    KTRACE(lcVideo) << "joinMulticast" << qUtf8Printable(mMulticast) << mPort;
    m_shown = pixelSize();
    m_serial = 0;
    m_stream = PreviewStreams::instance().join(mMulticast, mPort, m_encoder, m_shown);
    connect(m_stream, &PreviewStream::frameReady, this, &XImageView::takeFrame);
    connect(m_stream, &PreviewStream::left, this, &XImageView::abortSocket);
}

void XImageView::leaveMulticast()
{
    if (!m_stream)
        return;
    disconnect(m_stream, nullptr, this, nullptr);
    PreviewStreams::instance().leave(m_stream, m_shown);
    m_stream = nullptr;
    abortSocket();
}

void XImageView::recFrame(QImage image)
{
    showFrame(image);
}

void XImageView::abortSocket()
{
    showFrame(QImage());
}

void XImageView::takeFrame(const QSize &shown)
{
    if (shown != m_shown || !m_stream)
        return;
    qint64 stamp = 0;
    const QImage image = m_stream->worker()->takeFrame(shown, &m_serial, &stamp);
    if (!image.isNull())
        showFrame(image, stamp);
}

void XImageView::pixelSizeChanged(const QSize &pixels)
{
    if (!m_stream)
        return; // sent with the join
    PreviewStreams::instance().resize(m_stream, m_shown, pixels);
    m_shown = pixels;
    m_serial = 0;
}
