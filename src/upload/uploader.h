#pragma once
// File uploads, paced in a thread of their own so the window never waits for them.
//
// Uploader runs one job at a time. A job is one or more files sent back to back; for each:
// the upload command to the command port, a pause for the receiver to get ready (100 ms for
// one receiver, 200 ms for the wall group), every chunk twice, the copy 10 ms after the
// first, and then the file's follow-up command (a wall background's base map), so that a
// receiver never hears of the next file before it was told what to do with this one. The
// pauses are timers of its thread, never sleeps. Later jobs wait their turn in a bounded
// queue; a wall's whole background is one job.
//
// Receivers answer to the port a command came from, so the datagrams leave from the
// client's command socket: the owner hands the uploader a duplicate of that socket's
// descriptor (sendFrom), which it only writes to. Until then it writes from a socket of its
// own.
//
// UploadThread owns the "upload" thread and the Uploader in it; its signals reach the owner's
// thread queued. Its destructor stops the thread and waits for it.
#include "upload/uploadprotocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QPair>
#include <QThread>
#include <atomic>
#include <functional>
#include <optional>

class QTimer;
class QUdpSocket;

namespace kora::upload {

constexpr int kUnicastPauseMs = 100;
constexpr int kMulticastPauseMs = 200;
constexpr int kCopyGapMs = 10;
// Jobs waiting behind the one under way; a file is in memory until it is sent.
constexpr int kMaxQueuedJobs = 16;

// One file for one receiver (or the wall group).
struct Job {
    QString wallId;   // the wall the file is for; the command carries it
    QString fileName; // the name the receiver stores it under
    QByteArray bytes;
    bool multicast = false; // to the wall group instead of one receiver
    QString address;        // the receiver (unicast only); a "-" suffix is ignored
    QByteArray then;        // sent to the receiver's command port after the file; may be empty

    static Job unicast(const QString &wallId, const QString &address, const QString &fileName, const QByteArray &bytes);
    static Job toWallGroup(const QString &wallId, const QString &fileName, const QByteArray &bytes);
};

// Why a job cannot be sent; empty when it can. A unicast job needs an address; the wall id
// and the file name must be there and must not break the command's fields.
QString refusal(const Job &job);

class Uploader : public QObject
{
    Q_OBJECT
public:
    // One datagram out. Without one, the uploader writes to a socket of its own, made in its
    // thread by init().
    using Send = std::function<void(const QByteArray &data, const QHostAddress &to, quint16 port)>;

    explicit Uploader(Send send = {}, QObject *parent = nullptr);
    ~Uploader() override;

    // The rest runs in the uploader's thread.
    // Starts the job now when nothing is under way, else queues it; a job all of whose files
    // are refused ends at once, a refused file of a longer job is skipped in its turn.
    void enqueue(int id, const Job &job);
    void enqueue(int id, const QList<Job> &files);
    int queuedJobs() const { return m_queue.size(); }
    bool busy() const { return m_current.has_value(); }

public slots:
    // Before the first job.
    void init();
    // Sends from this local address from now on (the rest of the client binds to it too).
    void bindTo(const QString &localIp);
    // Writes from `descriptor` from now on, and closes it when it is replaced or this object
    // goes; -1 goes back to the own socket.
    void sendFrom(qintptr descriptor);

signals:
    // After both copies of each chunk of the file under way.
    void progress(int job, int sentChunks, int totalChunks);
    // After file `index` of `count` of a job and its follow-up; ok false: it was refused.
    void fileSent(int job, int index, int count, bool ok);
    // ok: every datagram of every file was handed to the network (nothing confirms that it
    // arrived); otherwise `reason` says what was not sent.
    void finished(int job, bool ok, const QString &reason);

private:
    struct Queued {
        int id = 0;
        QList<Job> files;
    };
    struct Running {
        int id = 0;
        QList<Job> files;
        int index = 0;        // the file under way
        int refused = 0;      // files of the job skipped
        QString lastRefusal;
        QHostAddress to;
        quint32 chunks = 0;
        quint32 next = 0;     // the chunk whose first copy goes out next
        QByteArray datagram;  // the chunk whose copy is due
        int failedWrites = 0;
        const Job &job() const { return files.at(index); }
    };
    enum class Step { Pause, Copy };

    void startNext();
    void startFile();
    void sendChunk();
    void sendCopy();
    void endFile();
    void finish();
    void onTimer();
    // The next step runs `ms` after the datagram just sent, not earlier.
    void waitAfterSend(int ms, Step step);
    bool send(const QByteArray &data, const QHostAddress &to, quint16 port);
    void readReplies();

    Send m_send;
    QUdpSocket *m_socket = nullptr; // only without an injected send; made by init()
    int m_descriptor = -1;          // the command socket's duplicate, owned; -1: none
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0;
    Step m_step = Step::Pause;
    QQueue<Queued> m_queue;
    std::optional<Running> m_current;
};

class UploadThread : public QObject
{
    Q_OBJECT
public:
    // With a send function the uploader opens no socket (tests).
    explicit UploadThread(Uploader::Send send = {}, QObject *parent = nullptr);
    ~UploadThread() override;

    // Any thread: queues the job and returns its id; its end comes with finished().
    int upload(const Job &job);
    int upload(const QList<Job> &files);
    void bindTo(const QString &localIp);
    // The calling thread's socket `descriptor` is duplicated here, so that it stays valid
    // for the uploader whatever its owner does with the original.
    void sendFrom(qintptr descriptor);

signals:
    void progress(int job, int sentChunks, int totalChunks);
    void fileSent(int job, int index, int count, bool ok);
    void finished(int job, bool ok, const QString &reason);

private:
    QThread m_thread;
    Uploader *m_uploader = nullptr; // lives in m_thread
    std::atomic<int> m_lastId{0};
};

} // namespace kora::upload
