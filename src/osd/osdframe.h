#pragma once
// The subtitle picture of the image form: the text rendered into a 12-bit RGB picture and
// converted into the frame the decoders overlay. The decoders key on colour: the text pixels
// carry the font colour, everything else is zero and stays see-through.
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

namespace kora::osd {

// A pixel closer than this to the key colour in every channel is text (anti-aliased edges
// of the font colour count too).
constexpr int kKeyTolerance = 10;

struct Yuv {
    quint8 y = 0;
    quint8 u = 0;
    quint8 v = 0;
    bool operator==(const Yuv &o) const { return y == o.y && u == o.u && v == o.v; }
};

// The key colour in the decoders' fixed-point YUV.
Yuv keyYuv(const QColor &key);
bool isKey(QRgb pixel, const QColor &key);

// The format the subtitle is drawn in, 4 bits a channel.
constexpr QImage::Format kSubtitleFormat = QImage::Format_RGB444;
// `colour` as a picture of `format` stores it: #c0c0c0 is drawn as #cccccc in 12-bit colour.
QColor asDrawn(const QColor &colour, QImage::Format format = kSubtitleFormat);

// Semi-planar 4:2:0, V before U: w·h luma bytes, then h/2 rows of w chroma bytes (V, U per
// 2×2 block). Every value of a block comes from its top-left pixel: the key colour's YUV when
// that pixel is text, zero otherwise. With an odd height the last row has no chroma row of
// its own. Text is what lies near `drawnKey`, the key colour as the picture holds it (the key
// itself when not given); the values written are always the key's own.
QByteArray frameYUV420(const QImage &image, const QColor &key, const QColor &drawnKey = QColor());
// The frame of a picture renderSubtitle() drew in `fontColour`.
QByteArray subtitleFrame(const QImage &picture, const QColor &fontColour);

// The text centred on the background in the font colour, as wide as the text (raised to an
// even width) and `height` tall, in 12-bit RGB. A null image when either side is empty or
// beyond its bound (osdcommands.h).
QImage renderSubtitle(const QFont &font, const QString &text, const QColor &fontColour, const QColor &background,
                      int height);

} // namespace kora::osd
