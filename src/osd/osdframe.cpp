#include "osd/osdframe.h"

#include "osd/osdcommands.h"

#include <QPainter>
#include <cstdlib>
#include <limits>

namespace kora::osd {

namespace {

// v >> 8 rounding towards minus infinity, also for negative v (where >> on a signed value is
// the compiler's choice before C++20).
int shiftDown8(int v)
{
    return v >= 0 ? v >> 8 : -((-v + 255) >> 8);
}

quint8 clampByte(int v)
{
    return quint8(qBound(0, v, 255));
}

} // namespace

Yuv keyYuv(const QColor &key)
{
    const int r = key.red();
    const int g = key.green();
    const int b = key.blue();
    return {clampByte(shiftDown8(77 * r + 150 * g + 29 * b + 128)),
            clampByte(shiftDown8(131 * b - 78 * g - 44 * r + 128) + 128),
            clampByte(shiftDown8(131 * r - 110 * g - 21 * b + 128) + 128)};
}

bool isKey(QRgb pixel, const QColor &key)
{
    return std::abs(qRed(pixel) - key.red()) < kKeyTolerance && std::abs(qGreen(pixel) - key.green()) < kKeyTolerance
           && std::abs(qBlue(pixel) - key.blue()) < kKeyTolerance;
}

QColor asDrawn(const QColor &colour, QImage::Format format)
{
    QImage one(1, 1, format);
    one.fill(colour);
    return QColor(one.pixel(0, 0));
}

QByteArray subtitleFrame(const QImage &picture, const QColor &fontColour)
{
    return frameYUV420(picture, fontColour, asDrawn(fontColour, picture.format()));
}

QByteArray frameYUV420(const QImage &image, const QColor &key, const QColor &drawnKey)
{
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0)
        return {};
    // One conversion up front instead of a format dispatch per pixel.
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const Yuv text = keyYuv(key);
    const Yuv none;
    const QColor match = drawnKey.isValid() ? drawnKey : key;
    const qsizetype lumaSize = qsizetype(w) * h;
    const qsizetype frameSize = lumaSize + qsizetype(w) * (h / 2);
    if (frameSize > std::numeric_limits<int>::max() / 2)
        return {}; // far beyond any subtitle, and beyond what one byte array holds
    QByteArray frame(int(frameSize), '\0');
    auto *luma = reinterpret_cast<quint8 *>(frame.data());
    quint8 *chroma = luma + lumaSize;

    for (int by = 0; by < h; by += 2) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(by));
        const bool chromaRow = by + 1 < h; // an odd last row has no chroma of its own
        for (int bx = 0; bx < w; bx += 2) {
            const Yuv &value = isKey(line[bx], match) ? text : none;
            for (int y = by; y < qMin(by + 2, h); ++y) {
                for (int x = bx; x < qMin(bx + 2, w); ++x)
                    luma[qsizetype(y) * w + x] = value.y;
            }
            if (chromaRow && bx + 1 < w) {
                quint8 *pair = chroma + qsizetype(by / 2) * w + bx;
                pair[0] = value.v;
                pair[1] = value.u;
            }
        }
    }
    return frame;
}

QImage renderSubtitle(const QFont &font, const QString &text, const QColor &fontColour, const QColor &background,
                      int height)
{
    const int width = textWidth(font, text);
    if (width <= 0 || height <= 0 || width > kMaxSubtitleWidth || height > kMaxSubtitleHeight)
        return {};
    QImage image(width, height, kSubtitleFormat);
    if (image.isNull())
        return {};
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(fontColour);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    return image;
}

} // namespace kora::osd
