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

ListenThread::ListenThread(QObject *parent)
    : QThread(parent)
{
}

ListenThread::~ListenThread()
{
    stop();
}

void ListenThread::setUuid(const QString &uuid)
{
    m_uuid = uuid;
    setObjectName(QStringLiteral("listen ") + uuid);
}

void ListenThread::setMaps(const QVariantMap &request, const QVariantMap &reply)
{
    m_request = request;
    m_reply = reply;
    m_cut = cutFor(reply.value(QStringLiteral("data")).toString(), reply.value(QStringLiteral("key")).toString());
}

void ListenThread::stop()
{
    quit();
    wait();
}

void ListenThread::restart()
{
    stop();
    start();
}

void ListenThread::run()
{
    const QString data = m_request.value(QStringLiteral("data")).toString();
    const QHostAddress target(m_request.value(QStringLiteral("ip")).toString());
    const quint16 targetPort = quint16(m_request.value(QStringLiteral("port")).toUInt());
    const bool hex = isHexType(m_reply.value(QStringLiteral("type")).toString());
    const QString key = m_reply.value(QStringLiteral("key")).toString();
    const quint16 port = quint16(m_reply.value(QStringLiteral("port")).toUInt());

    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        KWARN(lcLevels) << m_uuid << "cannot bind port" << port << socket.errorString();
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBuffer);
    if (m_reply.value(QStringLiteral("protocol")).toString() == QLatin1String("Multicast")) {
        const QString group = m_reply.value(QStringLiteral("ip")).toString();
        const bool joined = socket.joinMulticastGroup(QHostAddress(group));
        KTRACE(lcLevels) << "joinMulticastGroup" << group << joined;
    }

    const auto report = [this, &key](const Reading &r) {
        emit recvStep(m_uuid, r.value);
        emit recvValue(m_uuid, key, r.text);
    };
    connect(&socket, &QUdpSocket::readyRead, &socket, [&socket, &report, hex, this] {
        while (socket.hasPendingDatagrams())
            report(readReply(socket.receiveDatagram().data(), hex, m_cut));
    });

    const auto send = [&socket, &target, targetPort](const QByteArray &payload) {
        socket.writeDatagram(payload, target, targetPort);
    };
    QTimer timer;
    connect(&timer, &QTimer::timeout, &socket, [&, hex] {
        if (isPing(data)) {
            const int reached = ping(target, echoIdentifier(quint64(quintptr(QThread::currentThreadId()))),
                                     nextEchoSequence());
            report({reached, QString::number(reached)});
        } else {
            send(requestPayload(data, hex));
        }
    });

    const QString priming = primingRequest(data);
    if (!priming.isEmpty()) {
        send(priming.toLatin1());
        KTRACE(lcLevels) << m_uuid << "prime" << priming;
        QTimer::singleShot(kPrimingGapMs, &socket, [&] {
            send(data.toLatin1());
            KTRACE(lcLevels) << m_uuid << "query" << data;
        });
    }

    const Schedule schedule = scheduleFor(m_request.value(QStringLiteral("time")).toInt());
    if (!schedule.singleShot)
        KTRACE(lcLevels) << "sendMap" << m_uuid << schedule.intervalMs << m_request;
    timer.setSingleShot(schedule.singleShot);
    timer.setInterval(schedule.intervalMs);
    timer.start();

    exec();
    KTRACE(lcLevels) << "exec" << m_uuid << "ended";
    socket.abort();
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
        thread->quit();
    for (auto &thread : m_threads)
        thread->wait();
    KTRACE(lcLevels) << m_threads.size() << "listeners stopped";
    m_threads.clear();
}

} // namespace kora::levels
