#include "video/nalscan.h"

#include <cstring>

namespace kora::video {
namespace {

// Bits of a NAL payload with the emulation prevention bytes (00 00 03) taken out. Reading
// past the end fails the reader instead of inventing bits.
class BitReader
{
public:
    BitReader(const uchar *data, int size)
    {
        int zeros = 0;
        for (int i = 0; i < size && m_size < kMax; ++i) {
            if (zeros >= 2 && data[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = data[i] == 0 ? zeros + 1 : 0;
            m_bytes[m_size++] = data[i];
        }
    }
    bool ok() const { return m_ok; }
    quint32 bits(int n)
    {
        quint32 v = 0;
        for (int i = 0; i < n; ++i) {
            if (m_pos >= m_size * 8) {
                m_ok = false;
                return 0;
            }
            v = (v << 1) | ((m_bytes[m_pos >> 3] >> (7 - (m_pos & 7))) & 1);
            ++m_pos;
        }
        return v;
    }
    void skip(int n)
    {
        if (m_pos + qint64(n) > qint64(m_size) * 8)
            m_ok = false;
        else
            m_pos += n;
    }
    quint32 ue()
    {
        int zeros = 0;
        while (bits(1) == 0) {
            if (!m_ok || ++zeros > 31) {
                m_ok = false;
                return 0;
            }
        }
        return zeros == 0 ? 0 : ((1u << zeros) - 1) + bits(zeros);
    }
    qint32 se()
    {
        const quint32 v = ue();
        return (v & 1) ? qint32((v + 1) / 2) : -qint32(v / 2);
    }
    bool atEnd() const { return m_pos >= m_size * 8; }
    int bytePos() const { return (m_pos + 7) / 8; }
    int size() const { return m_size; }
    // The bytes left hold more than the stop bit and its padding.
    bool moreData() const
    {
        const int byte = bytePos();
        return byte < m_size && !(byte == m_size - 1 && m_bytes[byte] == 0x80);
    }

private:
    static constexpr int kMax = 1024; // enough for any SPS up to its picture size
    uchar m_bytes[kMax];
    int m_size = 0;
    int m_pos = 0;
    bool m_ok = true;
};

bool highProfile(quint32 profile)
{
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135:
        return true;
    default:
        return false;
    }
}

QSize h264SpsSize(BitReader &r)
{
    const quint32 profile = r.bits(8);
    r.skip(16); // constraint flags, level
    r.ue();     // seq_parameter_set_id
    if (highProfile(profile)) {
        const quint32 chroma = r.ue();
        if (chroma == 3)
            r.skip(1);
        r.ue(); // bit depths
        r.ue();
        r.skip(1);
        if (r.bits(1)) { // scaling matrices
            const int lists = chroma == 3 ? 12 : 8;
            for (int i = 0; i < lists && r.ok(); ++i) {
                if (!r.bits(1))
                    continue;
                int last = 8, next = 8;
                for (int j = 0; j < (i < 6 ? 16 : 64) && r.ok(); ++j) {
                    if (next != 0) // the value does not matter, only the bits read; no overflow on garbage
                        next = int((last + qint64(r.se()) + 256) & 0xFF);
                    last = next == 0 ? last : next;
                }
            }
        }
    }
    r.ue(); // log2_max_frame_num_minus4
    const quint32 pocType = r.ue();
    if (pocType == 0) {
        r.ue();
    } else if (pocType == 1) {
        r.skip(1);
        r.se();
        r.se();
        const quint32 cycle = r.ue();
        if (cycle > 255)
            return {};
        for (quint32 i = 0; i < cycle && r.ok(); ++i)
            r.se();
    }
    r.ue(); // max_num_ref_frames
    r.skip(1);
    const quint32 widthMbs = r.ue() + 1;
    const quint32 heightUnits = r.ue() + 1;
    const quint32 frameMbsOnly = r.bits(1);
    if (!r.ok() || widthMbs > 0xFFFF || heightUnits > 0xFFFF)
        return {};
    return QSize(int(widthMbs * 16), int(heightUnits * 16 * (2 - frameMbsOnly)));
}

void skipProfileTierLevel(BitReader &r, int subLayers)
{
    r.skip(88 + 8); // general profile space ... general_level_idc
    bool profile[8] = {}, level[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profile[i] = r.bits(1);
        level[i] = r.bits(1);
    }
    if (subLayers > 0)
        r.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i)
        r.skip((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
}

QSize hevcSpsSize(BitReader &r)
{
    r.skip(4); // sps_video_parameter_set_id
    const int subLayers = int(r.bits(3));
    r.skip(1);
    if (subLayers > 6)
        return {};
    skipProfileTierLevel(r, subLayers);
    r.ue(); // sps_seq_parameter_set_id
    if (r.ue() == 3)
        r.skip(1);
    const quint32 width = r.ue();
    const quint32 height = r.ue();
    if (!r.ok() || width == 0 || height == 0 || width > 0xFFFFF || height > 0xFFFFF)
        return {};
    return QSize(int(width), int(height));
}

// recovery_frame_cnt (H.264) or recovery_poc_cnt (H.265) of an SEI NAL's recovery point; -1: none.
int recoveryPoint(const uchar *payload, int size, bool hevc)
{
    BitReader r(payload, size);
    while (r.ok() && r.moreData()) {
        int type = 0, length = 0, byte = 0;
        while ((byte = int(r.bits(8))) == 0xFF && r.ok())
            type += 0xFF;
        type += byte;
        while ((byte = int(r.bits(8))) == 0xFF && r.ok())
            length += 0xFF;
        length += byte;
        if (!r.ok())
            return -1;
        if (type == 6) {
            // Beyond what a frame or POC count can say (16 bits), the SEI is garbage, not "clean now".
            const qint64 frames = hevc ? qint64(r.se()) : qint64(r.ue());
            return r.ok() && qAbs(frames) <= 0xFFFF ? int(qMax<qint64>(0, frames)) : -1;
        }
        r.skip(8 * length);
    }
    return -1;
}

bool isVcl(int type, bool hevc) { return hevc ? type < 32 : (type >= 1 && type <= 5); }

} // namespace

QSize spsPictureSize(const uchar *nal, int size, bool hevc)
{
    const int header = hevc ? 2 : 1;
    if (size <= header || (hevc ? ((nal[0] >> 1) & 0x3F) != 33 : (nal[0] & 0x1F) != 7))
        return {};
    BitReader r(nal + header, size - header);
    const QSize s = hevc ? hevcSpsSize(r) : h264SpsSize(r);
    return r.ok() ? s : QSize();
}

AccessUnitInfo scanAccessUnit(const uchar *p, int n, bool hevc)
{
    // Only the NALs before the first slice are read: parameter sets and SEI come first, and
    // the first slice's type tells a keyframe.
    AccessUnitInfo info;
    const int header = hevc ? 2 : 1;
    int nal = -1; // first byte of the NAL under way
    auto finish = [&](int end, int nextStart) {
        while (end > nal && p[end - 1] == 0) // zeros before a start code belong to it
            --end;
        if (end - nal < header + 1)
            return;
        const int type = hevc ? (p[nal] >> 1) & 0x3F : p[nal] & 0x1F;
        const bool sps = hevc ? type == 33 : type == 7;
        const bool ps = sps || (hevc ? (type == 32 || type == 34) : type == 8);
        if (sps && !info.announced.isValid())
            info.announced = spsPictureSize(p + nal, end - nal, hevc);
        if ((hevc ? type == 39 : type == 6) && info.recoveryFrames < 0)
            info.recoveryFrames = recoveryPoint(p + nal + header, end - nal - header, hevc);
        info.parameterSets = info.parameterSets || ps;
        info.parameterSetBytes = nextStart;
    };
    for (int i = 0; i + 2 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        int start = i;
        while (start > nal && start > 0 && p[start - 1] == 0)
            --start;
        if (nal >= 0)
            finish(i, start);
        nal = i + 3;
        if (nal + header < n) {
            const int type = hevc ? (p[nal] >> 1) & 0x3F : p[nal] & 0x1F;
            if (isVcl(type, hevc)) {
                info.slices = true;
                info.keyframe = hevc ? (type >= 16 && type <= 23) : type == 5;
                info.parameterSetBytes = start;
                return info;
            }
        }
        i += 2;
    }
    if (nal >= 0 && nal < n)
        finish(n, n);
    return info;
}

} // namespace kora::video
