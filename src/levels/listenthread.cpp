#include "levels/listenthread.h"

#include "levels/icmpecho.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace kora::levels {

namespace {
constexpr int kReceiveBuffer = 100000;
constexpr int kPrimingGapMs = 10; // the device takes the reset before the query
} // namespace

ListenWorker::ListenWorker(const QString &uuid, const QVariantMap &request, const QVariantMap &reply)
    : m_uuid(uuid)
    , m_request(request)
    , m_reply(reply)
    , m_data(request.value(QStringLiteral("data")).toString())
    , m_target(request.value(QStringLiteral("ip")).toString())
    , m_targetPort(quint16(request.value(QStringLiteral("port")).toUInt()))
    , m_hex(isHexType(reply.value(QStringLiteral("type")).toString()))
    , m_cut(cutFor(reply.value(QStringLiteral("data")).toString(), reply.value(QStringLiteral("key")).toString()))
{
}

void ListenWorker::start()
{
    const quint16 port = quint16(m_reply.value(QStringLiteral("port")).toUInt());
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        KWARN(lcLevels) << m_uuid << "cannot bind port" << port << m_socket->errorString();
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBuffer);
    if (m_reply.value(QStringLiteral("protocol")).toString() == QLatin1String("Multicast")) {
        const QString group = m_reply.value(QStringLiteral("ip")).toString();
        const bool joined = m_socket->joinMulticastGroup(QHostAddress(group));
        KTRACE(lcLevels) << "joinMulticastGroup" << group << joined;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &ListenWorker::readReplies);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &ListenWorker::poll);

    const QString priming = primingRequest(m_data);
    if (!priming.isEmpty()) {
        send(priming.toLatin1());
        KTRACE(lcLevels) << m_uuid << "prime" << priming;
        QTimer::singleShot(kPrimingGapMs, this, [this] {
            send(m_data.toLatin1());
            KTRACE(lcLevels) << m_uuid << "query" << m_data;
        });
    }

    const Schedule schedule = scheduleFor(m_request.value(QStringLiteral("time")).toInt());
    if (!schedule.singleShot)
        KTRACE(lcLevels) << "sendMap" << m_uuid << schedule.intervalMs << m_request;
    m_timer->setSingleShot(schedule.singleShot);
    m_timer->setInterval(schedule.intervalMs);
    m_timer->start();
}

void ListenWorker::poll()
{
    if (isPing(m_data)) {
        const int reached = ping(m_target, echoIdentifier(quint64(quintptr(QThread::currentThreadId()))), nextEchoSequence());
        report({reached, QString::number(reached)});
    } else {
        send(requestPayload(m_data, m_hex));
    }
}

void ListenWorker::readReplies()
{
    while (m_socket->hasPendingDatagrams())
        report(readReply(m_socket->receiveDatagram().data(), m_hex, m_cut));
}

void ListenWorker::send(const QByteArray &payload)
{
    m_socket->writeDatagram(payload, m_target, m_targetPort);
}

void ListenWorker::report(const Reading &reading)
{
    emit recvStep(m_uuid, reading.value);
    emit recvValue(m_uuid, m_reply.value(QStringLiteral("key")).toString(), reading.text);
}

ListenThread::ListenThread(QObject *parent)
    : QObject(parent)
{
}

ListenThread::~ListenThread()
{
    stop();
}

void ListenThread::setUuid(const QString &uuid)
{
    m_uuid = uuid;
    m_thread.setObjectName(QStringLiteral("listen ") + uuid);
}

void ListenThread::setMaps(const QVariantMap &request, const QVariantMap &reply)
{
    m_request = request;
    m_reply = reply;
}

void ListenThread::start()
{
    auto *worker = new ListenWorker(m_uuid, m_request, m_reply);
    worker->moveToThread(&m_thread);
    // Freed in its own thread, after the thread's last event.
    connect(&m_thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &ListenWorker::recvStep, this, &ListenThread::recvStep);
    connect(worker, &ListenWorker::recvValue, this, &ListenThread::recvValue);
    m_thread.start();
    QMetaObject::invokeMethod(worker, &ListenWorker::start, Qt::QueuedConnection);
}

void ListenThread::quit()
{
    m_thread.quit();
}

void ListenThread::stop()
{
    m_thread.quit();
    m_thread.wait();
    KTRACE(lcLevels) << "listener" << m_uuid << "stopped";
}

void ListenThread::restart()
{
    stop();
    start();
}

Listeners::Listeners(QObject *parent)
    : QObject(parent)
{
}

Listeners::~Listeners()
{
    stopAll();
}

void Listeners::add(const QString &uuid, const QVariantMap &request, const QVariantMap &reply)
{
    auto thread = std::make_unique<ListenThread>();
    thread->setUuid(uuid);
    thread->setMaps(request, reply);
    const quint64 generation = m_generation;
    connect(thread.get(), &ListenThread::recvStep, this, [this, generation](const QString &id, int v) {
        if (generation == m_generation)
            emit value(id, v);
    });
    connect(thread.get(), &ListenThread::recvValue, this,
            [this, generation](const QString &id, const QString &key, const QString &text) {
                if (generation == m_generation)
                    emit valueText(id, key, text);
            });
    thread->start();
    m_threads.push_back(std::move(thread));
}

void Listeners::stopAll()
{
    ++m_generation;
    if (m_threads.empty())
        return;
    for (auto &thread : m_threads)
        thread->quit(); // all at once; clear() joins them
    KINFO(lcLevels) << m_threads.size() << "listeners stopped";
    m_threads.clear();
}

} // namespace kora::levels
