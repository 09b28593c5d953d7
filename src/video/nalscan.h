#pragma once
// What an H.264 or H.265 access unit (Annex-B byte stream) says about where a decoder can
// start: a picture that needs no earlier one (IDR, IRAP), a recovery point (the SEI message
// an intra-refresh encoder sends at the start of each refresh: the picture is whole again
// N frames later), parameter sets, and the picture size the sequence parameter set
// announces. A scan stops at the first slice: it reads the parameter sets and SEI before
// it, so it costs little on a frame of any size.
#include <QSize>
#include <QtGlobal>

namespace kora::video {

struct AccessUnitInfo {
    bool keyframe = false;       // IDR (H.264 type 5) or IRAP (H.265 types 16..23)
    bool slices = false;         // holds picture data at all
    int recoveryFrames = -1;     // a recovery point: clean this many frames on; -1: none
    int parameterSetBytes = 0;   // length of the leading run of parameter-set and SEI NALs
    bool parameterSets = false;  // that run holds an SPS or PPS (H.265: VPS, SPS or PPS)
    QSize announced;             // the SPS's picture size (before cropping); invalid: no SPS read
};

AccessUnitInfo scanAccessUnit(const uchar *data, int size, bool hevc);

// The coded picture size of one SPS NAL (header included, emulation prevention bytes in
// place); invalid when it cannot be read. H.264: every profile, with scaling lists and
// every picture order count type. H.265: after the profile, tier and level of every
// sub-layer.
QSize spsPictureSize(const uchar *nal, int size, bool hevc);

} // namespace kora::video
