#pragma once
// Live preview item of a multicast stream, for the pages:
//   XImageView { mMulticast: "224.168.62.50"; mPort: 32249; Component.onCompleted: joinMulticast() }
// Its decoder (FFmpegThread) runs in a thread of its own that the item owns; the newest
// picture is drawn stretched over the whole item.
#include "video/videoframeitem.h"

#include <QThread>

class FFmpegThread;

class XImageView : public VideoFrameItem
{
    Q_OBJECT
    Q_PROPERTY(int mPort MEMBER mPort)
    Q_PROPERTY(int m_cropWidth MEMBER m_cropWidth)   // kept for the pages; not used for drawing
    Q_PROPERTY(int m_cropHeight MEMBER m_cropHeight)
    Q_PROPERTY(QString mMulticast MEMBER mMulticast)
public:
    explicit XImageView(QQuickItem *parent = nullptr);
    ~XImageView() override;

    Q_INVOKABLE void joinMulticast();
    Q_INVOKABLE void leaveMulticast();

    // For tests and benchmarks: counters and the test entry of the decoder.
    FFmpegThread *worker() const { return m_worker; }

public slots:
    void recFrame(QImage image);
    void abortSocket();

protected:
    void pixelSizeChanged(const QSize &pixels) override;

private:
    void takeFrame();

    // GUI thread.
    int mPort = 0;
    int m_cropWidth = 0;
    int m_cropHeight = 0;
    QString mMulticast;
    QThread m_thread;
    FFmpegThread *m_worker = nullptr; // lives in m_thread once started
};
