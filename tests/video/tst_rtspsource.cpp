// The RTSP reader and camera view item over files written here.
#include "video/ffmpegrtsp.h"
#include "video/rtspsource.h"
#include "video/snapshots.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "support/testmain.h"

#include "previewfixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

using namespace kora::video;
using previewfixtures::kRed;
using previewfixtures::kSize;
using previewfixtures::wholeIn;

Q_DECLARE_METATYPE(kora::video::RtspPassResult)

namespace QTest {
template <>
char *toString(const kora::video::RtspPassResult &r)
{
    static const char *const names[] = {"OpenFailed", "NoStreamInfo", "NoVideoStream", "UnsupportedCodec",
                                        "CodecFailed", "BadDimensions", "ReadFailed", "Stopped"};
    return qstrdup(names[int(r)]);
}
} // namespace QTest

namespace {
// The system call a thread of ours of that name is in (-1 when running), -2 when there is none.
int syscallOf(const QString &thread)
{
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &t : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(t)), call(QStringLiteral("/proc/self/task/%1/syscall").arg(t));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == thread.left(15).toUtf8())
            return call.open(QIODevice::ReadOnly) ? call.readAll().split(' ').value(0).toInt() : -1;
    }
    return -2;
}

// Opens the pipe for writing and closes it: a reader blocked opening it gets an empty input.
void release(const QByteArray &fifo)
{
    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY2(writer >= 0, "nobody has the pipe open for reading");
    ::close(writer);
}

// Raw H.264 as an encoder writes it: `count` pictures of kRed.
bool writeStream(const QString &path, int count)
{
    const QList<QByteArray> frames = previewfixtures::encode(lab::Codec::H264, kSize, count, kRed);
    QFile file(path);
    return frames.size() == count && file.open(QIODevice::WriteOnly) && file.write(frames.join()) > 0;
}

// A WAV file: one audio stream (a tenth of a second of silence), no video.
QByteArray audioOnly()
{
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + 1600);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(1600);
    return wav + QByteArray(1600, '\0');
}
} // namespace

class TestRtspSource : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_stream = m_dir.filePath("camera.h264");
        QVERIFY(writeStream(m_stream, 10));
    }

    void decodesEveryPicture_data()
    {
        columns<QSize, QSize>({"maxSize", "out"});
        QTest::newRow("no limit") << QSize() << kSize;
        QTest::newRow("fits within, aspect kept") << QSize(160, 160) << QSize(160, 120);
        QTest::newRow("wide enough, too tall") << QSize(400, 200) << QSize(266, 200);
        QTest::newRow("never enlarged") << QSize(1000, 1000) << kSize;
    }
    void decodesEveryPicture()
    {
        QFETCH(QSize, maxSize);
        QFETCH(QSize, out);
        QList<QImage> pictures;
        // The end of a file is a failed read: a camera's stream would be opened again.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to read frame, reconnecting\\.\\.\\. .*camera\\.h264"));
        const RtspPassResult r = runRtspPass(
            m_stream, [] { return true; }, [&](const QImage &image) { pictures.append(image); }, maxSize);
        QCOMPARE(r, RtspPassResult::ReadFailed);
        QCOMPARE(pictures.size(), 10);
        for (const QImage &p : pictures)
            QCOMPARE(p.size(), out);
        QVERIFY2(wholeIn(pictures.last(), kRed),
                 qPrintable(pictures.last().pixelColor(out.width() / 2, out.height() / 2).name()));
    }

    // Red on the left, blue on the right, in each colour matrix, to every kind of output size:
    // the chroma planes must stay with their own colour, and with their picture's matrix.
    void convertsColours_data()
    {
        columns<int, int, int, int, QSize>({"format", "range", "space", "sourceWidth", "out"});
        const int i420 = AV_PIX_FMT_YUV420P, mpeg = AVCOL_RANGE_MPEG, sd = AVCOL_SPC_SMPTE170M;
        for (const QSize &out : {QSize(66, 38), QSize(33, 19), QSize(16, 9), QSize(40, 22), QSize(100, 56)}) {
            const QByteArray size = QByteArray::number(out.width()) + "x" + QByteArray::number(out.height());
            QTest::newRow("BT.601 " + size) << i420 << mpeg << sd << 66 << out;
            QTest::newRow("BT.709 " + size) << i420 << mpeg << int(AVCOL_SPC_BT709) << 66 << out;
            QTest::newRow("full range " + size) << i420 << int(AVCOL_RANGE_JPEG) << sd << 66 << out;
            QTest::newRow("odd width " + size) << i420 << mpeg << sd << 67 << out;
        }
        // Other formats (a camera's MJPEG) go through swscale.
        QTest::newRow("4:2:2 66x38") << int(AV_PIX_FMT_YUV422P) << mpeg << sd << 66 << QSize(66, 38);
        QTest::newRow("full-range 4:2:2 33x19") << int(AV_PIX_FMT_YUVJ422P) << int(AVCOL_RANGE_JPEG) << sd << 66 << QSize(33, 19);
    }
    void convertsColours()
    {
        QFETCH(int, format);
        QFETCH(int, range);
        QFETCH(int, space);
        QFETCH(int, sourceWidth);
        QFETCH(QSize, out);
        // Y, U, V of pure red and pure blue in each matrix.
        const bool full = range == AVCOL_RANGE_JPEG;
        const bool hd = space == AVCOL_SPC_BT709;
        const int red[3] = {full ? 76 : hd ? 63 : 81, full ? 85 : hd ? 102 : 90, full ? 255 : 240};
        const int blue[3] = {full ? 29 : hd ? 32 : 41, full ? 255 : 240, full ? 107 : hd ? 118 : 110};
        std::unique_ptr<AVFrame, void (*)(AVFrame *)> frame(av_frame_alloc(), [](AVFrame *f) { av_frame_free(&f); });
        frame->format = format;
        frame->width = sourceWidth;
        frame->height = 38;
        frame->color_range = AVColorRange(range);
        frame->colorspace = AVColorSpace(space);
        QVERIFY(av_frame_get_buffer(frame.get(), 0) == 0);
        for (int plane = 0; plane < 3; ++plane) {
            const int w = plane ? (frame->width + 1) / 2 : frame->width, h = plane && format == AV_PIX_FMT_YUV420P ? 19 : 38;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    frame->data[plane][y * frame->linesize[plane] + x] = uint8_t(x < w / 2 ? red[plane] : blue[plane]);
        }
        FrameConverter converter;
        const QImage image = converter.convert(frame.get(), out);
        QCOMPARE(image.size(), out);
        const auto near = [](QColor c, QColor want) {
            return qAbs(c.red() - want.red()) < 16 && qAbs(c.green() - want.green()) < 16 && qAbs(c.blue() - want.blue()) < 16;
        };
        for (int y = 0; y < out.height(); ++y) {
            const QColor left = image.pixelColor(out.width() / 5, y), right = image.pixelColor(out.width() * 4 / 5, y);
            QVERIFY2(near(left, Qt::red) && near(right, Qt::blue), qPrintable(left.name() + " " + right.name()));
        }
    }

    // Pictures converted band by band while the decoder writes them are the pictures
    // converted whole, bit for bit; a band left out makes it convert the whole picture.
    void bandsMatchWholePictures_data()
    {
        columns<QSize, QSize, int, int>({"source", "out", "skipBand", "banded"});
        QTest::newRow("same size") << kSize << kSize << -1 << 8;
        QTest::newRow("half") << kSize << kSize / 2 << -1 << 8;
        QTest::newRow("cropped at the bottom, half") << QSize(200, 120) << QSize(100, 60) << -1 << 8;
        QTest::newRow("below half: halved in bands, then scaled") << kSize << QSize(150, 100) << -1 << 8;
        QTest::newRow("below a quarter") << kSize << QSize(70, 50) << -1 << 8;
        QTest::newRow("above half: whole") << kSize << QSize(200, 150) << -1 << 0;
        QTest::newRow("a band left out: whole") << kSize << kSize / 2 << 2 << 0;
    }
    void bandsMatchWholePictures()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, out);
        QFETCH(int, skipBand);
        lab::LoopFormat format;
        format.size = source;
        format.frames = 8;
        format.keyInterval = 4;
        const auto loop = lab::encodeLoop(format, [&](int i) {
            QImage picture(source, QImage::Format_RGB32);
            for (int y = 0; y < source.height(); ++y)
                for (int x = 0; x < source.width(); ++x)
                    picture.setPixel(x, y, qRgb(x * 255 / source.width(), y * 255 / source.height(), (x + y + 9 * i) & 0xff));
            return picture;
        }, nullptr);
        QVERIFY(loop);
        struct Bands {
            FrameConverter converter;
            QSize out;
            int skip = -1, seen = 0;
        } bands{{}, out, skipBand};
        AvPtr<AVCodecContext> decoder = openVideoDecoder(AV_CODEC_ID_H264);
        QVERIFY(decoder);
        decoder->opaque = &bands;
        decoder->draw_horiz_band = [](AVCodecContext *c, const AVFrame *frame, int *, int y, int, int height) {
            auto *b = static_cast<Bands *>(c->opaque);
            if (y == 0)
                b->seen = 0;
            if (b->seen++ != b->skip)
                b->converter.convertBand(frame, y, height, b->out);
        };
        AvPtr<AVPacket> packet(av_packet_alloc());
        AvPtr<AVFrame> frame(av_frame_alloc());
        int pictures = 0;
        for (QByteArray unit : loop->frames) {
            unit.append(QByteArray(kPacketPadding, '\0'));
            packet->data = reinterpret_cast<uint8_t *>(unit.data());
            packet->size = unit.size() - kPacketPadding;
            QCOMPARE(avcodec_send_packet(decoder.get(), packet.get()), 0);
            while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                FrameConverter whole;
                const QImage expected = whole.convert(frame.get(), out);
                QCOMPARE(expected.size(), out);
                QVERIFY(bands.converter.convert(frame.get(), out) == expected);
                ++pictures;
                av_frame_unref(frame.get());
            }
        }
        QCOMPARE(pictures, 8);
        QTEST(bands.converter.bandedPictures(), "banded");
    }

    void keepGoingFalseStops()
    {
        int pictures = 0;
        const RtspPassResult r = runRtspPass(m_stream, [&] { return pictures < 3; }, [&](const QImage &) { ++pictures; });
        QCOMPARE(r, RtspPassResult::Stopped);
        QCOMPARE(pictures, 3);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        columns<RtspPassResult, QString>({"result", "line"});
        QTest::newRow("missing file") << "missing.ts" << QByteArray() << RtspPassResult::OpenFailed
                                      << "get rtsp failed .*missing\\.ts Error: No such file or directory";
        QTest::newRow("audio only") << "sound.wav" << audioOnly() << RtspPassResult::NoVideoStream
                                    << "could not find video stream";
    }
    void failures()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, line);
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!content.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(line));
        int pictures = 0;
        QTEST(runRtspPass(path, [] { return true; }, [&](const QImage &) { ++pictures; }), "result");
        QCOMPARE(pictures, 0);
    }

    void viewShowsTheStream()
    {
        QQuickWindow window;
        window.resize(160, 120);
        auto *view = new XRtspView(window.contentItem());
        view->setSize(QSizeF(160, 120));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        view->openRTSP(m_stream);
        QTRY_VERIFY(view->framesShown() > 0);
        QVERIFY(wholeIn(view->currentFrame(), kRed));
        QCOMPARE(view->currentFrame().size(), QSize(160, 120)); // decoded to fit the item

        // The file ends, the stream is opened again after a pause: still running, so a
        // second open is refused.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("open failed , rtsp is runing!"));
        view->openRTSP(m_stream);
        view->close();
        QTRY_VERIFY(view->currentFrame().isNull()); // closed: the item shows nothing
        QVERIFY(!view->worker()->isRunning());

        // Destroyed while running: the pass is stopped and the thread waited for.
        view->openRTSP(m_stream);
        QTRY_VERIFY(view->worker()->isRunning());
        delete view;
    }

    // A pass blocked where FFmpeg cannot be told to stop (here: opening a pipe nobody writes,
    // as a hanging name lookup would): destroying the view, or clearing the signals of a
    // camera's snapshots, does not wait for it; the thread ends by itself once the call returns.
    void stoppedWhileBlockedDoesNotWait()
    {
        const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("rtsp-pipe"))); // "rtsp" marks a camera
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        auto *view = new XRtspView;
        view->openRTSP(QString::fromLocal8Bit(fifo));
        QTRY_COMPARE(syscallOf("rtsp"), int(SYS_openat));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("camera reader still busy"));
        delete view; // the old code waited here for good
        release(fifo); // the pass finds nothing and ends
        QTRY_COMPARE(syscallOf("rtsp"), -2);

        const QString key = QStringLiteral("10.0.0.9-0");
        Snapshots snapshots;
        snapshots.load({{key, QString::fromLocal8Bit(fifo)}});
        snapshots.table()->request(key); // a page looks: the reader opens
        QTRY_COMPARE(syscallOf("rtsp " + key), int(SYS_openat));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("camera snapshot reader of 10.0.0.9-0 still busy"));
        snapshots.clear();
        release(fifo);
        QTRY_COMPARE(syscallOf("rtsp " + key), -2);
    }

private:
    QTemporaryDir m_dir;
    QString m_stream;
};

KORA_TEST(TestRtspSource)
#include "tst_rtspsource.moc"
