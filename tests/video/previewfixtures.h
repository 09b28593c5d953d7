#pragma once
// Our own test media made at run time: solid pictures encoded by the lab's encoder, their
// stream datagrams, a decoder worker in its own thread.
#include "media/codec.h"
#include "media/wire.h"
#include "video/ffmpegthread.h"
#include "video/previewassembler.h"
#include "video/rtspsource.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QThread>

#include <cstdlib>
#include <functional>

namespace previewfixtures {

const QSize kSize(320, 240);
const QColor kRed(210, 40, 50);
const QColor kBlue(30, 60, 200);
const QColor kGreen(40, 190, 70);

// `count` solid pictures, picture i in colour(i), one packet each (no B-frames, no look-ahead),
// a keyframe every `gop` pictures; none when this FFmpeg lacks the encoder.
// `intraRefresh` (H.264): one keyframe, then a refresh every `gop` frames from a recovery point.
inline QList<QByteArray> encode(lab::Codec codec, const QSize &size, int count, const std::function<QColor(int)> &colour,
                                int gop = 5, bool intraRefresh = false)
{
    lab::LoopFormat format;
    format.codec = codec;
    format.size = size;
    format.fps = 25;
    format.frames = count;
    format.keyInterval = gop;
    format.intraRefresh = intraRefresh;
    const auto loop = lab::encodeLoop(format, [&](int i) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour(i));
        return picture;
    }, nullptr);
    return loop ? loop->frames.toList() : QList<QByteArray>();
}
inline QList<QByteArray> encode(lab::Codec codec, const QSize &size, int count, const QColor &colour, int gop = 5)
{
    return encode(codec, size, count, [colour](int) { return colour; }, gop);
}

// One stream datagram: the header bytes the client reads, the rest zero.
inline QByteArray datagram(quint8 sequence, quint8 fragments, quint8 flags, const QByteArray &piece)
{
    QByteArray d(kora::video::kHeaderBytes, '\0');
    d[2] = char(sequence);
    d[3] = char(fragments);
    d[8] = char(flags);
    d[15] = kora::video::kStreamMark;
    return d + piece;
}

// Numbers frames and cuts them into pieces of at most `pieceSize` bytes and of at most a
// `minPieces`th of the frame.
class Sender
{
public:
    explicit Sender(quint8 firstSequence = 7) : m_sequence(firstSequence) {}

    // The first datagram a client sees only gives it the sequence number.
    QByteArray prime(quint8 flags = 0) { return datagram(m_sequence++, 1, flags, QByteArray()); }

    QList<QByteArray> frame(const QByteArray &bytes, quint8 flags, int pieceSize = 1200, int minPieces = 1)
    {
        return lab::previewDatagrams(bytes, m_sequence++, flags, qMin(pieceSize, (bytes.size() + minPieces - 1) / minPieces));
    }
    // The frames after the priming datagram.
    QList<QByteArray> stream(const QList<QByteArray> &frames, quint8 flags = 0, int pieceSize = 1200, int minPieces = 1)
    {
        QList<QByteArray> out{prime(flags)};
        for (const QByteArray &f : frames)
            out += frame(f, flags, pieceSize, minPieces);
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
