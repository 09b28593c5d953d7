#include "video/ffmpegrtsp.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/rtspsource.h"

#include <QTimer>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace kora::video;

FFmpegRtsp::FFmpegRtsp(QObject *parent)
    : QObject(parent)
{
}

FFmpegRtsp::~FFmpegRtsp() = default;

QImage FFmpegRtsp::takeFrame(quint64 *serial)
{
    return m_slot.read(serial);
}

void FFmpegRtsp::setMaxSize(const QSize &pixels)
{
    QMutexLocker lock(&m_sizeMutex);
    m_maxSize = pixels;
}

void FFmpegRtsp::init()
{
    if (m_reopenTimer)
        return;
    avformat_network_init();
    routeFfmpegLog();
    m_reopenTimer = new QTimer(this);
    m_reopenTimer->setSingleShot(true);
    m_reopenTimer->setInterval(kReopenDelayMs);
    connect(m_reopenTimer, &QTimer::timeout, this, &FFmpegRtsp::runPass);
}

void FFmpegRtsp::openRTSP(const QString &url)
{
    openAt(url, m_generation.load());
}

void FFmpegRtsp::openAt(const QString &url, int generation)
{
    if (m_running) {
        KWARN(lcVideo) << "open failed , rtsp is runing!";
        return;
    }
    if (generation != m_generation.load())
        return; // closed after this open was asked for
    if (!m_reopenTimer)
        init();
    m_url = url;
    m_passGeneration = generation;
    m_running = true;
    KTRACE(lcVideo) << "openRTSP" << qUtf8Printable(url);
    runPass();
}

void FFmpegRtsp::close()
{
    // The generation moved on in stop(), when the item asked: an open asked after that stays valid.
    if (m_reopenTimer)
        m_reopenTimer->stop();
    if (!m_running.exchange(false))
        return;
    m_slot.clear();
    KTRACE(lcVideo) << "closed" << qUtf8Printable(m_url);
    emit closed();
}

void FFmpegRtsp::runPass()
{
    const auto keepGoing = [this] { return m_generation.load() == m_passGeneration; };
    if (!m_running || !keepGoing())
        return;
    QSize maxSize;
    {
        QMutexLocker lock(&m_sizeMutex);
        maxSize = m_maxSize;
    }
    const RtspPassResult result = runRtspPass(
        m_url, keepGoing,
        [this](const QImage &image) {
            ++m_decoded;
            if (m_slot.put(image))
                emit frameReady();
        },
        maxSize);
    // Between passes the thread is back in its event loop, so close() and quit get through.
    if (result != RtspPassResult::Stopped && keepGoing())
        m_reopenTimer->start();
}

XRtspView::XRtspView(QQuickItem *parent)
    : VideoFrameItem(parent)
    , m_thread(new QThread)
    , m_worker(new FFmpegRtsp)
{
    m_thread->setObjectName(QStringLiteral("rtsp"));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // Deletes itself once it has finished: maybe after the item, see ~XRtspView.
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    connect(m_worker, &FFmpegRtsp::frameReady, this, [this] {
        const QImage image = m_worker->takeFrame(&m_serial);
        if (!image.isNull())
            recFrame(image);
    });
    connect(m_worker, &FFmpegRtsp::closed, this, [this] { showFrame(QImage()); });
}

XRtspView::~XRtspView()
{
    m_worker->stop();
    if (!m_thread->isRunning()) {
        delete m_worker;
        delete m_thread;
        return;
    }
    m_thread->quit();
    // A pass ends within about 100 ms of stop(), except where FFmpeg cannot be told (a name
    // lookup that hangs): leaving the page must not wait for that. The thread then ends by
    // itself and takes the worker with it.
    if (!m_thread->wait(kRtspStopWaitMs))
        KWARN(lcVideo) << "camera reader still busy after" << kRtspStopWaitMs << "ms; left to end by itself";
}

void XRtspView::openRTSP(QString url)
{
    if (!m_thread->isRunning()) {
        m_thread->start();
        QMetaObject::invokeMethod(m_worker, &FFmpegRtsp::init, Qt::QueuedConnection);
    }
    m_worker->setMaxSize(pixelSize());
    FFmpegRtsp *worker = m_worker;
    const int generation = worker->generation();
    QMetaObject::invokeMethod(worker, [worker, url, generation] { worker->openAt(url, generation); },
                              Qt::QueuedConnection);
}

void XRtspView::close()
{
    if (!m_thread->isRunning())
        return;
    m_worker->stop(); // a pass under way ends now, not when the queue reaches close()
    QMetaObject::invokeMethod(m_worker, &FFmpegRtsp::close, Qt::QueuedConnection);
}

void XRtspView::recFrame(QImage image)
{
    showFrame(image);
}

void XRtspView::pixelSizeChanged(const QSize &pixels)
{
    m_worker->setMaxSize(pixels); // taken at the next pass
}
