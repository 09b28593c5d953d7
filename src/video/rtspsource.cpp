#include "video/rtspsource.h"

#include "log/categories.h"
#include "log/throttle.h"
#include "log/trace.h"
#include "video/previewassembler.h"

#include <QMutex>

#include <sys/mman.h>

#include <cstdio>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <libyuv.h>

namespace kora::video {

void AvDeleter::operator()(AVBufferRef *p) const { av_buffer_unref(&p); }
void AvDeleter::operator()(AVCodecContext *p) const { avcodec_free_context(&p); }
void AvDeleter::operator()(AVCodecParserContext *p) const { av_parser_close(p); }
void AvDeleter::operator()(AVFormatContext *p) const { avformat_close_input(&p); }
void AvDeleter::operator()(AVFrame *p) const { av_frame_free(&p); }
void AvDeleter::operator()(AVPacket *p) const { av_packet_free(&p); }
void AvDeleter::operator()(SwsContext *p) const { sws_freeContext(p); }

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

namespace {

void ffmpegLog(void *avcl, int level, const char *format, va_list args)
{
    if (level > AV_LOG_WARNING)
        return;
    static QMutex mutex;
    static kora::LogThrottle throttle(2000);
    static int printPrefix = 1;
    char line[512];
    int skipped = 0;
    {
        QMutexLocker lock(&mutex);
        va_list copy;
        va_copy(copy, args);
        av_log_format_line2(avcl, level, format, copy, line, sizeof line, &printPrefix);
        va_end(copy);
        // One kind per level: a broken stream repeats the same complaint for every packet.
        if (!throttle.allow(level <= AV_LOG_ERROR ? QStringLiteral("error") : QStringLiteral("warning"), &skipped))
            return;
    }
    QByteArray text(line);
    while (text.endsWith('\n'))
        text.chop(1);
    if (text.isEmpty())
        return;
    qCWarning(lcVideo) << "ffmpeg:" << text.constData() << kora::LogThrottle::heldBack(skipped).constData();
}

AVPixelFormat withoutJpegRange(AVPixelFormat format, bool *fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: *fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: *fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: *fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: *fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: *fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
    }
}

int interruptCallback(void *opaque)
{
    const auto *keepGoing = static_cast<const std::function<bool()> *>(opaque);
    return (*keepGoing)() ? 0 : 1;
}

QSize fitWithin(const QSize &source, const QSize &maxSize)
{
    if (!maxSize.isValid() || maxSize.isEmpty()
        || (source.width() <= maxSize.width() && source.height() <= maxSize.height()))
        return source;
    return source.scaled(maxSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

} // namespace

AvPtr<AVCodecContext> openVideoDecoder(int codecId, const AVCodecParameters *parameters)
{
    const AVCodec *codec = avcodec_find_decoder(AVCodecID(codecId));
    if (!codec) {
        KWARN(lcVideo) << "Unsupported codec" << avcodec_get_name(AVCodecID(codecId));
        return {};
    }
    AvPtr<AVCodecContext> decoder(avcodec_alloc_context3(codec));
    if (!decoder || (parameters && avcodec_parameters_to_context(decoder.get(), parameters) < 0)) {
        KWARN(lcVideo) << "could not set up the decoder";
        return {};
    }
    decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    decoder->flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    decoder->thread_count = 1; // frame threads would hold pictures back
    decoder->max_pixels = kMaxPicturePixels;
    if (const int r = avcodec_open2(decoder.get(), codec, nullptr); r < 0) {
        KWARN(lcVideo) << "could not open the decoder:" << qUtf8Printable(avError(r));
        return {};
    }
    return decoder;
}

void routeFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(ffmpegLog); });
}

FrameConverter::FrameConverter() = default;
FrameConverter::~FrameConverter() = default;

void FrameConverter::reset()
{
    m_sws.reset();
    m_source = QSize();
    m_format = -1;
    m_out = QSize();
    m_buffers[0] = QImage();
    m_buffers[1] = QImage();
    m_bandTarget = nullptr;
}

namespace {
// A picture in pages of its own: a buffer taken while both of a converter's were still held
// (the screen fell behind) goes back to the system once its last holder lets go. From the
// heap it would stay resident for good, a picture more after every such stall.
QImage pagedImage(const QSize &size)
{
    if (size.isEmpty())
        return QImage();
    constexpr size_t kHeader = 64; // the mapping's length, before the pixels (which stay aligned)
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const size_t bytes = kHeader + size_t(bytesPerLine) * size_t(size.height());
    void *mapping = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return QImage();
    *static_cast<size_t *>(mapping) = bytes;
    const auto unmap = [](void *m) { ::munmap(m, *static_cast<size_t *>(m)); };
    QImage image(static_cast<uchar *>(mapping) + kHeader, size.width(), size.height(), bytesPerLine,
                 QImage::Format_RGB32, unmap, mapping);
    if (image.isNull()) // not taken: the image calls unmap only once it holds the pages
        ::munmap(mapping, bytes);
    return image;
}
} // namespace

QImage *FrameConverter::outputBuffer(const QSize &outSize)
{
    for (QImage &b : m_buffers) {
        if (b.size() == outSize && b.isDetached())
            return &b;
    }
    // Both still shown or queued: a fresh buffer.
    QImage *target = &m_buffers[m_next];
    m_next ^= 1;
    *target = pagedImage(outSize);
    return target->isNull() ? nullptr : target;
}

namespace {
const libyuv::YuvConstants *yuvMatrix(const AVFrame *frame)
{
    if (frame->format == AV_PIX_FMT_YUVJ420P || frame->color_range == AVCOL_RANGE_JPEG)
        return &libyuv::kYuvJPEGConstants;
    return frame->colorspace == AVCOL_SPC_BT709 ? &libyuv::kYuvH709Constants : &libyuv::kYuvI601Constants;
}
} // namespace

QSize croppedSize(const AVFrame *frame)
{
    return QSize(frame->width - int(frame->crop_right), frame->height - int(frame->crop_bottom));
}

void FrameConverter::convertBand(const AVFrame *frame, int y, int height, const QSize &outSize)
{
    const QSize source = croppedSize(frame);
    const QSize halved = source / 2;
    const bool same = outSize == source;
    // Below half, the bands take the first halving of convertI420's steps; convert() does the rest.
    const bool smaller = outSize != halved && outSize.width() <= halved.width() && outSize.height() <= halved.height();
    if (y == 0) {
        const bool planar = frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P;
        // A crop on the left or at the top would move the planes of the picture output.
        const bool fits = frame->crop_left == 0 && frame->crop_top == 0 && frame->crop_right < 16 && frame->crop_bottom < 16
            && source.width() > 1 && source.height() > 1 && source.width() <= kMaxPictureSide
            && source.height() <= kMaxPictureSide && !(source.width() & 1) && !(source.height() & 1);
        m_bandTarget = planar && fits && (same || outSize == halved || smaller) ? outputBuffer(outSize) : nullptr;
        m_bandData = frame->data[0];
        m_bandMatrix = yuvMatrix(frame);
        m_bandRows = 0;
        m_bandHalvesOnly = smaller;
        if (m_bandTarget && !same)
            m_planes[0].resize(halved.width() * halved.height());
    }
    // Rows come in order; a gap, an odd start or another picture ends it.
    if (!m_bandTarget || frame->data[0] != m_bandData || y > m_bandRows || (y & 1) || height <= 0
        || y + height > source.height() || m_bandTarget->size() != outSize) {
        m_bandTarget = nullptr;
        return;
    }
    const int os = int(m_bandTarget->bytesPerLine());
    const uint8_t *py = frame->data[0] + qptrdiff(y) * frame->linesize[0];
    const uint8_t *pu = frame->data[1] + qptrdiff(y / 2) * frame->linesize[1];
    const uint8_t *pv = frame->data[2] + qptrdiff(y / 2) * frame->linesize[2];
    if (same) {
        libyuv::I420ToARGBMatrix(py, frame->linesize[0], pu, frame->linesize[1], pv, frame->linesize[2],
                                 m_bandTarget->scanLine(y), os, m_bandMatrix, source.width(), height);
    } else {
        // The luma halved into scratch buffer 0; the chroma rows of these rows are already at
        // the halved size.
        const int rows = qMin((y + height) / 2, halved.height()) - y / 2;
        if (rows > 0) {
            auto *half = reinterpret_cast<uint8_t *>(m_planes[0].data()) + qptrdiff(y / 2) * halved.width();
            libyuv::ScalePlane(py, frame->linesize[0], source.width(), rows * 2, half, halved.width(), halved.width(),
                               rows, libyuv::kFilterBox);
            if (!m_bandHalvesOnly)
                libyuv::I444ToARGBMatrix(half, halved.width(), pu, frame->linesize[1], pv, frame->linesize[2],
                                         m_bandTarget->scanLine(y / 2), os, m_bandMatrix, halved.width(), rows);
        }
    }
    m_bandRows = qMax(m_bandRows, y + height);
}

bool FrameConverter::convertI420(const AVFrame *frame, QImage &target, bool halvedInBands)
{
    struct Planes {
        const uint8_t *y, *u, *v;
        int ys, us, vs, w, h;
        bool subsampled; // 4:2:0, else 4:4:4
    } cur{frame->data[0], frame->data[1], frame->data[2], frame->linesize[0], frame->linesize[1], frame->linesize[2],
          frame->width, frame->height, true};
    int n = 0;
    if (halvedInBands) {
        // The first halving below, already done into scratch buffer 0.
        const int hw = frame->width / 2, hh = frame->height / 2;
        cur = {reinterpret_cast<const uint8_t *>(m_planes[0].constData()), cur.u, cur.v, hw, cur.us, cur.vs, hw, hh, false};
        n = 1;
    }
    const int w = target.width(), h = target.height();
    // Scales cur to (tw, th) into scratch buffer `n`; chromaToo false halves the luma alone,
    // which turns 4:2:0 into 4:4:4 of half the size.
    auto scale = [&](int tw, int th, int n, libyuv::FilterMode filter, bool chromaToo = true) {
        const bool subsampled = cur.subsampled && chromaToo;
        const int cw = subsampled ? (tw + 1) / 2 : tw, ch = subsampled ? (th + 1) / 2 : th;
        QByteArray &b = m_planes[n];
        b.resize(tw * th + (chromaToo ? 2 * cw * ch : 0));
        auto *py = reinterpret_cast<uint8_t *>(b.data());
        uint8_t *pu = py + tw * th, *pv = pu + cw * ch;
        if (!chromaToo) {
            libyuv::ScalePlane(cur.y, cur.ys, cur.w, cur.h, py, tw, tw, th, filter);
            cur = {py, cur.u, cur.v, tw, cur.us, cur.vs, tw, th, false};
            return true;
        }
        const int rc = cur.subsampled
            ? libyuv::I420Scale(cur.y, cur.ys, cur.u, cur.us, cur.v, cur.vs, cur.w, cur.h, py, tw, pu, cw, pv, cw, tw, th, filter)
            : libyuv::I444Scale(cur.y, cur.ys, cur.u, cur.us, cur.v, cur.vs, cur.w, cur.h, py, tw, pu, cw, pv, cw, tw, th, filter);
        if (rc != 0)
            return false;
        cur = {py, pu, pv, tw, cw, cw, tw, th, subsampled};
        return true;
    };
    // Halving is libyuv's fast path; the first halving leaves the chroma planes as they are,
    // already at the halved size. The last step to the shown size is a bilinear one over a
    // picture at most twice its size.
    while (cur.w / 2 >= w && cur.h / 2 >= h) {
        if (!scale(cur.w / 2, cur.h / 2, n, libyuv::kFilterBox, !cur.subsampled))
            return false;
        n ^= 1;
    }
    if ((cur.w != w || cur.h != h) && !scale(w, h, n, libyuv::kFilterBilinear))
        return false;
    uint8_t *out = target.bits();
    const int os = int(target.bytesPerLine());
    const libyuv::YuvConstants *matrix = yuvMatrix(frame);
    const int rc = cur.subsampled ? libyuv::I420ToARGBMatrix(cur.y, cur.ys, cur.u, cur.us, cur.v, cur.vs, out, os, matrix, w, h)
                                  : libyuv::I444ToARGBMatrix(cur.y, cur.ys, cur.u, cur.us, cur.v, cur.vs, out, os, matrix, w, h);
    return rc == 0;
}

QImage FrameConverter::convert(const AVFrame *frame, const QSize &outSize)
{
    const QSize source(frame->width, frame->height);
    if (source.width() <= 0 || source.height() <= 0 || source.width() > kMaxPictureSide
        || source.height() > kMaxPictureSide || outSize.isEmpty() || outSize.width() > kMaxPictureSide
        || outSize.height() > kMaxPictureSide || frame->format < 0)
        return {};
    if (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) {
        QImage *banded = m_bandTarget;
        m_bandTarget = nullptr;
        if (banded && frame->data[0] == m_bandData && m_bandRows >= source.height() && banded->size() == outSize
            && m_bandMatrix == yuvMatrix(frame)) {
            if (m_bandHalvesOnly && !convertI420(frame, *banded, true))
                return {};
            ++m_banded;
            return *banded;
        }
        QImage *target = outputBuffer(outSize);
        if (!target || !convertI420(frame, *target))
            return {};
        return *target;
    }
    if (source != m_source || frame->format != m_format || outSize != m_out) {
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        const AVPixelFormat format = withoutJpegRange(AVPixelFormat(frame->format), &fullRange);
        m_sws.reset(sws_getContext(source.width(), source.height(), format, outSize.width(), outSize.height(),
                                   AV_PIX_FMT_RGB32, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
        if (m_sws && fullRange) {
            const int *coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(m_sws.get(), coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
        }
        // Remembered even when it failed, so a bad format is not retried for every frame.
        m_source = source;
        m_format = frame->format;
        m_out = outSize;
        ++m_rebuilds;
    }
    if (!m_sws)
        return {};
    QImage *target = outputBuffer(outSize);
    if (!target)
        return {};
    uint8_t *planes[4] = {target->bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(target->bytesPerLine()), 0, 0, 0};
    sws_scale(m_sws.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return *target;
}

RtspPassResult runRtspPass(const QString &url, const std::function<bool()> &keepGoing,
                           const std::function<void(const QImage &)> &onFrame, QSize maxSize)
{
    routeFfmpegLog();
    AVFormatContext *opening = avformat_alloc_context();
    if (!opening)
        return RtspPassResult::OpenFailed;
    opening->interrupt_callback.callback = interruptCallback;
    opening->interrupt_callback.opaque = const_cast<std::function<bool()> *>(&keepGoing);
    AVDictionary *options = nullptr;
    av_dict_set(&options, "buffer_size", "1024000", 0);
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "stimeout", "2000000", 0);
    av_dict_set(&options, "timeout", "2000000", 0); // the name FFmpeg 5 gives the socket timeout
    av_dict_set(&options, "max_delay", "500000", 0);
    av_dict_set(&options, "probesize", "5000000", 0);
    av_dict_set(&options, "analyzeduration", "10000000", 0);
    const int opened = avformat_open_input(&opening, url.toUtf8().constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) { // the context is freed by avformat_open_input
        if (!keepGoing())
            return RtspPassResult::Stopped;
        KWARN(lcVideo) << "get rtsp failed" << qUtf8Printable(url) << "Error:" << qUtf8Printable(avError(opened));
        return RtspPassResult::OpenFailed;
    }
    AvPtr<AVFormatContext> format(opening);

    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        if (!keepGoing())
            return RtspPassResult::Stopped;
        KWARN(lcVideo) << "could not find stream information";
        return RtspPassResult::NoStreamInfo;
    }
    int index = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            index = int(i);
            break;
        }
    }
    if (index < 0) {
        KWARN(lcVideo) << "could not find video stream";
        return RtspPassResult::NoVideoStream;
    }
    const AVCodecParameters *parameters = format->streams[index]->codecpar;
    if (!avcodec_find_decoder(parameters->codec_id)) {
        KWARN(lcVideo) << "Unsupported codec";
        return RtspPassResult::UnsupportedCodec;
    }
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > kMaxPictureSide
        || parameters->height > kMaxPictureSide || qint64(parameters->width) * parameters->height > kMaxPicturePixels) {
        KWARN(lcVideo) << "bad picture size" << parameters->width << "x" << parameters->height;
        return RtspPassResult::BadDimensions;
    }
    AvPtr<AVCodecContext> decoder = openVideoDecoder(parameters->codec_id, parameters);
    if (!decoder)
        return RtspPassResult::CodecFailed;
    AvPtr<AVPacket> packet(av_packet_alloc());
    AvPtr<AVFrame> frame(av_frame_alloc());
    if (!packet || !frame)
        return RtspPassResult::CodecFailed;

    FrameConverter converter;
    // H.264 pictures are converted row by row as the decoder finishes them, at the size
    // takeFrames asks for, so that convert() only hands them over.
    struct Bands {
        FrameConverter *converter;
        QSize maxSize;
    } bands{&converter, maxSize};
    if (parameters->codec_id == AV_CODEC_ID_H264) {
        decoder->opaque = &bands;
        decoder->draw_horiz_band = [](AVCodecContext *c, const AVFrame *f, int *, int y, int, int height) {
            const auto *b = static_cast<const Bands *>(c->opaque);
            b->converter->convertBand(f, y, height, fitWithin(croppedSize(f), b->maxSize));
        };
    }
    kora::LogThrottle throttle;
    auto takeFrames = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            const QImage image = converter.convert(frame.get(), fitWithin(QSize(frame->width, frame->height), maxSize));
            av_frame_unref(frame.get());
            if (!image.isNull())
                onFrame(image);
            else if (throttle.allow(QStringLiteral("picture")))
                KWARN(lcVideo) << "picture not converted" << qUtf8Printable(url);
        }
    };
    while (keepGoing()) {
        const int read = av_read_frame(format.get(), packet.get());
        if (read < 0) {
            if (!keepGoing())
                return RtspPassResult::Stopped;
            // What the decoder still holds comes out before the pass ends.
            avcodec_send_packet(decoder.get(), nullptr);
            takeFrames();
            KWARN(lcVideo) << "Failed to read frame, reconnecting..." << qUtf8Printable(url);
            return RtspPassResult::ReadFailed;
        }
        if (packet->stream_index == index) {
            converter.dropBands();
            const int sent = avcodec_send_packet(decoder.get(), packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN) && throttle.allow(QStringLiteral("decode")))
                KWARN(lcVideo) << "decoding failed:" << qUtf8Printable(avError(sent));
            takeFrames();
        }
        av_packet_unref(packet.get());
    }
    return RtspPassResult::Stopped;
}

} // namespace kora::video
