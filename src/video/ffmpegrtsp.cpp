#include "video/ffmpegrtsp.h"

XRtspView::XRtspView(QQuickItem *parent)
    : QQuickItem(parent)
{
}
