#pragma once
// Live view of a camera's RTSP stream: XRtspView { Component.onCompleted: openRTSP(url) }.
// FFmpegRtsp runs runRtspPass() in a thread the item owns and opens the stream again after
// a failure until close(); the newest picture is drawn stretched over the whole item.
#include "video/videoframeitem.h"

#include <QMutex>
#include <QObject>
#include <QSize>
#include <QThread>

#include <atomic>

class QTimer;

class FFmpegRtsp : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReopenDelayMs = 1000;

    explicit FFmpegRtsp(QObject *parent = nullptr);
    ~FFmpegRtsp() override;

    // Any thread.
    QImage takeFrame(quint64 *serial); // the newest picture when newer than *serial
    // Ends a running pass within ~100 ms and cancels the opens queued before it; close()
    // (queued) then tidies up.
    void stop() { ++m_generation; }
    int generation() const { return m_generation.load(); }
    bool isRunning() const { return m_running.load(); }
    void setMaxSize(const QSize &pixels);
    quint64 framesDecoded() const { return m_decoded.load(); }
    quint64 framesDropped() const { return m_slot.dropped(); }

public slots:
    // Worker thread. openRTSP blocks the thread for one pass at a time.
    void init();
    void openRTSP(const QString &url);
    // An open queued at `generation`: ignored when stop() came after it.
    void openAt(const QString &url, int generation);
    void close();

signals:
    void frameReady(); // the frame slot went from empty to full
    void closed();

private:
    void runPass();

    // Worker thread only.
    QString m_url;
    int m_passGeneration = 0; // the generation the running stream belongs to
    QTimer *m_reopenTimer = nullptr;

    // Any thread.
    std::atomic<bool> m_running{false};
    std::atomic<int> m_generation{0};
    std::atomic<quint64> m_decoded{0};
    kora::video::FrameSlot m_slot;
    mutable QMutex m_sizeMutex;
    QSize m_maxSize; // guarded by m_sizeMutex
};

class XRtspView : public VideoFrameItem
{
    Q_OBJECT
public:
    explicit XRtspView(QQuickItem *parent = nullptr);
    ~XRtspView() override;

    Q_INVOKABLE void openRTSP(QString url);
    Q_INVOKABLE void close();

    FFmpegRtsp *worker() const { return m_worker; }

public slots:
    void recFrame(QImage image);

protected:
    void pixelSizeChanged(const QSize &pixels) override;

private:
    // GUI thread.
    QThread *m_thread = nullptr;    // deletes itself once finished
    FFmpegRtsp *m_worker = nullptr; // lives in m_thread once started
    quint64 m_serial = 0;           // of the picture shown last
};
