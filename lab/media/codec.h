#pragma once
// Encoding a short loop of pictures with FFmpeg's encoders, once, so a stream replays it at
// no cost; and a small decoder the tests use to look at what the lab sent.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace lab {

enum class Codec { H264, H265, Jpeg };

QString codecName(Codec codec); // "h264", "h265", "jpeg"
bool parseCodec(const QString &name, Codec *codec);

struct LoopFormat {
    Codec codec = Codec::H264;
    QSize size{1920, 1080};
    int fps = 30;
    int frames = 60;      // the loop's length
    int keyInterval = 30; // an IDR every this many frames, the first one too
    // H.264 only: one IDR at the loop's start, then a column of intra blocks refreshes the
    // picture every keyInterval frames, each refresh announced by a recovery point.
    bool intraRefresh = false;

    bool operator==(const LoopFormat &o) const
    {
        return codec == o.codec && size == o.size && fps == o.fps && frames == o.frames && keyInterval == o.keyInterval
            && intraRefresh == o.intraRefresh;
    }
    bool operator!=(const LoopFormat &o) const { return !(*this == o); }
    QString text() const; // "h265 1920x1080 30fps"
};

// One frame per entry: an access unit in Annex-B byte stream (parameter sets before every
// IDR) or a whole JPEG file.
struct EncodedLoop {
    LoopFormat format;
    QVector<QByteArray> frames;
    QVector<bool> keyframes;
    qint64 bytes = 0;
};

// Encodes format.frames pictures made by `picture(frame)` (ultrafast, zero latency, no
// B-frames). Returns null, with the reason in `error`, when the encoder is missing or fails.
// Safe to call from any thread.
std::shared_ptr<const EncodedLoop> encodeLoop(const LoopFormat &format, const std::function<QImage(int)> &picture,
                                              QString *error);

// The parameter sets (and SEI) before an access unit's first slice, in bytes; 0 when it
// starts with a slice. Some encoders send them as a frame of their own.
int parameterSetBytes(const QByteArray &unit, bool hevc);

// A frame whose sequence parameter set announces 16384 x 16384 (H.264), as a hostile or
// broken encoder might send it.
QByteArray hostileFrame();

// Decodes one access unit or JPEG file at a time into pictures, for tests.
class FrameDecoder
{
public:
    explicit FrameDecoder(Codec codec);
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder &) = delete;
    FrameDecoder &operator=(const FrameDecoder &) = delete;

    bool isValid() const { return m_context != nullptr; }
    // The picture of this unit; null when the decoder has none (yet) or the unit is broken.
    QImage decode(const QByteArray &unit);

private:
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwsContext *m_scale = nullptr;
};

} // namespace lab
