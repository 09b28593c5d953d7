#pragma once
// The live preview's wire, without sockets or decoders: stream datagrams put together into
// frames, the registration message and the size a picture is converted to.
//
// Stream datagram (UDP payload): byte 2 frame sequence number (wraps 255 -> 0), byte 3 the
// frame's fragment count, byte 8 flags, byte 15 'V', bytes 16.. the next piece of the frame.
// Other bytes are not read. A piece carries no index, so a frame's pieces are joined in
// arrival order.
#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <optional>

namespace kora::video {

constexpr int kHeaderBytes = 16;
constexpr char kStreamMark = 'V';        // byte 15
constexpr quint8 kFlagHevc = 0x02;       // stream is H.265, else H.264
constexpr quint8 kFlagJpeg = 0x04;       // this frame is one complete JPEG file
constexpr int kMaxDatagram = 65507;      // the largest UDP payload over IPv4
constexpr quint16 kStreamRegistrationPort = 19997;
constexpr int kStreamRegistrationIntervalMs = 5000;
constexpr int kMaxPictureSide = 8192;    // larger pictures are refused before decoding
constexpr qint64 kMaxPicturePixels = 4096LL * 2304; // a little above 4K: what a preview may cost
constexpr int kPacketPadding = 64;       // zero bytes after a frame, as the decoders read ahead
constexpr int kFramesAhead = 16;         // a sequence number further ahead is a stray datagram

// "udp://224.168.62.50:32249/v": asks the encoder to keep sending to our group.
QByteArray registrationMessage(const QString &group, quint16 port);

struct DatagramHeader {
    quint8 sequence = 0;
    quint8 fragments = 0;
    quint8 flags = 0;
};
// Empty unless the datagram is a stream datagram (16 bytes at least, byte 15 'V').
std::optional<DatagramHeader> readHeader(const QByteArray &datagram);

enum class FrameKind { H264, H265, Jpeg };
FrameKind frameKindOf(quint8 flags);

// Joins the pieces of a frame as the network hands them over, which is not always as the
// encoder sent them:
//  - a copy of a piece (a switch repeating a datagram), early or late, is dropped: it is
//    the same bytes as one already joined, or it belongs to a frame already finished. Should
//    the frame then lack exactly the pieces dropped as copies when the next frame is whole,
//    and a piece of its own came after each, they were its own after all (a picture with
//    large even areas can hold the same bytes twice) and are put back where they arrived;
//  - the next frame may start before the last piece of this one arrives: two frames may be
//    under way at once;
//  - a datagram more than kFramesAhead frames ahead is a stray (another sender, a corrupt
//    header) and dropped, unless the stream itself moved there (after 64 such datagrams in
//    a row it follows them; late copies of the last kFramesAhead frames do not count); a
//    piece that announces another fragment count than its frame restarts that frame;
//  - a frame that cannot be finished is lost: the next frame handed out reports a gap, so
//    the decoder knows its references are gone. A frame that comes after a jump of the
//    sequence is held until the stream confirms it (a later frame starts): a stray that
//    happens to look whole must not be decoded, nor make the real stream look late.
// The first datagram after start or reset() only takes its sequence number: the frame under
// way may have lost its first pieces. Frames are handed out in padded buffers that stay
// valid until the next add().
class PreviewAssembler
{
public:
    enum class Refused { None, NotStream, TooLong, NoFragments };
    enum class Dropped { None, Copy, Late, Stray };
    struct Result {
        bool stream = false;    // header read; flags below are valid
        quint8 flags = 0;
        bool gap = false;       // a frame was lost before the frames handed out now (or the stream restarted)
        int frames = 0;         // frames handed out by this datagram, 0 to 2, oldest first
        Refused refused = Refused::None;
        Dropped dropped = Dropped::None;
        bool complete() const { return frames > 0; }
    };

    PreviewAssembler();
    Result add(const QByteArray &datagram);
    // Frame i (0 <= i < frames) of the last add(), followed by kPacketPadding zero bytes.
    const uchar *frameData(int i = 0) const;
    int frameSize(int i = 0) const;
    FrameKind frameKind(int i = 0) const;
    QByteArray frame(int i = 0) const; // a copy, for tests
    void reset();

    quint64 frames() const { return m_frames; }
    quint64 gaps() const { return m_gaps; }
    quint64 copies() const { return m_copies; }
    quint64 strays() const { return m_strays; }

private:
    struct Piece {
        int offset;
        int size;
        quint32 sample; // a few bytes of the piece, to find a copy before comparing
    };
    struct Slot {
        int sequence = -1;      // -1: free
        int expected = 0;
        quint8 flags = 0;
        bool skipped = false;   // the frame under way at start (or a damaged one): pieces not kept
        bool done = false;      // whole; later pieces of it are copies
        QByteArray buffer;      // the pieces, then padding once done (capacity kept)
        int size = 0;           // bytes of pieces in buffer
        QVector<Piece> pieces;
        // Pieces dropped as copies: where they arrived (pieces before them) and which piece
        // they repeat. A picture with large even areas can hold the same bytes twice.
        QVector<QPair<int, int>> copies;
        void start(int seq, int count, quint8 frameFlags = 0);
    };
    void accept(const DatagramHeader &h, const char *piece, int size, Result &r);
    void addTo(Slot &slot, const DatagramHeader &h, const char *piece, int size, Result &r);
    void handOut(Slot &slot, Result &r);
    bool rebuild(Slot &slot);
    void dropFar(const DatagramHeader &h, int d, Result &r);

    Slot m_slots[2];     // [m_current] the newest frame accepted, the other one after it
    int m_current = 0;
    bool m_started = false;
    bool m_held = false; // the current frame is whole but came after a jump: not handed out yet
    int m_strayRun = 0;  // datagrams in a row that belonged to no frame
    int m_lastOut = -1;  // sequence number of the frame handed out last; -1: none yet
    const Slot *m_out[2] = {nullptr, nullptr};
    quint64 m_frames = 0;
    quint64 m_gaps = 0;
    quint64 m_copies = 0;
    quint64 m_strays = 0;
};

// The size a decoded picture is converted to: the shown size when that is above the source in
// neither direction (scaling in the conversion costs less than drawing a picture scaled),
// else the source size. The item stretches the picture over its area, so the aspect ratio
// need not be kept.
QSize previewOutputSize(const QSize &source, const QSize &shown);

} // namespace kora::video
