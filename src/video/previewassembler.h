#pragma once
// The live preview's wire, without sockets or decoders: stream datagrams put together into
// frames, the keyframe scan that ends the wait after a loss, the registration message and
// the size a picture is converted to.
//
// Stream datagram (UDP payload): byte 2 frame sequence number (wraps 255 -> 0), byte 3 the
// frame's fragment count, byte 8 flags, byte 15 'V', bytes 16.. the next piece of the frame.
// Other bytes are not read.
#include <QByteArray>
#include <QSize>
#include <QString>
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

// Joins the pieces of one frame at a time. A new sequence number starts a new frame and
// drops an unfinished one; the first datagram after start or reset() only takes its
// sequence number. Losses are reported as gaps so the decoder can wait for a keyframe.
class PreviewAssembler
{
public:
    enum class Refused { None, NotStream, TooLong, NoFragments };
    struct Result {
        bool stream = false;    // header read; flags below are valid
        quint8 flags = 0;
        bool gap = false;       // a frame was lost at this datagram
        bool complete = false;  // takeFrame() holds a whole frame now
        Refused refused = Refused::None;
    };

    Result add(const QByteArray &datagram);
    // The frame add() reported complete, and its kind (from that datagram's flags).
    QByteArray takeFrame();
    FrameKind frameKind() const { return m_kind; }
    void reset();

    quint64 frames() const { return m_frames; }
    quint64 gaps() const { return m_gaps; }
    quint64 refused() const { return m_refused; }

private:
    int m_last = -1;            // sequence number of the current frame; -1 at start
    int m_expected = 0;         // its fragment count; 0 ignores its pieces
    int m_received = 0;         // stops at m_expected + 1 (overshot)
    QByteArray m_buffer;        // at most 255 pieces of at most kMaxDatagram bytes
    QByteArray m_complete;
    FrameKind m_kind = FrameKind::H264;
    quint64 m_frames = 0;
    quint64 m_gaps = 0;
    quint64 m_refused = 0;
};

// True when the Annex-B data holds a picture a fresh decoder can start at: H.264 IDR
// (nal type 5), H.265 IRAP (nal types 16..23). Parameter sets may come first. A NAL needs
// its header and at least one byte after it to count.
bool isKeyframe(const QByteArray &annexB, bool hevc);

// The size a decoded picture is converted to: the shown size when that is well below the
// source (under 3/4 in both directions), else the source size. The item stretches the
// picture over its area, so the aspect ratio need not be kept.
QSize previewOutputSize(const QSize &source, const QSize &shown);

} // namespace kora::video
