#pragma once
// Our own test media made at run time: solid pictures encoded with libavcodec, their stream
// datagrams, a decoder worker in its own thread.
#include "video/ffmpegthread.h"
#include "video/previewassembler.h"
#include "video/rtspsource.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QThread>

#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace previewfixtures {

using kora::video::AvPtr;

// One packet per picture (no B-frames, no look-ahead), a keyframe every `gop` pictures.
class Encoder
{
public:
    // `intraRefresh` (x264): one keyframe, then a refresh every `gop` frames from a recovery point.
    Encoder(const char *name, const QSize &size, int gop = 5, bool intraRefresh = false)
        : m_size(size)
    {
        const AVCodec *codec = avcodec_find_encoder_by_name(name);
        if (!codec)
            return;
        const bool jpeg = qstrcmp(name, "mjpeg") == 0;
        m_format = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        m_context.reset(avcodec_alloc_context3(codec));
        m_context->width = size.width();
        m_context->height = size.height();
        m_context->time_base = {1, 25};
        m_context->framerate = {25, 1};
        m_context->pix_fmt = m_format;
        m_context->gop_size = gop;
        m_context->max_b_frames = 0;
        AVDictionary *options = nullptr;
        const QByteArray keyint = QStringLiteral("keyint=%1:min-keyint=%1:scenecut=0%2").arg(gop)
                                      .arg(intraRefresh ? ":intra-refresh=1" : "").toLatin1();
        if (qstrncmp(name, "libx26", 6) == 0) {
            const bool x265 = qstrcmp(name, "libx265") == 0;
            av_dict_set(&options, "preset", "ultrafast", 0);
            av_dict_set(&options, "tune", "zerolatency", 0);
            av_dict_set(&options, x265 ? "x265-params" : "x264-params", (keyint + (x265 ? ":log-level=error" : "")).constData(), 0);
        }
        const int opened = avcodec_open2(m_context.get(), codec, &options);
        av_dict_free(&options);
        if (opened < 0) {
            m_context.reset();
            return;
        }
        m_frame.reset(av_frame_alloc());
        m_frame->format = m_format;
        m_frame->width = size.width();
        m_frame->height = size.height();
        av_frame_get_buffer(m_frame.get(), 0);
        m_packet.reset(av_packet_alloc());
        m_sws.reset(sws_getContext(size.width(), size.height(), AV_PIX_FMT_RGB32, size.width(), size.height(),
                                   m_format, SWS_BILINEAR, nullptr, nullptr, nullptr));
    }

    bool isOpen() const { return bool(m_context); }

    // One picture as the bytes of one frame on the wire.
    QByteArray encode(const QColor &colour)
    {
        QImage picture(m_size, QImage::Format_RGB32);
        picture.fill(colour);
        av_frame_make_writable(m_frame.get());
        const uint8_t *planes[4] = {picture.constBits(), nullptr, nullptr, nullptr};
        const int strides[4] = {int(picture.bytesPerLine()), 0, 0, 0};
        sws_scale(m_sws.get(), planes, strides, 0, m_size.height(), m_frame->data, m_frame->linesize);
        m_frame->pts = m_pts++;
        avcodec_send_frame(m_context.get(), m_frame.get());
        QByteArray bytes;
        while (avcodec_receive_packet(m_context.get(), m_packet.get()) == 0) {
            bytes.append(reinterpret_cast<const char *>(m_packet->data), m_packet->size);
            av_packet_unref(m_packet.get());
        }
        return bytes;
    }

private:
    QSize m_size;
    AVPixelFormat m_format = AV_PIX_FMT_YUV420P;
    AvPtr<AVCodecContext> m_context;
    AvPtr<AVFrame> m_frame;
    AvPtr<AVPacket> m_packet;
    AvPtr<SwsContext> m_sws;
    int64_t m_pts = 0;
};

// One stream datagram: the header bytes the client reads, the rest zero.
inline QByteArray datagram(quint8 sequence, quint8 fragments, quint8 flags, const QByteArray &piece,
                           char mark = kora::video::kStreamMark)
{
    QByteArray d(kora::video::kHeaderBytes, '\0');
    d[2] = char(sequence);
    d[3] = char(fragments);
    d[8] = char(flags);
    d[15] = mark;
    return d + piece;
}

// Numbers frames and cuts them into pieces of at most `pieceSize` bytes (at least `minPieces`).
class Sender
{
public:
    explicit Sender(quint8 firstSequence = 7) : m_sequence(firstSequence) {}

    // The first datagram a client sees only gives it the sequence number.
    QByteArray prime(quint8 flags = 0) { return datagram(m_sequence++, 1, flags, QByteArray()); }

    QList<QByteArray> frame(const QByteArray &bytes, quint8 flags, int pieceSize = 1200, int minPieces = 1)
    {
        int pieces = qMax(1, (bytes.size() + pieceSize - 1) / pieceSize);
        pieces = qMin(qMax(pieces, minPieces), qMax(1, bytes.size()));
        const int step = (bytes.size() + pieces - 1) / pieces;
        QList<QByteArray> out;
        for (int i = 0; i < pieces; ++i)
            out.append(datagram(m_sequence, quint8(pieces), flags, bytes.mid(i * step, step)));
        ++m_sequence;
        return out;
    }
    // `count` pictures of one colour after the priming datagram.
    QList<QByteArray> stream(Encoder &encoder, const QColor &colour, int count, quint8 flags = 0, int pieceSize = 1200,
                             int minPieces = 1)
    {
        QList<QByteArray> out{prime(flags)};
        for (int i = 0; i < count; ++i)
            out += frame(encoder.encode(colour), flags, pieceSize, minPieces);
        return out;
    }

private:
    quint8 m_sequence;
};

// Corners and centre have the colour, give or take the coding error: a picture decoded
// without its references is off somewhere.
inline bool wholeIn(const QImage &image, const QColor &colour)
{
    if (image.isNull())
        return false;
    const int w = image.width() - 4, h = image.height() - 4;
    for (const QPoint p : {QPoint(3, 3), QPoint(w, 3), QPoint(3, h), QPoint(w, h), QPoint(w / 2, h / 2)}) {
        const QColor c = image.pixelColor(p);
        if (std::abs(c.red() - colour.red()) > 20 || std::abs(c.green() - colour.green()) > 20
            || std::abs(c.blue() - colour.blue()) > 20)
            return false;
    }
    return true;
}

// A decoder worker in its own thread; its pictures are taken in the test thread as an item would.
class Worker
{
public:
    explicit Worker(const QSize &shown = QSize(8192, 8192)) : shown(shown)
    {
        worker = new FFmpegThread;
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        QObject::connect(worker, &FFmpegThread::frameReady, &context, [this](const QSize &size) {
            if (size != this->shown)
                return;
            const QImage image = worker->takeFrame(size, &serial);
            if (!image.isNull()) {
                last = image;
                ++pictures;
            }
        });
        QObject::connect(worker, &FFmpegThread::sig_abort, &context, [this] {
            last = QImage();
            ++aborts;
        });
        thread.setObjectName(QStringLiteral("preview test"));
        thread.start();
        call([shown](FFmpegThread *w) {
            w->init();
            w->addView(shown);
        });
    }
    ~Worker()
    {
        thread.quit();
        thread.wait();
    }

    // Runs f in the worker thread and waits for it.
    template <class F>
    void call(F f)
    {
        FFmpegThread *w = worker;
        QMetaObject::invokeMethod(worker, [w, f] { f(w); }, Qt::BlockingQueuedConnection);
    }
    void feed(const QList<QByteArray> &datagrams)
    {
        call([datagrams](FFmpegThread *w) {
            for (const QByteArray &d : datagrams)
                w->handleDatagram(d);
        });
    }

    QThread thread;
    FFmpegThread *worker = nullptr;
    QSize shown;
    quint64 serial = 0;
    QObject context; // test thread
    QImage last;
    int pictures = 0;
    int aborts = 0;
};

} // namespace previewfixtures
