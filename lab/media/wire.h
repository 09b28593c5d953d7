#pragma once
// The encoders' stream datagrams and registrations, byte for byte.
//
// Preview datagram (main and sub streams), offsets from the start of the payload:
//   0-1 zero, 2 frame sequence number (0-255, wraps), 3 fragments of this frame (1-255),
//   4-7 zero, 8 flags (kFlagH265, kFlagJpeg), 9-14 zero, 15 'V', 16.. the next piece of the
//   frame (an Annex-B access unit or a whole JPEG file).
// Snapshot datagram: 0 fragments of the picture, 1-3 zero, 4 index of this fragment (0
//   first), 5-7 zero, 8.. the next piece of the JPEG file.
// Registrations (text, no terminator): "udp://G:P/v" sent to group G port 19997 asks for
//   the preview stream G:P; "udp://A:P/s" sent to the encoder A port 19997 asks for the
//   snapshot stream with port P.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>

namespace lab {

constexpr int kPreviewHeader = 16;
constexpr int kSnapshotHeader = 8;
constexpr int kMaxFragments = 255;
constexpr int kMaxDatagram = 65507;
constexpr quint8 kFlagH265 = 0x02;
constexpr quint8 kFlagJpeg = 0x04;
constexpr quint16 kRegistrationPort = 19997;

struct Registration {
    QHostAddress address; // the group (preview) or the encoder (snapshot)
    quint16 port = 0;
    bool snapshot = false; // "/s"; else "/v"
};

// The registration in `text`, or false when it is not exactly "udp://A.B.C.D:P/v" or ".../s".
bool parseRegistration(const QByteArray &text, Registration *out);
QByteArray composeRegistration(const Registration &registration);

// The payload bytes per fragment for a frame of `frameSize` bytes: `preferred`, or larger
// when the frame would need more than 255 fragments; 0 when even the largest datagram
// cannot carry the frame.
int fragmentPayload(int frameSize, int preferred, int header);

// A frame cut into datagrams (an empty frame is one datagram of only the header); empty
// when the frame is too large to send.
QList<QByteArray> previewDatagrams(const QByteArray &frame, quint8 sequence, quint8 flags, int preferredPayload);
QList<QByteArray> snapshotDatagrams(const QByteArray &picture, int preferredPayload);

// Reassembly, for tests and the fuzzer. A preview fragment carries no index: the pieces of
// one frame are joined in arrival order, and a frame still incomplete when a datagram of
// another frame arrives is dropped (counted). A snapshot fragment carries its index; a
// picture still incomplete when one of another size starts is dropped. Memory stays bounded
// by one frame.
class PreviewAssembler
{
public:
    struct Frame {
        QByteArray data;
        quint8 sequence = 0;
        quint8 flags = 0;
    };
    // Adds one datagram; true with the frame in `out` when it completed a frame.
    bool add(const QByteArray &datagram, Frame *out);
    int malformed() const { return m_malformed; }
    int incomplete() const { return m_incomplete; }

private:
    Frame m_frame;
    int m_count = 0;  // fragments of the frame being joined; 0: none
    int m_pieces = 0; // of them arrived
    int m_malformed = 0;
    int m_incomplete = 0;
};

class SnapshotAssembler
{
public:
    bool add(const QByteArray &datagram, QByteArray *picture);
    int malformed() const { return m_malformed; }
    int incomplete() const { return m_incomplete; }

private:
    int m_count = 0;
    QMap<int, QByteArray> m_pieces; // by index
    int m_malformed = 0;
    int m_incomplete = 0;
};

} // namespace lab
