// video_bench: live pictures against kora-lab's encoders, under Xvfb with the software
// renderer, every figure as a ratio to a baseline measured in the same run.
//  1. Baselines: the same encoded frames and snapshot pictures, captured from the lab first,
//     decoded bare in this process (one libavcodec thread, low delay, into nothing: what
//     `ffmpeg -threads 1 -f null` does) and the JPEGs read by Qt's reader at full size.
//  2. One 1080p30 H.264 preview in an XImageView of 960x540: process CPU against one bare
//     decode of the stream.
//  3. Four such previews and sixteen snapshot tiles (4 pictures a second each) on one page:
//     process CPU against the bare decoding of the same, frames shown per stream and second,
//     and the latency from a frame's last datagram to the swap of the frame that shows it.
//  4. With SOAK seconds: resident memory of that page sampled every 10 s.
// Run by scripts/bench-video inside the lab network.
#include "video/ffmpegthread.h"
#include "video/myimageprovider.h"
#include "video/nalscan.h"
#include "video/snapshotview.h"
#include "video/previewassembler.h"
#include "video/snapshots.h"
#include "video/snapshotstream.h"
#include "video/ximageview.h"

#include "support/labclient.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QNetworkDatagram>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace kora::video;

namespace {
const QList<int> kPreviewHosts{30, 33, 34, 35}; // H.264 main streams of the lab
constexpr int kTiles = 16;                       // snapshot tiles: hosts 30 to 45

quint16 mainPort(int host) { return quint16(30000 + 10 * host); }
QString mainGroup(int host) { return QStringLiteral("239.10.1.%1").arg(host); }
QString snapshotGroup(int host) { return QStringLiteral("239.10.3.%1").arg(host); }
QString signalId(int host) { return labclient::peerAddress(host) + QStringLiteral("-0"); }

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}
// Runs the event loop for `ms` without spinning, so the measured CPU is the client's own.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
void collectViews(QQuickItem *item, QList<XImageView *> &views)
{
    if (auto *view = qobject_cast<XImageView *>(item))
        views.append(view);
    for (QQuickItem *child : item->childItems())
        collectViews(child, views);
}

// Frames and pictures as the lab sends them, collected for `seconds` once the stream runs.
struct Capture {
    QList<QByteArray> frames;    // H.264 access units of the first preview host
    QList<QByteArray> snapshots; // JPEG files of every tile host
};
Capture capture(int seconds)
{
    Capture c;
    QUdpSocket preview, registrations;
    registrations.bind(QHostAddress(labclient::clientIp()), 0);
    const int host = kPreviewHosts.first();
    preview.bind(QHostAddress(mainGroup(host)), mainPort(host), QUdpSocket::ShareAddress);
    preview.joinMulticastGroup(QHostAddress(mainGroup(host)));
    std::vector<std::unique_ptr<QUdpSocket>> snaps;
    for (int i = 0; i < kTiles; ++i) {
        const int h = 30 + i;
        auto s = std::make_unique<QUdpSocket>();
        s->bind(QHostAddress(snapshotGroup(h)), quint16(mainPort(h) + 4), QUdpSocket::ShareAddress);
        s->joinMulticastGroup(QHostAddress(snapshotGroup(h)));
        snaps.push_back(std::move(s));
    }
    PreviewAssembler assembler;
    std::vector<SnapshotAssembler> pictures(kTiles);
    QElapsedTimer t, lastRegistration;
    t.start();
    // The lab encodes a stream's loop at its first registration: the clock starts with the frames.
    while (t.elapsed() < seconds * 1000 || (c.frames.isEmpty() && t.elapsed() < 30000)) {
        if (c.frames.isEmpty())
            t.restart();
        if (!lastRegistration.isValid() || lastRegistration.elapsed() > 900) {
            registrations.writeDatagram(registrationMessage(mainGroup(host), mainPort(host)), QHostAddress(mainGroup(host)),
                                        kStreamRegistrationPort);
            for (int i = 0; i < kTiles; ++i) {
                const int h = 30 + i;
                registrations.writeDatagram(snapshotRegistration(labclient::peerAddress(h), quint16(mainPort(h) + 4)),
                                            QHostAddress(labclient::peerAddress(h)), kStreamRegistrationPort);
            }
            lastRegistration.start();
        }
        preview.waitForReadyRead(5);
        while (preview.hasPendingDatagrams()) {
            const PreviewAssembler::Result r = assembler.add(preview.receiveDatagram().data());
            for (int i = 0; i < r.frames; ++i)
                c.frames.append(assembler.frame(i));
        }
        for (int i = 0; i < kTiles; ++i) {
            while (snaps[size_t(i)]->hasPendingDatagrams()) {
                if (pictures[size_t(i)].push(snaps[size_t(i)]->receiveDatagram().data()) == SnapshotAssembler::Result::Complete)
                    c.snapshots.append(pictures[size_t(i)].picture());
            }
        }
    }
    // Decoding starts at a keyframe, as a joining client does.
    const auto keyframe = [](const QByteArray &f) {
        return scanAccessUnit(reinterpret_cast<const uchar *>(f.constData()), f.size(), false).keyframe;
    };
    while (!c.frames.isEmpty() && !keyframe(c.frames.first()))
        c.frames.removeFirst();
    return c;
}

// CPU seconds one bare decoder spends on a second (30 frames) of the stream.
double bareDecodePerSecond(const QList<QByteArray> &frames, int rounds)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext *context = avcodec_alloc_context3(codec);
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    avcodec_open2(context, codec, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int decoded = 0;
    const double start = threadCpuSeconds();
    for (int r = 0; r < rounds; ++r) {
        for (const QByteArray &f : frames) {
            QByteArray padded = f;
            padded.append(QByteArray(AV_INPUT_BUFFER_PADDING_SIZE, '\0'));
            packet->data = reinterpret_cast<uint8_t *>(padded.data());
            packet->size = f.size();
            if (avcodec_send_packet(context, packet) == 0) {
                while (avcodec_receive_frame(context, frame) == 0)
                    ++decoded;
            }
        }
    }
    const double cpu = threadCpuSeconds() - start;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return decoded > 0 ? cpu / decoded * 30 : -1;
}

// CPU seconds Qt's reader spends on one snapshot picture.
double bareJpegPerPicture(const QList<QByteArray> &files, int rounds)
{
    int read = 0;
    const double start = threadCpuSeconds();
    for (int r = 0; r < rounds; ++r) {
        for (const QByteArray &f : files) {
            QBuffer b;
            b.setData(f);
            b.open(QIODevice::ReadOnly);
            if (!QImageReader(&b, "JPG").read().isNull())
                ++read;
        }
    }
    return read > 0 ? (threadCpuSeconds() - start) / read : -1;
}

// The tiles ask the preview records as the pages ask the controller object.
class SnapshotSource : public QObject
{
    Q_OBJECT
public:
    explicit SnapshotSource(std::shared_ptr<PreviewTable> table) : m_table(std::move(table)) {}
    Q_INVOKABLE QString getSnapshotSource(const QString &ip) const
    {
        quint64 version = 0;
        m_table->request(ip, &version);
        return QStringLiteral("image://myprovider/ip:%1/%2").arg(ip).arg(version);
    }

private:
    std::shared_ptr<PreviewTable> m_table;
};

// A page of `previews` live views (2 x 2 of 960x540) and `tiles` snapshot tiles below them.
const char *kPage = R"(
import QtQuick 2.15
import Custom.VX.ffmpeg 1.0
Item {
    id: page
    width: 1920; height: 1080
    property var previews: []
    property var tiles: []
    property alias views: viewRepeater
    Timer { id: mainTimer; interval: 50; repeat: true; running: true }
    Grid {
        columns: 2
        Repeater {
            id: viewRepeater
            model: page.previews
            XImageView {
                width: 960; height: 470
                mMulticast: modelData.group; mPort: modelData.port
                Component.onCompleted: joinMulticast()
            }
        }
    }
    Grid {
        y: 940; columns: 8
        Repeater {
            model: page.tiles
            SnapshotImage { width: 240; height: 70; ip: modelData }
        }
    }
}
)";

struct PageRun {
    double cpuPerSecond = 0;
    std::vector<double> fps;     // per preview
    std::vector<double> latency; // ms
    quint64 dropped = 0;
};

class Page
{
public:
    Page(QQmlEngine &engine, int previews, int tiles, Snapshots &snapshots)
        : m_source(snapshots.table())
    {
        engine.rootContext()->setContextProperty(QStringLiteral("ImApi"), &m_source);
        QQmlComponent component(&engine);
        component.setData(kPage, QUrl::fromLocalFile(QStringLiteral(KORA_SOURCE_DIR "/qml/components/bench.qml")));
        m_window.setWidth(1920);
        m_window.setHeight(1080);
        QVariantList p;
        for (int i = 0; i < previews; ++i)
            p.append(QVariantMap{{"group", mainGroup(kPreviewHosts[i])}, {"port", mainPort(kPreviewHosts[i])}});
        QStringList t;
        for (int i = 0; i < tiles; ++i)
            t.append(signalId(30 + i));
        m_root = qobject_cast<QQuickItem *>(
            component.createWithInitialProperties({{QStringLiteral("previews"), p}, {QStringLiteral("tiles"), t}}));
        if (!m_root)
            qFatal("%s", qPrintable(component.errorString()));
        m_root->setParentItem(m_window.contentItem());
        m_window.show();
        collectViews(m_root, m_views);
        QObject::connect(&m_window, &QQuickWindow::frameSwapped, &m_window, [this] {
            const qint64 now = steadyNs();
            for (int i = 0; i < m_views.size(); ++i) {
                const qint64 stamp = m_views[i]->shownStamp();
                if (stamp != 0 && stamp != m_lastStamp.value(i)) {
                    m_lastStamp[i] = stamp;
                    if (m_measuring)
                        m_latency.push_back(double(now - stamp) / 1e6);
                }
            }
        }, Qt::DirectConnection);
    }
    ~Page() { delete m_root; }

    PageRun measure(int seconds)
    {
        PageRun run;
        std::vector<int> shown;
        quint64 dropped = 0;
        for (XImageView *v : m_views) {
            shown.push_back(v->framesShown());
            dropped += v->worker()->counters().framesDropped;
        }
        m_latency.clear();
        m_measuring = true;
        const double cpu = processCpuSeconds();
        QElapsedTimer t;
        t.start();
        spin(seconds * 1000);
        const double wall = t.elapsed() / 1000.0;
        run.cpuPerSecond = (processCpuSeconds() - cpu) / wall;
        m_measuring = false;
        for (int i = 0; i < m_views.size(); ++i) {
            run.fps.push_back((m_views[i]->framesShown() - shown[size_t(i)]) / wall);
            run.dropped += m_views[i]->worker()->counters().framesDropped;
        }
        run.dropped -= dropped;
        run.latency = m_latency;
        return run;
    }
    // Waits until every view shows pictures.
    bool playing(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            spin(100);
            if (std::all_of(m_views.begin(), m_views.end(), [](XImageView *v) { return v->framesShown() > 30; }))
                return true;
        }
        return false;
    }

private:
    SnapshotSource m_source;
    QQuickWindow m_window;
    QQuickItem *m_root = nullptr;
    QList<XImageView *> m_views;
    QHash<int, qint64> m_lastStamp;
    std::vector<double> m_latency;
    bool m_measuring = false;
};

void printRun(const char *what, const PageRun &run, double baseline)
{
    std::printf("%s: client %.3f CPU s/s, baseline %.3f CPU s/s, ratio %.2fx\n", what, run.cpuPerSecond, baseline,
                baseline > 0 ? run.cpuPerSecond / baseline : -1.0);
    for (size_t i = 0; i < run.fps.size(); ++i)
        std::printf("  preview %zu: %.1f frames shown/s\n", i + 1, run.fps[i]);
    if (!run.latency.empty())
        std::printf("  latency last datagram -> swap: median %.1f ms, p99 %.1f ms, max %.1f ms over %zu frames\n",
                    percentile(run.latency, 0.5), percentile(run.latency, 0.99), percentile(run.latency, 1.0),
                    run.latency.size());
    std::printf("  frames replaced before shown: %llu\n", static_cast<unsigned long long>(run.dropped));
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? atoi(argv[1]) : 20;
    const int soak = argc > 2 ? atoi(argv[2]) : 0;
    qmlRegisterType<XImageView>("Custom.VX.ffmpeg", 1, 0, "XImageView");
    qmlRegisterType<SnapshotView>("Custom.VX.ffmpeg", 1, 0, "SnapshotView");

    const Capture captured = capture(6);
    std::printf("captured %d frames of %s and %d snapshot pictures\n", int(captured.frames.size()),
                qPrintable(mainGroup(kPreviewHosts.first())), int(captured.snapshots.size()));
    if (captured.frames.size() < 30 || captured.snapshots.isEmpty()) {
        std::fprintf(stderr, "video_bench: the lab sent too little\n");
        return 1;
    }
    const double decode = bareDecodePerSecond(captured.frames, 3);
    const double jpeg = bareJpegPerPicture(captured.snapshots, 3);
    std::printf("baseline: bare H.264 decode %.3f CPU s per second of 1080p30; JPEG read %.2f ms a picture\n", decode,
                jpeg * 1000);
    spin(4000); // the lab's streams of the capture stop before the client asks again

    QQmlEngine engine;
    Snapshots snapshots;
    engine.addImageProvider(QStringLiteral("MyProvider"), new MyImageProvider(snapshots.table()));
    SnapshotBoard::instance().setTable(snapshots.table());
    {
        Page one(engine, 1, 0, snapshots);
        if (!one.playing(20000)) {
            std::fprintf(stderr, "video_bench: the preview did not play\n");
            return 1;
        }
        spin(2000);
        printRun("one 1080p30 H.264 preview", one.measure(seconds), decode);
    }
    QList<SignalSnapshot> tiles;
    for (int i = 0; i < kTiles; ++i)
        tiles.append({signalId(30 + i), QStringLiteral("udp://%1:%2").arg(snapshotGroup(30 + i)).arg(mainPort(30 + i) + 4)});
    snapshots.load(tiles);
    Page page(engine, kPreviewHosts.size(), kTiles, snapshots);
    if (!page.playing(30000)) {
        std::fprintf(stderr, "video_bench: the previews did not play\n");
        return 1;
    }
    spin(3000);
    const double baseline = kPreviewHosts.size() * decode + kTiles * 4 * jpeg;
    printRun("four previews and sixteen snapshot tiles", page.measure(seconds), baseline);
    if (soak > 0) {
        std::vector<long> rss;
        for (int s = 0; s < soak; s += 10) {
            spin(10000);
            rss.push_back(residentKb());
            std::printf("  soak %d s: resident %ld kB\n", s + 10, rss.back());
            std::fflush(stdout);
        }
        const long after = rss.size() > 6 ? rss[5] : rss.front(); // after the first minute
        std::printf("soak %d s: resident memory after the first minute %ld kB, at the end %ld kB, growth %ld kB\n", soak,
                    after, rss.back(), rss.back() - after);
    }
    return 0;
}

#include "video_bench.moc"
