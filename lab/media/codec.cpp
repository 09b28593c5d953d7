#include "media/codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <mutex>

namespace lab {
namespace {
// The encoders' statistics and the converter's notes are not news; errors still are.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

QString averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

const char *encoderName(Codec codec)
{
    switch (codec) {
    case Codec::H264: return "libx264";
    case Codec::H265: return "libx265";
    case Codec::Jpeg: return "mjpeg";
    }
    return "";
}

struct EncoderState {
    AVCodecContext *context = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *scale = nullptr;
    ~EncoderState()
    {
        sws_freeContext(scale);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
};

// Moves every packet the encoder has ready into `loop`.
int drain(EncoderState &s, EncodedLoop &loop)
{
    for (;;) {
        const int rc = avcodec_receive_packet(s.context, s.packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            return rc;
        loop.frames.append(QByteArray(reinterpret_cast<const char *>(s.packet->data), s.packet->size));
        loop.keyframes.append((s.packet->flags & AV_PKT_FLAG_KEY) != 0);
        loop.bytes += s.packet->size;
        av_packet_unref(s.packet);
    }
}
} // namespace

QString codecName(Codec codec)
{
    switch (codec) {
    case Codec::H264: return QStringLiteral("h264");
    case Codec::H265: return QStringLiteral("h265");
    case Codec::Jpeg: return QStringLiteral("jpeg");
    }
    return QString();
}

bool parseCodec(const QString &name, Codec *codec)
{
    for (Codec c : {Codec::H264, Codec::H265, Codec::Jpeg}) {
        if (name == codecName(c)) {
            *codec = c;
            return true;
        }
    }
    return false;
}

QString LoopFormat::text() const
{
    return QStringLiteral("%1 %2x%3 %4fps").arg(codecName(codec)).arg(size.width()).arg(size.height()).arg(fps)
        + (intraRefresh ? QStringLiteral(" intra-refresh") : QString());
}

int parameterSetBytes(const QByteArray &unit, bool hevc)
{
    const auto *p = reinterpret_cast<const uchar *>(unit.constData());
    for (int i = 0; i + 3 < unit.size(); ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        const int type = hevc ? (p[i + 3] >> 1) & 0x3F : p[i + 3] & 0x1F;
        if (hevc ? type < 32 : (type >= 1 && type <= 5))
            return i > 0 && p[i - 1] == 0 ? i - 1 : i;
        i += 2;
    }
    return 0;
}

QByteArray hostileFrame()
{
    // SPS: constrained baseline, pic_width_in_mbs_minus1 = pic_height_in_map_units_minus1 = 1023;
    // then a PPS and the start of an IDR slice.
    return QByteArray::fromHex("000000016742c01fda001000008019" "0000000168ce3c80" "0000000165888400") + QByteArray(64, '\x5a');
}

std::shared_ptr<const EncodedLoop> encodeLoop(const LoopFormat &format, const std::function<QImage(int)> &picture,
                                              QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::shared_ptr<const EncodedLoop>();
    };
    quietLibraries();
    if (format.size.width() < 16 || format.size.height() < 16 || format.size.width() % 2 || format.size.height() % 2
        || format.fps < 1 || format.frames < 1 || format.keyInterval < 1)
        return fail(QStringLiteral("bad loop format %1").arg(format.text()));
    const AVCodec *codec = avcodec_find_encoder_by_name(encoderName(format.codec));
    if (!codec)
        return fail(QStringLiteral("no %1 encoder in this libavcodec").arg(QLatin1String(encoderName(format.codec))));

    EncoderState s;
    s.context = avcodec_alloc_context3(codec);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.context || !s.frame || !s.packet)
        return fail(QStringLiteral("out of memory"));
    AVCodecContext *c = s.context;
    const bool jpeg = format.codec == Codec::Jpeg;
    c->width = format.size.width();
    c->height = format.size.height();
    c->time_base = AVRational{1, format.fps};
    c->framerate = AVRational{format.fps, 1};
    c->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_range = jpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    c->gop_size = format.keyInterval;
    c->max_b_frames = 0;
    c->thread_count = 2; // the lab shares a small machine
    const QByteArray keyint = QByteArray::number(format.keyInterval);
    if (format.codec == Codec::H264) {
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set_int(c->priv_data, "forced-idr", 1, 0);
        const QByteArray refresh = format.intraRefresh ? ":intra-refresh=1" : "";
        av_opt_set(c->priv_data, "x264-params", ("keyint=" + keyint + ":min-keyint=" + keyint + ":scenecut=0:repeat-headers=1" + refresh).constData(), 0);
    } else if (format.codec == Codec::H265) {
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set_int(c->priv_data, "forced-idr", 1, 0);
        av_opt_set(c->priv_data, "x265-params",
                   ("keyint=" + keyint + ":min-keyint=" + keyint
                    + ":scenecut=0:bframes=0:open-gop=0:repeat-headers=1:pools=2:frame-threads=1:log-level=error")
                       .constData(),
                   0);
    } else {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * 4;
    }
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0)
        return fail(QStringLiteral("cannot open %1: %2").arg(QLatin1String(encoderName(format.codec)), averror(rc)));

    s.frame->format = c->pix_fmt;
    s.frame->width = c->width;
    s.frame->height = c->height;
    s.frame->color_range = c->color_range;
    s.frame->colorspace = c->colorspace;
    if ((rc = av_frame_get_buffer(s.frame, 0)) < 0)
        return fail(QStringLiteral("no frame buffer: %1").arg(averror(rc)));
    s.scale = sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height, c->pix_fmt, SWS_BILINEAR,
                             nullptr, nullptr, nullptr);
    if (!s.scale)
        return fail(QStringLiteral("no colour converter"));

    auto loop = std::make_shared<EncodedLoop>();
    loop->format = format;
    for (int n = 0; n < format.frames; ++n) {
        QImage image = picture(n);
        if (image.size() != format.size)
            return fail(QStringLiteral("picture %1 has the wrong size").arg(n));
        image = image.convertToFormat(QImage::Format_RGB32);
        if ((rc = av_frame_make_writable(s.frame)) < 0)
            return fail(averror(rc));
        const uint8_t *source[1] = {image.constBits()};
        const int stride[1] = {int(image.bytesPerLine())};
        sws_scale(s.scale, source, stride, 0, c->height, s.frame->data, s.frame->linesize);
        s.frame->pts = n;
        const bool key = format.intraRefresh && format.codec == Codec::H264 ? n == 0 : n % format.keyInterval == 0;
        s.frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        s.frame->quality = c->global_quality;
        if ((rc = avcodec_send_frame(c, s.frame)) < 0 || (rc = drain(s, *loop)) < 0)
            return fail(QStringLiteral("encoding failed: %1").arg(averror(rc)));
    }
    if ((rc = avcodec_send_frame(c, nullptr)) < 0 || (rc = drain(s, *loop)) < 0)
        return fail(QStringLiteral("encoding failed: %1").arg(averror(rc)));
    if (loop->frames.size() != format.frames)
        return fail(QStringLiteral("the encoder gave %1 frames for %2").arg(loop->frames.size()).arg(format.frames));
    return loop;
}

FrameDecoder::FrameDecoder(Codec codec)
{
    quietLibraries();
    const AVCodecID id = codec == Codec::H264 ? AV_CODEC_ID_H264 : codec == Codec::H265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_MJPEG;
    const AVCodec *decoder = avcodec_find_decoder(id);
    if (!decoder)
        return;
    m_context = avcodec_alloc_context3(decoder);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet)
        return;
    m_context->thread_count = 1; // a picture out for every unit in, no frame threading delay
    m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(m_context, decoder, nullptr) < 0)
        avcodec_free_context(&m_context);
}

FrameDecoder::~FrameDecoder()
{
    sws_freeContext(m_scale);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

QImage FrameDecoder::decode(const QByteArray &unit)
{
    if (!m_context || unit.isEmpty())
        return QImage();
    m_packet->data = reinterpret_cast<uint8_t *>(const_cast<char *>(unit.constData()));
    m_packet->size = unit.size();
    const int sent = avcodec_send_packet(m_context, m_packet);
    m_packet->data = nullptr;
    m_packet->size = 0;
    if (sent < 0)
        return QImage();
    QImage image;
    while (avcodec_receive_frame(m_context, m_frame) == 0) {
        image = QImage(m_frame->width, m_frame->height, QImage::Format_RGB32);
        m_scale = sws_getCachedContext(m_scale, m_frame->width, m_frame->height, AVPixelFormat(m_frame->format),
                                       m_frame->width, m_frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                                       nullptr);
        if (!m_scale || image.isNull())
            return QImage();
        uint8_t *target[1] = {image.bits()};
        const int stride[1] = {int(image.bytesPerLine())};
        sws_scale(m_scale, m_frame->data, m_frame->linesize, 0, m_frame->height, target, stride);
        av_frame_unref(m_frame);
    }
    return image;
}

} // namespace lab
