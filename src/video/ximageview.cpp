#include "video/ximageview.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/ffmpegthread.h"
#include "video/previewstreams.h"

#include <QQuickWindow>
#include <QSet>
#include <QTimer>

using namespace kora::video;

namespace {
// One second tick for every joined view, running only while there is one. GUI thread.
class HealthTick : public QObject
{
public:
    static HealthTick &instance()
    {
        static HealthTick tick;
        return tick;
    }
    void add(XImageView *view)
    {
        m_views.insert(view);
        if (!m_timer.isActive())
            m_timer.start();
    }
    void remove(XImageView *view)
    {
        m_views.remove(view);
        if (m_views.isEmpty())
            m_timer.stop();
    }

private:
    HealthTick()
    {
        m_timer.setInterval(1000);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = steadyNs() / 1000000;
            const QSet<XImageView *> views = m_views; // a view may leave while told
            for (XImageView *v : views)
                v->sampleHealth(now);
        });
    }
    QTimer m_timer;
    QSet<XImageView *> m_views;
};
} // namespace

XImageView::XImageView(QQuickItem *parent)
    : VideoFrameItem(parent)
{
}

XImageView::~XImageView()
{
    leaveMulticast();
    QObject::disconnect(m_swaps);
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
    m_health.start(sample(steadyNs() / 1000000));
    HealthTick::instance().add(this);
}

void XImageView::leaveMulticast()
{
    if (!m_stream)
        return;
    disconnect(m_stream, nullptr, this, nullptr);
    PreviewStreams::instance().leave(m_stream, m_shown);
    m_stream = nullptr;
    abortSocket();
    HealthTick::instance().remove(this);
    m_health = PreviewHealth();
    sampleHealth(0); // not joined: waits for nothing
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
    if (image.isNull())
        return;
    showFrame(image, stamp);
    showWait(PreviewWait::None, -1); // the tick starts a wait; the first picture ends it, not the next tick
}

void XImageView::showWait(PreviewWait wait, int seconds)
{
    if (wait == m_shownWait && seconds == m_shownSeconds)
        return;
    m_shownWait = wait;
    m_shownSeconds = seconds;
    emit healthChanged();
}

void XImageView::pixelSizeChanged(const QSize &pixels)
{
    if (!m_stream)
        return; // sent with the join
    PreviewStreams::instance().resize(m_stream, m_shown, pixels);
    m_shown = pixels;
    m_serial = 0;
}

QString XImageView::waiting() const
{
    switch (m_shownWait) {
    case PreviewWait::Stream: return QStringLiteral("stream");
    case PreviewWait::Keyframe: return QStringLiteral("keyframe");
    case PreviewWait::Silent: return QStringLiteral("silent");
    case PreviewWait::None: break;
    }
    return QString();
}

PreviewSample XImageView::sample(qint64 nowMs) const
{
    PreviewSample s;
    s.atMs = nowMs;
    s.shown = framesShown();
    if (const FFmpegThread *w = worker()) {
        const PreviewCounters c = w->counters();
        s.datagrams = c.datagrams;
        s.decoded = c.framesDecoded;
        s.discarded = c.waitingDiscarded;
        s.dropped = c.framesDropped;
        s.gaps = c.gaps;
        s.decodeNs = c.decodeNs;
    }
    return s;
}

void XImageView::sampleHealth(qint64 nowMs)
{
    if (m_stream)
        m_health.next(sample(nowMs));
    showWait(m_health.wait(), m_health.silentSeconds());
    if (!m_statistics || !m_stream)
        return;
    const PreviewRates &r = m_health.rates();
    const QSize source = worker()->sourceSize();
    m_figures = QVariantMap{{QStringLiteral("codec"), worker()->sourceCodec()},
                            {QStringLiteral("width"), source.width()},
                            {QStringLiteral("height"), source.height()},
                            {QStringLiteral("received"), r.received},
                            {QStringLiteral("shown"), r.shown},
                            {QStringLiteral("dropped"), r.dropped},
                            {QStringLiteral("lost"), r.lost},
                            {QStringLiteral("decodeMs"), r.decodeMs},
                            {QStringLiteral("latencyMs"), double(m_latencyNs.load()) / 1e6}};
    emit figuresChanged();
}

void XImageView::setStatistics(bool on)
{
    if (on == m_statistics)
        return;
    m_statistics = on;
    m_figures.clear();
    measureLatency();
    emit statisticsChanged();
    emit figuresChanged();
}

void XImageView::itemChange(ItemChange change, const ItemChangeData &value)
{
    VideoFrameItem::itemChange(change, value);
    if (change == ItemSceneChange)
        measureLatency();
}

void XImageView::measureLatency()
{
    // As the video benchmark does: at each swap that shows a new picture, the time since
    // its last datagram. Only while the figures are shown.
    QObject::disconnect(m_swaps);
    m_latencyNs = 0;
    if (!m_statistics || !window())
        return;
    m_swaps = connect(window(), &QQuickWindow::frameSwapped, this, [this] {
        const qint64 stamp = shownStamp();
        if (stamp != 0 && stamp != m_swapStamp.exchange(stamp))
            m_latencyNs = steadyNs() - stamp;
    }, Qt::DirectConnection);
}
