#include "media/pattern.h"

#include <QPainter>
#include <cmath>

namespace lab {
namespace {
constexpr double kNoiseTop = 0.04, kNoiseBottom = 0.16;
constexpr double kPlainTop = 0.16, kPlainBottom = 0.56;
constexpr double kBarTop = 0.60, kBarBottom = 0.74;
constexpr double kBlocksTop = 0.80, kBlocksBottom = 0.95;
constexpr int kSlots = 16;

int scaled(int length, double fraction)
{
    return int(std::lround(length * fraction));
}

QRect slotRect(const QSize &size, int slot)
{
    const int x0 = size.width() * slot / kSlots;
    const int x1 = size.width() * (slot + 1) / kSlots;
    const int y0 = scaled(size.height(), kBlocksTop);
    const int y1 = scaled(size.height(), kBlocksBottom);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

quint32 mix(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Coarse cells of seeded noise sliding sideways with the time.
void drawNoise(QImage &image, int host, double seconds)
{
    const int top = scaled(image.height(), kNoiseTop);
    const int bottom = scaled(image.height(), kNoiseBottom);
    const int cell = qMax(2, image.width() / 240);
    const int shift = int(seconds * image.width() / 8.0);
    for (int y = top; y < bottom; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const quint32 row = quint32((y - top) / cell);
        for (int x = 0; x < image.width(); ++x) {
            const quint32 column = quint32((x + shift) / cell);
            const quint32 v = mix(row * 0x9e3779b1U ^ column * 0x85ebca77U ^ quint32(host) * 0xc2b2ae3dU);
            line[x] = qRgb(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
        }
    }
}

double meanGrey(const QImage &image, const QRect &rect)
{
    // The middle half of a block: its edges blur after scaling and compression.
    const QRect inner = rect.adjusted(rect.width() / 4, rect.height() / 4, -rect.width() / 4, -rect.height() / 4)
                            .intersected(image.rect());
    if (inner.isEmpty())
        return -1;
    double sum = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x)
            sum += qGray(image.pixel(x, y));
    }
    return sum / (double(inner.width()) * inner.height());
}
} // namespace

QColor signalColour(int host)
{
    const int hue = (((host % 15) + 15) % 15) * 24;
    return QColor::fromHsvF(hue / 360.0, 1.0, 0.9);
}

int nearestSignal(const QColor &colour, const QList<int> &hosts)
{
    if (colour.hsvSaturationF() < 0.33 || colour.valueF() < 0.33)
        return -1;
    const double hue = colour.hsvHueF() * 360.0;
    int best = -1;
    double bestDistance = 361;
    for (int host : hosts) {
        double d = std::fabs(signalColour(host).hsvHueF() * 360.0 - hue);
        d = qMin(d, 360.0 - d);
        if (d < bestDistance) {
            bestDistance = d;
            best = host;
        }
    }
    return best;
}

QRectF plainBand(const QSizeF &size)
{
    return QRectF(0, size.height() * kPlainTop, size.width(), size.height() * (kPlainBottom - kPlainTop));
}

QColor plainColour(const QImage &picture)
{
    if (picture.isNull())
        return QColor();
    const QRectF band = plainBand(picture.size());
    // Keep off the band's edges, where compression smears the neighbours in.
    const QRect inner = band.adjusted(band.width() * 0.05, band.height() * 0.15, -band.width() * 0.05, -band.height() * 0.15)
                            .toAlignedRect()
                            .intersected(picture.rect());
    if (inner.isEmpty())
        return QColor();
    double r = 0, g = 0, b = 0;
    const int step = qMax(1, inner.width() / 64);
    int count = 0;
    for (int y = inner.top(); y <= inner.bottom(); y += step) {
        for (int x = inner.left(); x <= inner.right(); x += step) {
            const QRgb p = picture.pixel(x, y);
            r += qRed(p);
            g += qGreen(p);
            b += qBlue(p);
            ++count;
        }
    }
    return QColor(int(r / count), int(g / count), int(b / count));
}

QImage testPattern(int host, const QSize &size, int frame, int fps)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(signalColour(host));
    const double seconds = fps > 0 ? double(frame) / fps : 0.0;
    drawNoise(image, host, seconds);

    QPainter painter(&image);
    // The bar crosses the picture every two seconds.
    const int barWidth = qMax(2, size.width() / 20);
    const double phase = std::fmod(seconds, 2.0) / 2.0;
    const int barX = int(phase * (size.width() - barWidth));
    const int barTop = scaled(size.height(), kBarTop);
    painter.fillRect(QRect(barX, barTop, barWidth, scaled(size.height(), kBarBottom) - barTop), Qt::white);

    painter.fillRect(slotRect(size, 1), Qt::white);
    painter.fillRect(slotRect(size, kSlots - 2), Qt::black);
    for (int bit = 0; bit < kFrameNumberBits; ++bit) {
        const bool one = (frame >> (kFrameNumberBits - 1 - bit)) & 1;
        painter.fillRect(slotRect(size, 2 + bit), one ? Qt::white : Qt::black);
    }
    return image;
}

QImage mosaicPattern(const QList<int> &cells, const QSize &size, int frame, int fps)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int cell = 0; cell < 9; ++cell) {
        const int host = cells.value(cell, 0);
        if (host <= 0)
            continue;
        const int x0 = size.width() * (cell % 3) / 3, x1 = size.width() * (cell % 3 + 1) / 3;
        const int y0 = size.height() * (cell / 3) / 3, y1 = size.height() * (cell / 3 + 1) / 3;
        painter.drawImage(QPoint(x0, y0), testPattern(host, QSize(x1 - x0, y1 - y0), frame, fps));
    }
    return image;
}

int readFrameNumber(const QImage &picture)
{
    if (picture.width() < kSlots || picture.height() < 8)
        return -1;
    auto bitAt = [&picture](int slot) {
        const double grey = meanGrey(picture, slotRect(picture.size(), slot));
        return grey > 160 ? 1 : grey >= 0 && grey < 96 ? 0 : -1;
    };
    if (bitAt(1) != 1 || bitAt(kSlots - 2) != 0)
        return -1;
    int number = 0;
    for (int bit = 0; bit < kFrameNumberBits; ++bit) {
        const int b = bitAt(2 + bit);
        if (b < 0)
            return -1;
        number = number << 1 | b;
    }
    return number;
}

} // namespace lab
