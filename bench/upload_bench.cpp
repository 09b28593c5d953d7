// Frame times of a busy window while a wall background of about 5 MB is cut and uploaded:
// first with nothing else going on (the baseline), then through the client's background
// upload (cut in its own thread, paced in the uploader's thread), then the same wire pushed
// from the window's own thread with 10 ms sleeps between datagrams, one output only, as a
// naive client would. Prints the median and the largest frame time of each phase.
//   upload_bench DESTINATION_NET (e.g. 10.77.1, outputs .20 to .23) [BASELINE_SECONDS (3)]
#include "upload/background.h"
#include "upload/uploader.h"
#include "upload/uploadprotocol.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQuickView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>

using namespace kora;

namespace {

// Intervals between swapped frames, in ms.
struct FrameClock {
    QElapsedTimer clock;
    qint64 last = -1;
    std::vector<double> intervals;
    void swapped()
    {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            intervals.push_back((now - last) / 1e6);
        last = now;
    }
    // From now: a window that shows nothing until much later has one long frame.
    void restart()
    {
        intervals.clear();
        last = clock.nsecsElapsed();
    }
};

void report(const char *phase, std::vector<double> v, double seconds)
{
    if (v.empty()) {
        std::printf("%-34s no frame in %.1f s\n", phase, seconds);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-34s %5zu frames in %5.1f s  median %6.1f ms  max %7.1f ms  over 50 ms: %zu\n", phase, v.size(),
                seconds, v[v.size() / 2], v.back(),
                size_t(std::count_if(v.begin(), v.end(), [](double ms) { return ms > 50; })));
}

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A picture whose JPEG pieces are large: coloured noise in blocks.
QImage noisePicture(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return picture;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: upload_bench DESTINATION_NET [BASELINE_SECONDS]\n");
        return 2;
    }
    const QString net = QString::fromLatin1(argv[1]);
    const int baselineMs = (argc > 2 ? std::atoi(argv[2]) : 3) * 1000;
    const QStringList outputs{net + ".20(0)", net + ".21(0)", net + ".22(0)", net + ".23(0)"};
    const QList<QRect> rects{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080), QRect(0, 1080, 1920, 1080),
                             QRect(1920, 1080, 1920, 1080)};
    const QSize wallSize(3840, 2160);

    QTemporaryDir dir;
    const QString file = dir.filePath("background.jpg");
    noisePicture(QSize(2400, 1800)).save(file, "JPG", 95);
    const QList<upload::BackgroundPiece> pieces = upload::cutBackground(QImage(file), wallSize, outputs, rects);
    qint64 wire = 0;
    for (const upload::BackgroundPiece &p : pieces)
        wire += p.jpeg.size();
    std::printf("picture %s: %.1f MB on disk, %.1f MB uploaded in %d pieces\n", qPrintable(QFileInfo(file).fileName()),
                QFileInfo(file).size() / 1e6, wire / 1e6, int(pieces.size()));

    QQuickView view;
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setSource(QUrl(QStringLiteral("data:text/plain,") +
                        QStringLiteral("import QtQuick 2.15\n"
                                       "Rectangle { width: 1280; height: 720; color: '#0a1826'\n"
                                       "  Rectangle { width: 300; height: 300; anchors.centerIn: parent; color: '#2e5a84'\n"
                                       "    RotationAnimator on rotation { from: 0; to: 360; duration: 2000; loops: Animation.Infinite } } }")));
    view.resize(1280, 720);
    view.show();
    FrameClock frames;
    frames.clock.start();
    QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [&frames] { frames.swapped(); });
    runFor(1000); // the first frames

    frames.restart();
    runFor(baselineMs);
    report("idle window", frames.intervals, baselineMs / 1000.0);

    {
        upload::UploadThread uploads;
        upload::BackgroundUpload backgrounds(uploads);
        int done = 0;
        QObject::connect(&backgrounds, &upload::BackgroundUpload::progress, [&done](int current, int) { done = current; });
        frames.restart();
        QElapsedTimer took;
        took.start();
        backgrounds.startFromFile(QStringLiteral("1"), file, wallSize, outputs, rects);
        while (done < int(pieces.size()) && took.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        report("client's background upload", frames.intervals, took.elapsed() / 1000.0);
    }

    {
        // The naive way, one output: the same datagrams from this thread, sleeping between them.
        QUdpSocket socket;
        const upload::BackgroundPiece &piece = pieces.first();
        frames.restart();
        QElapsedTimer took;
        took.start();
        const QList<upload::BackgroundPiece> cut = upload::cutBackground(QImage(file), wallSize, outputs, rects);
        socket.writeDatagram(upload::uploadCommand(QStringLiteral("1"), piece.target.fileName),
                             QHostAddress(piece.target.address), 41234);
        QThread::msleep(upload::kUnicastPauseMs);
        for (quint32 i = 0; i < upload::chunkCount(cut.first().jpeg.size()); ++i) {
            const QByteArray datagram = upload::dataDatagram(cut.first().jpeg, i);
            for (int copy = 0; copy < 2; ++copy) {
                socket.writeDatagram(datagram, QHostAddress(piece.target.address), upload::kDataPort);
                QThread::msleep(upload::kCopyGapMs);
            }
        }
        runFor(300); // the frame the window owes
        report("naive upload, first output only", frames.intervals, took.elapsed() / 1000.0);
    }
    return 0;
}
