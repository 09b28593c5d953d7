#include "video/myimageprovider.h"

MyImageProvider::MyImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QImage MyImageProvider::requestImage(const QString &, QSize *size, const QSize &requestedSize)
{
    const QSize out = requestedSize.isValid() ? requestedSize : QSize(1, 1);
    if (size)
        *size = out;
    QImage image(out, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}
