#pragma once
// One pass over a camera's RTSP stream (or any input libavformat opens), decoding its first
// video stream into QImages; plus the FFmpeg pieces the preview decoder shares with it.
// Everything here runs in the caller's thread.
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

struct AVBufferRef;
struct AVCodecContext;
struct AVCodecParameters;
struct AVCodecParserContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
namespace libyuv {
struct YuvConstants;
}

namespace kora::video {

enum class RtspPassResult { OpenFailed, NoStreamInfo, NoVideoStream, UnsupportedCodec, CodecFailed, BadDimensions, ReadFailed, Stopped };

// Opens url with the options buffer_size 1024000, rtsp_transport tcp, stimeout/timeout
// 2000000, max_delay 500000, probesize 5000000, analyzeduration 10000000 (options that do
// not apply to the input are ignored), finds the first video stream, decodes it and calls
// onFrame with each picture as QImage::Format_RGB32, scaled in the same conversion to fit
// within maxSize (aspect ratio kept) when maxSize is valid and smaller. Returns when
// keepGoing() turns false (checked per packet and by the interrupt callback, so a blocking
// connect or read ends within ~100 ms), when reading fails or when opening fails.
// Frees everything it allocated on every path.
RtspPassResult runRtspPass(const QString &url, const std::function<bool()> &keepGoing,
                           const std::function<void(const QImage &)> &onFrame, QSize maxSize = QSize());
// How long a page, a logout or the exit waits for a pass told to stop. Only a call FFmpeg
// cannot interrupt (a name lookup that hangs) takes longer; its thread is left to end alone.
constexpr int kRtspStopWaitMs = 500;

// unique_ptr deleters for the FFmpeg objects.
struct AvDeleter {
    void operator()(AVBufferRef *p) const;
    void operator()(AVCodecContext *p) const;
    void operator()(AVCodecParserContext *p) const;
    void operator()(AVFormatContext *p) const;
    void operator()(AVFrame *p) const;
    void operator()(AVPacket *p) const;
    void operator()(SwsContext *p) const;
};
template <class T>
using AvPtr = std::unique_ptr<T, AvDeleter>;

// An opened decoder as every live view uses one: one thread and low delay (pictures as soon
// as they are decoded), no picture handed out before a clean start (a keyframe or the end
// of a recovery period; pictures concealed later carry decode_error_flags), and pictures above
// kMaxPicturePixels refused by the decoder before it allocates them. Null, with a log line,
// when the codec is missing or does not open.
AvPtr<AVCodecContext> openVideoDecoder(int codecId, const AVCodecParameters *parameters = nullptr);

// Converts decoded frames to QImage::Format_RGB32 of a given size. 8-bit 4:2:0 pictures (what
// the encoders send) go through libyuv: the planes halved while that stays above the output
// size, one bilinear step to it and one conversion, several times cheaper than swscale's
// scaling converter;
// other formats through one sws_scale call, whose scaler is rebuilt only when the source
// size, pixel format or output size changes. The two output buffers are reused once nobody
// else holds them.
class FrameConverter
{
public:
    FrameConverter();
    ~FrameConverter();
    // Null when the frame's size or format cannot be converted.
    QImage convert(const AVFrame *frame, const QSize &outSize);
    // Converts source rows [y, y + height) of a picture the decoder is still writing (its
    // draw_horiz_band), while they are in the cache: a later convert() of that picture only
    // hands the result over. Outputs of the source size or its exact half; below half, the bands
    // halve the luma and convert() takes the remaining steps from there. Larger outputs, bands
    // that leave a gap, and pictures whose colours changed meanwhile are converted whole.
    void convertBand(const AVFrame *frame, int y, int height, const QSize &outSize);
    // Before each packet goes to the decoder: bands of an earlier picture that was never
    // converted (dropped, damaged) must not pass for rows of the next one in the same buffer.
    void dropBands() { m_bandTarget = nullptr; }
    int rebuilds() const { return m_rebuilds; }
    int bandedPictures() const { return m_banded; } // handed over from bands
    void reset();

private:
    QImage *outputBuffer(const QSize &outSize);
    // halvedInBands: convertBand() did the first halving, into m_planes[0].
    bool convertI420(const AVFrame *frame, QImage &target, bool halvedInBands = false);

    AvPtr<SwsContext> m_sws;
    QByteArray m_planes[2]; // 4:2:0 planes of the scaling steps before a libyuv conversion
    QSize m_source;
    int m_format = -1;
    QSize m_out;
    QImage m_buffers[2];
    int m_next = 0;
    // The picture being converted band by band: its first plane, the matrix, the rows done.
    QImage *m_bandTarget = nullptr;
    const uint8_t *m_bandData = nullptr;
    const libyuv::YuvConstants *m_bandMatrix = nullptr;
    int m_bandRows = 0;
    bool m_bandHalvesOnly = false; // below half: the bands halve, convert() finishes
    int m_banded = 0;
    int m_rebuilds = 0;
};

// The size a picture the decoder is still writing will be output at: the coded picture with
// its crop on the right and at the bottom taken off (1080 of 1088 rows).
QSize croppedSize(const AVFrame *frame);

// FFmpeg's own messages go to the kora.video category (warnings and worse, throttled)
// instead of standard error. Installed once per process.
void routeFfmpegLog();

// av_strerror as a QString.
QString avError(int code);

} // namespace kora::video
