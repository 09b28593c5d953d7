#pragma once
// Live view item of a camera's RTSP stream; placed by pages now, decoding comes later.
#include <QQuickItem>

class XRtspView : public QQuickItem
{
    Q_OBJECT
public:
    explicit XRtspView(QQuickItem *parent = nullptr);
};
