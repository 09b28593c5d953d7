#include "video/ximageview.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/ffmpegthread.h"

XImageView::XImageView(QQuickItem *parent)
    : VideoFrameItem(parent)
    , m_worker(new FFmpegThread)
{
    m_worker->moveToThread(&m_thread);
    // The worker is freed in its own thread, after the thread's last event.
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &FFmpegThread::frameReady, this, &XImageView::takeFrame);
    connect(m_worker, &FFmpegThread::sig_abort, this, &XImageView::abortSocket);
}

XImageView::~XImageView()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_worker; // never started: nothing of it lives in another thread
    }
}

void XImageView::joinMulticast()
{
    const QString name = QStringLiteral("preview %1:%2").arg(mMulticast).arg(mPort);
    m_thread.setObjectName(name);
    if (!m_thread.isRunning()) {
        m_thread.start(); // named after the first group it joins
        QMetaObject::invokeMethod(m_worker, &FFmpegThread::init, Qt::QueuedConnection);
    }
    KTRACE(lcVideo) << "joinMulticast" << qUtf8Printable(name);
    const QString group = mMulticast;
    const int port = mPort;
    const QSize pixels = pixelSize();
    FFmpegThread *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, pixels] { worker->setTargetSize(pixels); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(worker, [worker, group, port] { worker->setMulticastMsg(group, port); },
                              Qt::QueuedConnection);
    QMetaObject::invokeMethod(worker, &FFmpegThread::multicastInit, Qt::QueuedConnection);
}

void XImageView::leaveMulticast()
{
    if (m_thread.isRunning())
        QMetaObject::invokeMethod(m_worker, &FFmpegThread::abortMulticast, Qt::QueuedConnection);
}

void XImageView::recFrame(QImage image)
{
    showFrame(image);
}

void XImageView::abortSocket()
{
    showFrame(QImage());
}

void XImageView::takeFrame()
{
    qint64 stamp = 0;
    const QImage image = m_worker->takeFrame(&stamp);
    if (!image.isNull())
        showFrame(image, stamp);
}

void XImageView::pixelSizeChanged(const QSize &pixels)
{
    if (!m_thread.isRunning())
        return; // sent with the join
    FFmpegThread *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, pixels] { worker->setTargetSize(pixels); }, Qt::QueuedConnection);
}
