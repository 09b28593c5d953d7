#pragma once
// Snapshot pictures as an encoder sends them: JPEG files cut into numbered datagrams.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>

namespace snapshotfixtures {

inline QByteArray jpeg(const QImage &image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

inline QImage solid(const QColor &colour, int width = 640, int height = 360)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A 3 x 3 mosaic whose cell i has colours[i].
inline QImage mosaic(const QList<QColor> &colours, int width = 960, int height = 540)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int i = 0; i < colours.size() && i < 9; ++i)
        painter.fillRect((i % 3) * width / 3, (i / 3) * height / 3, width / 3, height / 3, colours[i]);
    return image;
}

inline QByteArray fragment(int total, int index, const QByteArray &piece)
{
    QByteArray d(8, '\0');
    d[0] = char(total);
    d[4] = char(index);
    return d + piece;
}

// Close enough after JPEG: each channel within `tolerance`.
inline bool near(const QColor &a, const QColor &b, int tolerance = 24)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace snapshotfixtures
