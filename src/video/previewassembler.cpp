#include "video/previewassembler.h"

#include <utility>

namespace kora::video {

QByteArray registrationMessage(const QString &group, quint16 port)
{
    return QStringLiteral("udp://%1:%2/v").arg(group).arg(port).toLatin1();
}

std::optional<DatagramHeader> readHeader(const QByteArray &datagram)
{
    if (datagram.size() < kHeaderBytes || datagram.at(15) != kStreamMark)
        return std::nullopt;
    DatagramHeader h;
    h.sequence = quint8(datagram.at(2));
    h.fragments = quint8(datagram.at(3));
    h.flags = quint8(datagram.at(8));
    return h;
}

FrameKind frameKindOf(quint8 flags)
{
    if (flags & kFlagJpeg)
        return FrameKind::Jpeg;
    return (flags & kFlagHevc) ? FrameKind::H265 : FrameKind::H264;
}

PreviewAssembler::Result PreviewAssembler::add(const QByteArray &datagram)
{
    Result r;
    const std::optional<DatagramHeader> h = readHeader(datagram);
    if (!h || datagram.size() > kMaxDatagram) {
        ++m_refused;
        r.refused = h ? Refused::TooLong : Refused::NotStream;
        return r;
    }
    r.stream = true;
    r.flags = h->flags;
    const char *piece = datagram.constData() + kHeaderBytes;
    const int pieceSize = datagram.size() - kHeaderBytes;

    const int s = h->sequence;
    if (m_last < 0)
        m_last = s; // the frame under way at start is skipped: its first pieces are gone
    if (s == m_last) {
        if (m_expected == 0 || m_received > m_expected)
            return r;
        ++m_received;
        if (m_received > m_expected) {
            // More pieces than announced: a duplicate, so what was joined may be wrong.
            m_buffer.clear();
            ++m_gaps;
            r.gap = true;
            return r;
        }
        m_buffer.append(piece, pieceSize);
    } else {
        const bool unfinished = m_expected > 0 && m_received < m_expected;
        const bool jumped = ((s - m_last) & 0xFF) != 1;
        if (unfinished || jumped) {
            ++m_gaps;
            r.gap = true;
        }
        m_last = s;
        m_expected = h->fragments;
        m_received = 1;
        m_buffer.clear();
        if (m_expected == 0) {
            // A frame without pieces is lost as well.
            ++m_refused;
            r.refused = Refused::NoFragments;
            if (!r.gap) {
                ++m_gaps;
                r.gap = true;
            }
            return r;
        }
        m_buffer.append(piece, pieceSize);
    }
    if (m_received == m_expected) {
        m_complete = std::exchange(m_buffer, QByteArray());
        m_kind = frameKindOf(h->flags);
        ++m_frames;
        r.complete = true;
    }
    return r;
}

QByteArray PreviewAssembler::takeFrame()
{
    return std::exchange(m_complete, QByteArray());
}

void PreviewAssembler::reset()
{
    m_last = -1;
    m_expected = 0;
    m_received = 0;
    m_buffer = QByteArray();
    m_complete = QByteArray();
}

bool isKeyframe(const QByteArray &annexB, bool hevc)
{
    const auto *p = reinterpret_cast<const uchar *>(annexB.constData());
    const int n = annexB.size();
    const int headerBytes = hevc ? 2 : 1;
    int nal = -1; // first byte of the NAL under way
    auto counts = [&](int end) {
        // Zero bytes before the next start code belong to it (4-byte form) or are padding.
        while (end > nal && p[end - 1] == 0)
            --end;
        if (end - nal < headerBytes + 1)
            return false;
        const int type = hevc ? (p[nal] >> 1) & 0x3F : p[nal] & 0x1F;
        return hevc ? (type >= 16 && type <= 23) : type == 5;
    };
    for (int i = 0; i + 2 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        if (nal >= 0 && counts(i))
            return true;
        nal = i + 3;
        i += 2;
    }
    return nal >= 0 && nal < n && counts(n);
}

QSize previewOutputSize(const QSize &source, const QSize &shown)
{
    if (shown.width() <= 0 || shown.height() <= 0)
        return source;
    const bool wellBelow = qint64(shown.width()) * 4 < qint64(source.width()) * 3
        && qint64(shown.height()) * 4 < qint64(source.height()) * 3;
    return wellBelow ? shown : source;
}

} // namespace kora::video
