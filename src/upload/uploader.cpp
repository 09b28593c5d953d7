#include "upload/uploader.h"

#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QCryptographicHash>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kora::upload {

namespace {

// A wall id or file name with these would shift the command's fields or end it early.
bool breaksFields(const QString &text)
{
    for (const QChar c : {QChar(u';'), QChar(u','), QChar(u'{'), QChar(u'}')}) {
        if (text.contains(c))
            return true;
    }
    return false;
}

QHostAddress receiver(const Job &job)
{
    return job.multicast ? QHostAddress(QLatin1String(link::kWallGroup)) : QHostAddress(link::deviceAddress(job.address));
}

} // namespace

Job Job::unicast(const QString &wallId, const QString &address, const QString &fileName, const QByteArray &bytes)
{
    return {wallId, fileName, bytes, false, address, QByteArray()};
}

Job Job::toWallGroup(const QString &wallId, const QString &fileName, const QByteArray &bytes)
{
    return {wallId, fileName, bytes, true, QString(), QByteArray()};
}

QString refusal(const Job &job)
{
    if (!job.multicast && receiver(job).isNull())
        return QStringLiteral("no address");
    if (job.wallId.isEmpty() || job.fileName.isEmpty())
        return QStringLiteral("empty destination");
    if (breaksFields(job.wallId) || breaksFields(job.fileName))
        return QStringLiteral("wall id or file name holds a field separator");
    return {};
}

// ---- Uploader

Uploader::Uploader(Send send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &Uploader::onTimer);
    m_clock.start();
}

Uploader::~Uploader()
{
    const int left = m_queue.size() + (m_current ? 1 : 0);
    if (left > 0)
        KWARN(lcLink) << "upload stopped with" << left << "jobs not sent";
    sendFrom(-1);
}

void Uploader::init()
{
    if (m_send || m_socket)
        return;
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &Uploader::readReplies);
    bindTo(QString());
}

void Uploader::bindTo(const QString &localIp)
{
    if (!m_socket)
        return;
    m_socket->abort();
    const QHostAddress local = localIp.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4) : QHostAddress(localIp);
    const bool bound = m_socket->bind(local, 0);
    // Our own datagrams to the wall group must not come back to the client's command socket.
    m_socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    KTRACE(lcLink) << "upload socket bind:" << localIp << bound << m_socket->localPort() << m_socket->errorString();
}

void Uploader::enqueue(int id, const Job &job)
{
    enqueue(id, QList<Job>{job});
}

void Uploader::enqueue(int id, const QList<Job> &files)
{
    QString why;
    for (const Job &job : files) {
        why = refusal(job);
        if (why.isEmpty())
            break;
    }
    if (!why.isEmpty() || files.isEmpty()) {
        if (files.isEmpty())
            why = QStringLiteral("no file");
        KWARN(lcLink) << "upload" << (files.isEmpty() ? QString() : files.first().fileName) << "to"
                      << (files.isEmpty() ? QString() : files.first().address) << "refused:" << why;
        emit finished(id, false, why);
        return;
    }
    if (m_current && m_queue.size() >= kMaxQueuedJobs) {
        KWARN(lcLink) << "upload of" << files.size() << "files refused:" << m_queue.size() << "uploads are waiting already";
        emit finished(id, false, QStringLiteral("queue full"));
        return;
    }
    m_queue.enqueue({id, files});
    startNext();
}

void Uploader::startNext()
{
    if (m_current || m_queue.isEmpty())
        return;
    Queued next = m_queue.dequeue();
    Running r;
    r.id = next.id;
    r.files = std::move(next.files);
    m_current = std::move(r);
    startFile();
}

void Uploader::startFile()
{
    Running &r = *m_current;
    while (r.index < r.files.size()) {
        const QString why = refusal(r.job());
        if (why.isEmpty())
            break;
        KWARN(lcLink) << "upload" << r.job().fileName << "to" << r.job().address << "skipped:" << why;
        ++r.refused;
        r.lastRefusal = why;
        emit fileSent(r.id, r.index, int(r.files.size()), false);
        ++r.index;
    }
    if (r.index >= r.files.size()) {
        finish();
        return;
    }
    const Job &job = r.job();
    r.to = receiver(job);
    r.chunks = chunkCount(job.bytes.size());
    r.next = 0;
    const QByteArray command = job.multicast ? multicastUploadCommand(job.wallId, job.fileName)
                                             : uploadCommand(job.wallId, job.fileName);
    // The digest lets the file be compared with what the receiver stored.
    KTRACE(lcLink) << "UploadFile" << command << "to" << r.to.toString() << job.bytes.size() << "bytes in" << r.chunks
                   << "chunks, md5" << QCryptographicHash::hash(job.bytes, QCryptographicHash::Md5).toHex().constData();
    send(command, r.to, link::kCommandPort);
    // The receiver needs a moment to open the file; the wall group waits for its slowest.
    waitAfterSend(job.multicast ? kMulticastPauseMs : kUnicastPauseMs, Step::Pause);
}

void Uploader::sendChunk()
{
    Running &r = *m_current;
    if (r.next >= r.chunks) {
        endFile();
        return;
    }
    KTRACE(lcLink) << "upload chunk" << r.next << "of" << r.chunks;
    r.datagram = dataDatagram(r.job().bytes, r.next);
    send(r.datagram, r.to, kDataPort);
    waitAfterSend(kCopyGapMs, Step::Copy);
}

void Uploader::endFile()
{
    Running &r = *m_current;
    const Job &job = r.job();
    KTRACE(lcLink) << "upload" << job.fileName << "to" << r.to.toString() << "ok";
    if (!job.then.isEmpty()) {
        KTRACE(lcLink) << "after" << job.fileName << "to" << r.to.toString() << job.then;
        send(job.then, r.to, link::kCommandPort);
    }
    emit fileSent(r.id, r.index, int(r.files.size()), true);
    ++r.index;
    startFile();
}

void Uploader::sendCopy()
{
    Running &r = *m_current;
    send(r.datagram, r.to, kDataPort);
    ++r.next;
    emit progress(r.id, int(r.next), int(r.chunks));
    sendChunk();
}

void Uploader::finish()
{
    const Running done = std::move(*m_current);
    m_current.reset();
    if (done.failedWrites > 0)
        KWARN(lcLink) << "upload job" << done.id << ":" << done.failedWrites << "datagrams could not be written";
    const bool ok = done.refused == 0;
    emit finished(done.id, ok,
                  ok ? QString()
                     : QStringLiteral("%1 of %2 files not sent: %3").arg(done.refused).arg(done.files.size()).arg(done.lastRefusal));
    startNext();
}

void Uploader::onTimer()
{
    if (!m_current)
        return;
    // A timer may wake a little early; the receiver relies on the full pause.
    const qint64 leftNs = m_dueNs - m_clock.nsecsElapsed();
    if (leftNs > 0) {
        m_timer->start(int((leftNs + 999999) / 1000000));
        return;
    }
    if (m_step == Step::Pause)
        sendChunk();
    else
        sendCopy();
}

void Uploader::waitAfterSend(int ms, Step step)
{
    m_step = step;
    m_dueNs = m_clock.nsecsElapsed() + qint64(ms) * 1000000;
    m_timer->start(ms);
}

void Uploader::sendFrom(qintptr descriptor)
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = int(descriptor);
    if (descriptor >= 0)
        KTRACE(lcLink) << "uploads leave from the command socket";
}

bool Uploader::send(const QByteArray &data, const QHostAddress &to, quint16 port)
{
    if (m_send) {
        m_send(data, to, port);
        return true;
    }
    bool written = false;
    if (m_descriptor >= 0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = qToBigEndian(port);
        address.sin_addr.s_addr = qToBigEndian(to.toIPv4Address());
        written = ::sendto(m_descriptor, data.constData(), size_t(data.size()), 0,
                           reinterpret_cast<const sockaddr *>(&address), sizeof address) == data.size();
    } else {
        written = m_socket && m_socket->writeDatagram(data, to, port) == data.size();
    }
    if (!written && m_current)
        ++m_current->failedWrites;
    return written;
}

void Uploader::readReplies()
{
    // Receivers may answer the upload command; nothing waits for it, so it is only logged.
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        KTRACE(lcLink) << "upload socket got" << datagram.senderAddress().toString() << datagram.data().left(256);
    }
}

// ---- UploadThread

UploadThread::UploadThread(Uploader::Send send, QObject *parent)
    : QObject(parent)
    , m_uploader(new Uploader(std::move(send)))
{
    m_thread.setObjectName(QStringLiteral("upload"));
    m_uploader->moveToThread(&m_thread);
    // Freed in its own thread, after the thread's last event.
    connect(&m_thread, &QThread::finished, m_uploader, &QObject::deleteLater);
    connect(m_uploader, &Uploader::progress, this, &UploadThread::progress);
    connect(m_uploader, &Uploader::fileSent, this, &UploadThread::fileSent);
    connect(m_uploader, &Uploader::finished, this, &UploadThread::finished);
    m_thread.start();
    QMetaObject::invokeMethod(m_uploader, &Uploader::init, Qt::QueuedConnection);
}

UploadThread::~UploadThread()
{
    m_thread.quit();
    m_thread.wait();
}

int UploadThread::upload(const Job &job)
{
    return upload(QList<Job>{job});
}

int UploadThread::upload(const QList<Job> &files)
{
    const int id = ++m_lastId;
    Uploader *uploader = m_uploader;
    QMetaObject::invokeMethod(uploader, [uploader, id, files] { uploader->enqueue(id, files); }, Qt::QueuedConnection);
    return id;
}

void UploadThread::sendFrom(qintptr descriptor)
{
    const int copy = descriptor >= 0 ? ::dup(int(descriptor)) : -1;
    if (descriptor >= 0 && copy < 0)
        KWARN(lcLink) << "uploads cannot use the command socket:" << qt_error_string(errno);
    Uploader *uploader = m_uploader;
    QMetaObject::invokeMethod(uploader, [uploader, copy] { uploader->sendFrom(copy); }, Qt::QueuedConnection);
}

void UploadThread::bindTo(const QString &localIp)
{
    Uploader *uploader = m_uploader;
    QMetaObject::invokeMethod(uploader, [uploader, localIp] { uploader->bindTo(localIp); }, Qt::QueuedConnection);
}

} // namespace kora::upload
