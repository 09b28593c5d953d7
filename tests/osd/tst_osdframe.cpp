// The subtitle picture and its YUV frame byte for byte: the key colour's values (negative
// intermediate values round down, as an arithmetic shift does), the key tolerance, the plane
// layout with V before U, odd heights, and the rendered picture's size and colours.
#include "osd/osdcommands.h"
#include "osd/osdframe.h"

#include <QFontMetrics>
#include <QImage>
#include "support/testmain.h"

using namespace kora;

namespace {

// An image of the given pixels, row by row.
QImage image(int w, int h, const QList<QRgb> &pixels)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, pixels.value(y * w + x));
    }
    return img;
}

// Y 77 (4d), U 84 (54: (-11220 + 128) >> 8 is -44, not the -43 that dividing would give), V 255 (ff, capped).
const QColor kRed(255, 0, 0);
const QRgb kRedPixel = qRgb(255, 0, 0);
const QRgb kOther = qRgb(12, 34, 56);

} // namespace

class TestOsdFrame : public QObject
{
    Q_OBJECT
private slots:
    // Blue's U is capped; red's values are in the frames below.
    void keyYuv()
    {
        // Blue meets U's clamp; in the two reds V's sum is one short of a step and on one, so
        // its rounding shows either way; the green's negative U and V sums are whole steps.
        for (const auto &[colour, yuv] : QList<QPair<QColor, QList<int>>>{{QColor(0, 0, 255), {29, 255, 107}},
                                                                          {QColor(85, 0, 0), {26, 113, 171}},
                                                                          {QColor(128, 0, 0), {39, 106, 194}},
                                                                          {QColor(0, 64, 0), {38, 109, 101}}}) {
            const osd::Yuv c = osd::keyYuv(colour);
            QCOMPARE((QList<int>{c.y, c.u, c.v}), yuv);
        }
    }

    void frame_data()
    {
        columns<QImage, QByteArray>({"picture", "frame"});
        // Only each block's top-left pixel counts: a key pixel elsewhere in a block does not,
        // and a background pixel in a text block takes the text's values.
        QTest::newRow("4x2: 8 luma bytes, then V and U of two blocks")
            << image(4, 2, {kRedPixel, kOther, kOther, kOther, kOther, kOther, kOther, kRedPixel})
            << QByteArray::fromHex("4d4d00004d4d0000 ff540000");
        QTest::newRow("odd height: the last row has no chroma of its own")
            << image(2, 3, {kOther, kOther, kOther, kOther, kRedPixel, kOther})
            << QByteArray::fromHex("000000004d4d 0000");
        QTest::newRow("odd width: the last column has no chroma pair of its own")
            << image(3, 2, {kRedPixel, kOther, kRedPixel, kOther, kOther, kOther})
            << QByteArray::fromHex("4d4d4d4d4d4d ff5400");
        QTest::newRow("empty image") << QImage() << QByteArray();
    }
    void frame()
    {
        QFETCH(QImage, picture);
        QTEST(osd::frameYUV420(picture, kRed), "frame");
    }

    // Drawn in 12-bit colour, the text is keyed on the font colour as drawn: colours that
    // round by 10 or more (silver, dodger blue) still give text pixels with the key's values.
    void renderedPicture_data()
    {
        QTest::addColumn<QColor>("fontColour");
        QTest::newRow("silver #c0c0c0, drawn #cccccc") << QColor("#c0c0c0");
        QTest::newRow("dodger blue #1e90ff, drawn #1199ff") << QColor("#1e90ff");
    }
    void renderedPicture()
    {
        QFETCH(QColor, fontColour);
        const QFont font(QStringLiteral("DejaVu Sans"), 24);
        const QColor background(Qt::blue);
        const QImage picture = osd::renderSubtitle(font, QStringLiteral("HELLO"), fontColour, background, 60);
        QCOMPARE(QColor(picture.pixel(0, 0)), osd::asDrawn(background));
        QCOMPARE(QColor(picture.pixel(picture.width() - 1, picture.height() - 1)), osd::asDrawn(background));
        // Centred: text in the middle rows, none in the top and bottom ones.
        const QByteArray frame = osd::subtitleFrame(picture, fontColour);
        QCOMPARE(frame.size(), picture.width() * 60 * 3 / 2);
        const char textY = char(osd::keyYuv(fontColour).y);
        const auto lumaRow = [&](int row) { return frame.mid(row * picture.width(), picture.width()); };
        QVERIFY(lumaRow(30).contains(textY));
        QVERIFY(!lumaRow(0).contains(textY));
        QVERIFY(!lumaRow(58).contains(textY));
        const QByteArray chroma = frame.mid(picture.width() * 60);
        QVERIFY(chroma.contains(char(osd::keyYuv(fontColour).v)));
    }
};

KORA_TEST(TestOsdFrame)
#include "tst_osdframe.moc"
