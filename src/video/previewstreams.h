#pragma once
// The preview streams on screen: one decoder (FFmpegThread, in a thread of its own named
// "preview <group>:<port>") per stream, shared by every item that shows it and counted by
// them. The last item to leave stops the stream's thread without waiting for it: a busy
// decoder never holds up a page switch, a logout or the exit. shutdown() joins whatever is
// still running, within a bound. GUI thread.
#include <QHash>
#include <QObject>
#include <QSize>
#include <QString>
#include <QVector>

class FFmpegThread;
class QThread;

class PreviewStream : public QObject
{
    Q_OBJECT
public:
    FFmpegThread *worker() const { return m_worker; }
    QString key() const { return m_key; }
    int users() const { return m_users; }

signals:
    void frameReady(QSize shown); // a new picture at that size
    void left();                  // the stream was left: show nothing

private:
    friend class PreviewStreams;
    PreviewStream(const QString &key, QObject *parent);

    QString m_key;
    QThread *m_thread = nullptr;
    FFmpegThread *m_worker = nullptr; // lives in m_thread, deleted there when it finishes
    QString m_encoder;
    int m_users = 0;
};

class PreviewStreams : public QObject
{
    Q_OBJECT
public:
    static constexpr int kShutdownWaitMs = 2000;

    // The process's registry, made on first use in the GUI thread; shutdown() runs when the
    // application object goes, if nobody called it before.
    static PreviewStreams &instance();

    // An item starts showing group:port at `shown` device pixels. `encoder`: the address key
    // frames are asked of (empty: none).
    PreviewStream *join(const QString &group, int port, const QString &encoder, const QSize &shown);
    void leave(PreviewStream *stream, const QSize &shown);
    void resize(PreviewStream *stream, const QSize &from, const QSize &to);
    // Stops every stream and waits for their threads, `waitMs` in all; a thread that does not
    // finish in time is logged and left to the process's end.
    void shutdown(int waitMs = kShutdownWaitMs);

    int streamCount() const { return m_streams.size(); }
    PreviewStream *find(const QString &group, int port) const;

private:
    explicit PreviewStreams(QObject *parent = nullptr);
    void stop(PreviewStream *stream);

    QHash<QString, PreviewStream *> m_streams; // by "group:port"
    QVector<QThread *> m_stopping;             // quit, not yet finished
};
