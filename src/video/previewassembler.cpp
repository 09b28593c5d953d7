#include "video/previewassembler.h"

#include <cstring>
#include <utility>

namespace kora::video {
namespace {
constexpr int kStrayRunLimit = 64; // strays in a row after which the stream is taken to have moved

quint32 sampleOf(const char *p, int size)
{
    // First and last bytes: a copy has them too, other pieces rarely all of them.
    quint32 s = quint32(size);
    for (int i = 0; i < qMin(size, 4); ++i)
        s = s * 31 + quint8(p[i]) + (quint32(quint8(p[size - 1 - i])) << 8);
    return s;
}

int ahead(int from, int to) { return (to - from) & 0xFF; }
} // namespace

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

void PreviewAssembler::Slot::start(int seq, int count, quint8 frameFlags)
{
    sequence = seq;
    expected = count;
    flags = frameFlags;
    skipped = false;
    done = false;
    size = 0;
    pieces.clear();
    copies.clear();
}

PreviewAssembler::PreviewAssembler()
{
    for (Slot &s : m_slots)
        s.pieces.reserve(255);
}

PreviewAssembler::Result PreviewAssembler::add(const QByteArray &datagram)
{
    Result r;
    m_out[0] = m_out[1] = nullptr;
    const std::optional<DatagramHeader> h = readHeader(datagram);
    if (!h || datagram.size() > kMaxDatagram) {
        r.refused = h ? Refused::TooLong : Refused::NotStream;
        return r;
    }
    r.stream = true;
    r.flags = h->flags;
    if (h->fragments == 0) {
        r.refused = Refused::NoFragments;
        return r;
    }
    const char *piece = datagram.constData() + kHeaderBytes;
    const int pieceSize = datagram.size() - kHeaderBytes;
    const int s = h->sequence;
    if (!m_started) {
        // The frame under way may have lost its first pieces already.
        m_started = true;
        m_slots[0].start(s, h->fragments, h->flags);
        m_slots[0].skipped = true;
        m_slots[1].start(-1, 0);
        return r;
    }
    if (m_held) {
        Slot &held = m_slots[m_current];
        const int d = ahead(held.sequence, s);
        if (d == 0) {
            r.dropped = Dropped::Copy;
            ++m_copies;
            return r;
        }
        if (d <= kFramesAhead) {
            // A later frame starts: the frames before the held one are really lost.
            m_held = false;
            r.gap = true;
            ++m_gaps;
            handOut(held, r);
        } else {
            const int back = ahead(m_lastOut, s);
            if (back >= 1 && back < ahead(m_lastOut, held.sequence)) {
                // The stream is still before the jump: the frame that looked whole was a stray.
                m_held = false;
                ++m_strays;
                m_slots[m_current ^ 1].start(-1, 0);
                held.start(s, h->fragments, h->flags);
                addTo(held, *h, piece, pieceSize, r);
            } else {
                dropFar(*h, d, r);
            }
            return r;
        }
    }
    accept(*h, piece, pieceSize, r);
    return r;
}

void PreviewAssembler::accept(const DatagramHeader &h, const char *piece, int size, Result &r)
{
    Slot &current = m_slots[m_current];
    Slot &next = m_slots[m_current ^ 1];
    const int s = h.sequence;
    const int d = ahead(current.sequence, s);
    if (d == 0) {
        addTo(current, h, piece, size, r);
    } else if (d > kFramesAhead) {
        dropFar(h, d, r);
    } else if (next.sequence == s) {
        addTo(next, h, piece, size, r);
    } else if (next.sequence < 0) {
        next.start(s, h.fragments, h.flags);
        addTo(next, h, piece, size, r);
    } else {
        // A third frame under way: the oldest one is given up, unless this add() just handed
        // it out (a held frame); then the unfinished newer one is.
        const bool handedOut = m_out[0] == &current || m_out[1] == &current;
        Slot &given = handedOut ? next : current;
        if (!handedOut && d > ahead(current.sequence, next.sequence))
            m_current ^= 1; // the old current's slot comes after the new current
        given.start(s, h.fragments, h.flags);
        addTo(given, h, piece, size, r);
    }
}

void PreviewAssembler::dropFar(const DatagramHeader &h, int d, Result &r)
{
    r.dropped = d >= 128 ? Dropped::Late : Dropped::Stray;
    if (r.dropped == Dropped::Stray)
        ++m_strays;
    // Late copies of the last few frames (a network repeating a whole burst, a large keyframe
    // of 64 pieces and more) say nothing about where the stream went.
    if (d >= 256 - kFramesAhead)
        return;
    if (++m_strayRun < kStrayRunLimit)
        return;
    // The stream itself moved (an encoder restarted its count): follow it from here.
    reset();
    m_started = true;
    m_slots[0].start(h.sequence, h.fragments, h.flags);
    m_slots[0].skipped = true;
    r.gap = true;
    ++m_gaps;
}

void PreviewAssembler::addTo(Slot &slot, const DatagramHeader &h, const char *piece, int size, Result &r)
{
    if (slot.skipped)
        return;
    if (slot.done) {
        r.dropped = Dropped::Copy;
        ++m_copies;
        return;
    }
    if (h.fragments != slot.expected)
        slot.start(slot.sequence, h.fragments, h.flags); // what was joined came from elsewhere
    const quint32 sample = sampleOf(piece, size);
    for (int i = 0; i < slot.pieces.size(); ++i) {
        const Piece &p = slot.pieces[i];
        if (p.size == size && p.sample == sample && std::memcmp(slot.buffer.constData() + p.offset, piece, size_t(size)) == 0) {
            if (slot.copies.size() < slot.expected)
                slot.copies.append({slot.pieces.size(), i});
            r.dropped = Dropped::Copy;
            ++m_copies;
            return;
        }
    }
    m_strayRun = 0;
    if (slot.buffer.size() < slot.size + size + kPacketPadding)
        slot.buffer.resize(qMax(slot.size + size + kPacketPadding, slot.buffer.size() * 2));
    std::memcpy(slot.buffer.data() + slot.size, piece, size_t(size));
    slot.pieces.append({slot.size, size, sample});
    slot.size += size;
    if (slot.pieces.size() < slot.expected)
        return;
    std::memset(slot.buffer.data() + slot.size, 0, kPacketPadding);
    slot.done = true;
    slot.flags = h.flags;
    Slot &other = m_slots[&slot == &m_slots[0] ? 1 : 0];
    // The frames between the last one handed out and this one are lost. When the frame just
    // before this one was seen, the stream really went through them; otherwise this one
    // may be a stray and waits for the stream to confirm it.
    int jump = m_lastOut >= 0 ? ahead(m_lastOut, slot.sequence) : 1;
    const bool seenBefore = other.sequence >= 0 && ahead(other.sequence, slot.sequence) == 1;
    if (&slot != &m_slots[m_current]) {
        // The newer frame is whole first: the older one is given up, its late pieces are
        // late, unless the pieces taken for copies make it whole.
        if (seenBefore && (m_lastOut < 0 || ahead(m_lastOut, other.sequence) == 1) && rebuild(other)) {
            handOut(other, r);
            jump = 1;
        }
        other.sequence = -1; // its bytes may still be handed out by this add()
        m_current ^= 1;
    }
    if (jump != 1 && !seenBefore) {
        m_held = true;
        return;
    }
    if (jump != 1) {
        r.gap = true;
        ++m_gaps;
    }
    handOut(slot, r);
}

bool PreviewAssembler::rebuild(Slot &slot)
{
    if (slot.done || slot.skipped || slot.copies.isEmpty() || slot.pieces.size() + slot.copies.size() != slot.expected)
        return false;
    // A piece of the frame's own came after each of them: a copy after the last one is as
    // likely the network repeating it while the real last piece was lost.
    if (slot.copies.last().first >= slot.pieces.size())
        return false;
    QByteArray whole;
    whole.reserve(slot.size * 2 + kPacketPadding);
    int copy = 0;
    for (int i = 0; i <= slot.pieces.size(); ++i) {
        for (; copy < slot.copies.size() && slot.copies[copy].first == i; ++copy) {
            const Piece &p = slot.pieces[slot.copies[copy].second];
            whole.append(slot.buffer.constData() + p.offset, p.size);
        }
        if (i < slot.pieces.size())
            whole.append(slot.buffer.constData() + slot.pieces[i].offset, slot.pieces[i].size);
    }
    slot.size = whole.size();
    whole.append(kPacketPadding, '\0');
    slot.buffer = whole;
    slot.done = true;
    return true;
}

void PreviewAssembler::handOut(Slot &slot, Result &r)
{
    m_out[r.frames++] = &slot;
    m_lastOut = slot.sequence;
    ++m_frames;
}

const uchar *PreviewAssembler::frameData(int i) const
{
    return m_out[i] ? reinterpret_cast<const uchar *>(m_out[i]->buffer.constData()) : nullptr;
}

int PreviewAssembler::frameSize(int i) const
{
    return m_out[i] ? m_out[i]->size : 0;
}

FrameKind PreviewAssembler::frameKind(int i) const
{
    return m_out[i] ? frameKindOf(m_out[i]->flags) : FrameKind::H264;
}

QByteArray PreviewAssembler::frame(int i) const
{
    return m_out[i] ? QByteArray(m_out[i]->buffer.constData(), m_out[i]->size) : QByteArray();
}

void PreviewAssembler::reset()
{
    m_started = false;
    m_current = 0;
    m_held = false;
    m_strayRun = 0;
    m_lastOut = -1;
    m_out[0] = m_out[1] = nullptr;
    for (Slot &s : m_slots)
        s.start(-1, 0);
}

QSize previewOutputSize(const QSize &source, const QSize &shown)
{
    if (shown.width() <= 0 || shown.height() <= 0)
        return source;
    const bool within = shown.width() <= source.width() && shown.height() <= source.height();
    return within ? shown : source;
}

} // namespace kora::video
