#pragma once
// Live preview item of a stream, for the pages:
//   XImageView { mMulticast: "224.168.62.50"; mPort: 32249; encoder: "192.168.6.112"
//                Component.onCompleted: joinMulticast() }
// Items showing the same stream share its decoder (PreviewStreams); each asks for pictures
// of its own size in device pixels. The newest picture is drawn stretched over the item.
// `encoder` (optional) is the address asked for a keyframe when the stream starts or loses
// a frame.
// Once a second (one timer for all views) a joined view says what it is waiting for and,
// while `statistics` is set, its figures.
#include "video/previewhealth.h"
#include "video/videoframeitem.h"

#include <QVariantMap>

class FFmpegThread;
class PreviewStream;

class XImageView : public VideoFrameItem
{
    Q_OBJECT
    Q_PROPERTY(int mPort MEMBER mPort)
    Q_PROPERTY(int m_cropWidth MEMBER m_cropWidth)   // kept for the pages; not used for drawing
    Q_PROPERTY(int m_cropHeight MEMBER m_cropHeight)
    Q_PROPERTY(QString mMulticast MEMBER mMulticast)
    Q_PROPERTY(QString encoder MEMBER m_encoder)
    // "" (pictures show, or not joined), "stream" (nothing received yet), "keyframe"
    // (datagrams, but no clean picture yet) or "silent" (no datagram for silentSeconds).
    Q_PROPERTY(QString waiting READ waiting NOTIFY healthChanged)
    Q_PROPERTY(int silentSeconds READ silentSeconds NOTIFY healthChanged)
    // Figures of the last second, kept while `statistics` is set: codec, width, height,
    // received, shown, dropped (per second), lost (frames since the join), decodeMs, latencyMs
    // (last datagram to the screen).
    Q_PROPERTY(bool statistics READ statistics WRITE setStatistics NOTIFY statisticsChanged)
    Q_PROPERTY(QVariantMap figures READ figures NOTIFY figuresChanged)
public:
    explicit XImageView(QQuickItem *parent = nullptr);
    ~XImageView() override;

    Q_INVOKABLE void joinMulticast();
    Q_INVOKABLE void leaveMulticast();

    // For tests and benchmarks: the shared decoder of the stream shown, null when none.
    FFmpegThread *worker() const;

    QString waiting() const;
    int silentSeconds() const { return m_health.silentSeconds(); }
    bool statistics() const { return m_statistics; }
    void setStatistics(bool on);
    QVariantMap figures() const { return m_figures; }
    // The shared tick: samples the counters of the stream shown (GUI thread).
    void sampleHealth(qint64 nowMs);

signals:
    void healthChanged();
    void statisticsChanged();
    void figuresChanged();

public slots:
    void recFrame(QImage image);
    void abortSocket();

protected:
    void pixelSizeChanged(const QSize &pixels) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void takeFrame(const QSize &shown);
    void showWait(kora::video::PreviewWait wait, int seconds); // healthChanged when it changes
    kora::video::PreviewSample sample(qint64 nowMs) const;
    void measureLatency();

    // GUI thread.
    int mPort = 0;
    int m_cropWidth = 0;
    int m_cropHeight = 0;
    QString mMulticast;
    QString m_encoder;
    PreviewStream *m_stream = nullptr; // owned by PreviewStreams
    QSize m_shown;                     // the size asked of the stream
    quint64 m_serial = 0;              // of the picture shown last
    kora::video::PreviewHealth m_health;
    kora::video::PreviewWait m_shownWait = kora::video::PreviewWait::None;
    int m_shownSeconds = -1;
    bool m_statistics = false;
    QVariantMap m_figures;
    QMetaObject::Connection m_swaps; // while `statistics`: the window's frameSwapped

    // Render thread (frameSwapped), read by the GUI thread.
    std::atomic<qint64> m_swapStamp{0};
    std::atomic<qint64> m_latencyNs{0};
};
