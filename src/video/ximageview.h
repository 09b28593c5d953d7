#pragma once
// Live preview item of a stream, for the pages:
//   XImageView { mMulticast: "224.168.62.50"; mPort: 32249; encoder: "192.168.6.112"
//                Component.onCompleted: joinMulticast() }
// Items showing the same stream share its decoder (PreviewStreams); each asks for pictures
// of its own size in device pixels. The newest picture is drawn stretched over the item.
// `encoder` (optional) is the address asked for a keyframe when the stream starts or loses
// a frame.
#include "video/videoframeitem.h"

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
public:
    explicit XImageView(QQuickItem *parent = nullptr);
    ~XImageView() override;

    Q_INVOKABLE void joinMulticast();
    Q_INVOKABLE void leaveMulticast();

    // For tests and benchmarks: the shared decoder of the stream shown, null when none.
    FFmpegThread *worker() const;

public slots:
    void recFrame(QImage image);
    void abortSocket();

protected:
    void pixelSizeChanged(const QSize &pixels) override;

private:
    void takeFrame(const QSize &shown);

    // GUI thread.
    int mPort = 0;
    int m_cropWidth = 0;
    int m_cropHeight = 0;
    QString mMulticast;
    QString m_encoder;
    PreviewStream *m_stream = nullptr; // owned by PreviewStreams
    QSize m_shown;                     // the size asked of the stream
    quint64 m_serial = 0;              // of the picture shown last
};
