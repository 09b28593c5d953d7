#include "video/previewstreams.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/ffmpegthread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace {
QString streamKey(const QString &group, int port)
{
    return group.trimmed() + QLatin1Char(':') + QString::number(port);
}
} // namespace

PreviewStream::PreviewStream(const QString &key, QObject *parent)
    : QObject(parent)
    , m_key(key)
{
}

PreviewStreams::PreviewStreams(QObject *parent)
    : QObject(parent)
{
}

PreviewStreams &PreviewStreams::instance()
{
    static PreviewStreams *streams = [] {
        auto *s = new PreviewStreams;
        qAddPostRoutine([] { PreviewStreams::instance().shutdown(); });
        return s;
    }();
    return *streams;
}

PreviewStream *PreviewStreams::find(const QString &group, int port) const
{
    return m_streams.value(streamKey(group, port));
}

PreviewStream *PreviewStreams::join(const QString &group, int port, const QString &encoder, const QSize &shown)
{
    const QString key = streamKey(group, port);
    PreviewStream *stream = m_streams.value(key);
    if (!stream) {
        stream = new PreviewStream(key, this);
        stream->m_thread = new QThread;
        stream->m_thread->setObjectName(QStringLiteral("preview ") + key);
        stream->m_worker = new FFmpegThread;
        stream->m_worker->moveToThread(stream->m_thread);
        // The worker's socket and timer go in the thread that made them, after its last event.
        connect(stream->m_thread, &QThread::finished, stream->m_worker, &QObject::deleteLater);
        connect(stream->m_worker, &FFmpegThread::frameReady, stream, &PreviewStream::frameReady);
        connect(stream->m_worker, &FFmpegThread::sig_abort, stream, &PreviewStream::left);
        stream->m_thread->start();
        FFmpegThread *worker = stream->m_worker;
        const QString address = group.trimmed();
        QMetaObject::invokeMethod(worker, [worker, address, port] {
            worker->init();
            worker->setMulticastMsg(address, port);
        }, Qt::QueuedConnection);
        m_streams.insert(key, stream);
        KTRACE(lcVideo) << "preview stream" << qUtf8Printable(key) << "starts";
    }
    FFmpegThread *worker = stream->m_worker;
    if (stream->m_encoder.isEmpty() && !encoder.isEmpty()) {
        stream->m_encoder = encoder;
        QMetaObject::invokeMethod(worker, [worker, encoder] { worker->setEncoder(encoder); }, Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(worker, [worker, shown] { worker->addView(shown); }, Qt::QueuedConnection);
    if (stream->m_users++ == 0)
        QMetaObject::invokeMethod(worker, &FFmpegThread::multicastInit, Qt::QueuedConnection);
    return stream;
}

void PreviewStreams::leave(PreviewStream *stream, const QSize &shown)
{
    if (!stream || m_streams.key(stream).isEmpty())
        return; // stopped by shutdown() already
    FFmpegThread *worker = stream->m_worker;
    QMetaObject::invokeMethod(worker, [worker, shown] { worker->removeView(shown); }, Qt::QueuedConnection);
    if (--stream->m_users > 0)
        return;
    m_streams.remove(stream->m_key);
    stop(stream);
}

void PreviewStreams::resize(PreviewStream *stream, const QSize &from, const QSize &to)
{
    if (!stream || from == to || m_streams.key(stream).isEmpty())
        return;
    FFmpegThread *worker = stream->m_worker;
    QMetaObject::invokeMethod(worker, [worker, from, to] {
        worker->addView(to);
        worker->removeView(from);
    }, Qt::QueuedConnection);
}

void PreviewStreams::stop(PreviewStream *stream)
{
    FFmpegThread *worker = stream->m_worker;
    QThread *thread = stream->m_thread;
    // Told before it is asked to quit: an idle thread may finish at once.
    m_stopping.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        if (m_stopping.removeOne(thread))
            thread->deleteLater();
    });
    QMetaObject::invokeMethod(worker, &FFmpegThread::abortMulticast, Qt::QueuedConnection);
    thread->quit();
    KTRACE(lcVideo) << "preview stream" << qUtf8Printable(stream->m_key) << "stops";
    stream->deleteLater();
}

void PreviewStreams::shutdown(int waitMs)
{
    const auto streams = m_streams;
    m_streams.clear();
    for (PreviewStream *stream : streams)
        stop(stream);
    QDeadlineTimer deadline(waitMs);
    const auto stopping = m_stopping;
    m_stopping.clear();
    for (QThread *thread : stopping) {
        if (thread->wait(deadline)) {
            delete thread;
        } else {
            // Deleting a running thread would crash; the process ends soon anyway.
            KWARN(lcVideo) << "preview thread" << thread->objectName() << "did not stop within" << waitMs << "ms";
        }
    }
}
