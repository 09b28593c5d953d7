#pragma once
// The pictures the lab's encoders and camera publish: a plain, strongly saturated colour of
// their own, a bar that moves, a band of moving noise (so frames cost real bits), and the
// frame number as a row of black and white blocks a test can read back after the picture was
// encoded, decoded and scaled.
//
// Layout, as fractions of the height: noise band 4%-16%, plain colour 16%-56% (sample
// there: nothing ever moves through it), moving bar 60%-74%, frame number 80%-95%. The
// frame number row has 16 slots of 1/16 of the width: slot 1 is always white, slot 14
// always black, slots 2-13 the 12 bits of the frame number (most significant first, white
// is 1); slots 0 and 15 are the plain colour.
#include <QColor>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>

namespace lab {

constexpr int kFrameNumberBits = 12;

// The colour of the signal on `host`: 15 hues 24 degrees apart, so any 15 consecutive hosts
// (the default encoders .30-.44) tell apart; full saturation, value 0.9.
QColor signalColour(int host);

// The host among `hosts` whose colour is nearest in hue to `colour`; -1 when the colour is
// too grey to say (saturation or value below a third) or `hosts` is empty.
int nearestSignal(const QColor &colour, const QList<int> &hosts);

// The band that always shows the plain colour, in a picture of `size`.
QRectF plainBand(const QSizeF &size);

// The mean colour of the plain band of `picture` (a whole signal's picture).
QColor plainColour(const QImage &picture);

// Frame `frame` of the signal on `host` at `fps` frames a second; motion follows the time
// (frame / fps), so streams of different rates show the same scene at the same moment.
QImage testPattern(int host, const QSize &size, int frame, int fps);

// A 3x3 picture of the signals in `cells` (row by row; 0 or less is an empty, black cell),
// each cell that signal's pattern at `frame`; the frame number row of the whole picture is
// not drawn, each cell carries its own.
QImage mosaicPattern(const QList<int> &cells, const QSize &size, int frame, int fps);

// The frame number drawn in `picture` (a whole signal's picture), or -1 when the row of
// blocks is not there (markers missing or blocks neither clearly black nor clearly white).
int readFrameNumber(const QImage &picture);

} // namespace lab
