#include "nodes/qnodequery.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

using namespace kora;

// ---- QNodeQuery

QNodeQuery::QNodeQuery(const QHostAddress &localAddress, quint16 localPort, int type, int periodMs, QObject *parent)
    : QObject(parent)
    , m_localAddress(localAddress)
    , m_localPort(localPort)
    , m_type(type)
    , m_periodMs(periodMs)
{
}

void QNodeQuery::startQuery()
{
    m_socket = new QUdpSocket(this);
    const QHostAddress local = m_localAddress.isNull() ? QHostAddress(QHostAddress::AnyIPv4) : m_localAddress;
    if (!m_socket->bind(local, m_localPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        KWARN(lcNodes) << "node status socket not bound to" << local.toString() << m_localPort << m_socket->errorString();
    connect(m_socket, &QUdpSocket::readyRead, this, &QNodeQuery::recvFromSendSocket);
    KTRACE(lcNodes) << "thread " << QThread::currentThreadId() << "type" << m_type << "port" << m_socket->localPort();
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &QNodeQuery::timerQueryOutEvent);
    m_timer->start(m_periodMs);
}

void QNodeQuery::insertIPList(const QString &ip)
{
    if (!nodes::addWatch(m_ipList, ip))
        return;
    m_silence.forget(ip);
    restart();
}

void QNodeQuery::deleteIPList(const QString &ip)
{
    if (!nodes::removeWatch(m_ipList, ip))
        return;
    m_silence.forget(ip);
    restart();
}

void QNodeQuery::setIpList(const QStringList &value)
{
    m_ipList.clear();
    for (const QString &ip : value)
        nodes::addWatch(m_ipList, ip);
    m_silence = nodes::Silence();
    restart();
}

void QNodeQuery::restart()
{
    if (m_timer)
        m_timer->stop();
    sendRequest();
    if (m_timer)
        m_timer->start(m_periodMs);
}

void QNodeQuery::timerQueryOutEvent()
{
    for (const QString &ip : m_silence.periodEnd(m_ipList)) {
        KTRACE(lcNodes) << "node" << ip << "left" << nodes::kSilentPolls << "status requests unanswered";
        emit noAnswer(ip);
    }
    sendRequest();
}

void QNodeQuery::sendRequest()
{
    if (!m_socket || m_ipList.isEmpty())
        return;
    const QByteArray request = nodes::statusRequest();
    const quint16 port = nodes::nodePort(m_type);
    KTRACE(lcNodes) << "status request to" << m_ipList.size() << "nodes on" << port << request;
    for (const QString &ip : qAsConst(m_ipList)) {
        if (m_socket->writeDatagram(request, QHostAddress(ip), port) < 0 && m_throttle.allow(QStringLiteral("send")))
            KWARN(lcNodes) << "status request to" << ip << "not sent:" << m_socket->errorString();
    }
}

void QNodeQuery::recvFromSendSocket()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const QString sender = QHostAddress(datagram.senderAddress().toIPv4Address()).toString();
        const std::optional<nodes::SysMsg> msg = nodes::parseSysMsg(datagram.data());
        if (!msg) {
            int skipped = 0;
            if (m_throttle.allow(QStringLiteral("ignored"), &skipped))
                KTRACE(lcNodes) << "ignored" << datagram.data().size() << "bytes from" << sender << "(" << skipped << "more held back)";
            continue;
        }
        if (m_ipList.contains(sender))
            m_silence.answered(sender);
        // A node no longer watched may still answer a request it got; it is reported too.
        emit resultSysMsg(*msg, sender);
    }
}

// ---- QNodeControl

QNodeControl::QNodeControl(const QHostAddress &localAddress, quint16 localPort, int periodMs, QObject *parent)
    : QObject(parent)
    , m_localAddress(localAddress)
{
    qRegisterMetaType<nodes::SysMsg>();
    qRegisterMetaType<nodes::SysMsg>("SysMsg");
    startPoller(m_vdec, 1, QStringLiteral("node-decoders"), localPort, periodMs);
    startPoller(m_venc, 0, QStringLiteral("node-encoders"), localPort, periodMs);
}

QNodeControl::~QNodeControl()
{
    shutdown();
}

void QNodeControl::startPoller(Poller &poller, int type, const QString &threadName, quint16 localPort, int periodMs)
{
    poller.thread = new QThread(this);
    poller.thread->setObjectName(threadName);
    poller.query = new QNodeQuery(m_localAddress, localPort, type, periodMs);
    poller.query->moveToThread(poller.thread);
    // Freed in its own thread, after the thread's last event.
    connect(poller.thread, &QThread::finished, poller.query, &QObject::deleteLater);
    connect(poller.query, &QNodeQuery::resultSysMsg, this,
            type == 1 ? &QNodeControl::onVdecQuerySysMsg : &QNodeControl::onVencQuerySysMsg, Qt::QueuedConnection);
    connect(poller.query, &QNodeQuery::noAnswer, this, &QNodeControl::queryNoAnswer, Qt::QueuedConnection);
    poller.thread->start(QThread::InheritPriority);
    QMetaObject::invokeMethod(poller.query, &QNodeQuery::startQuery, Qt::QueuedConnection);
}

void QNodeControl::shutdown()
{
    if (m_stopped)
        return;
    m_stopped = true;
    for (Poller *p : {&m_vdec, &m_venc}) {
        p->thread->quit();
        p->thread->wait();
        p->query = nullptr; // deleted by the thread's finished signal
    }
}

QNodeControl::Poller *QNodeControl::pollerOf(int type)
{
    if (m_stopped)
        return nullptr;
    return type == 1 ? &m_vdec : type == 0 ? &m_venc : nullptr;
}

void QNodeControl::insertMemToQuery(QString ip, int type)
{
    Poller *p = pollerOf(type);
    if (!p || p->watchers.watch(ip) != nodes::Watchers::Change::Insert)
        return;
    KTRACE(lcNodes) << "watch node" << ip << "type" << type;
    QNodeQuery *query = p->query;
    QMetaObject::invokeMethod(query, [query, ip] { query->insertIPList(ip); }, Qt::QueuedConnection);
}

void QNodeControl::deleteMemFromQuery(QString ip, int type)
{
    Poller *p = pollerOf(type);
    if (!p || p->watchers.unwatch(ip) != nodes::Watchers::Change::Delete)
        return;
    KTRACE(lcNodes) << "stop watching node" << ip << "type" << type;
    QNodeQuery *query = p->query;
    QMetaObject::invokeMethod(query, [query, ip] { query->deleteIPList(ip); }, Qt::QueuedConnection);
}

void QNodeControl::onVdecQuerySysMsg(nodes::SysMsg sys_msg, QString node_ip)
{
    emit querySysMsg(nodes::statusMap(sys_msg), node_ip);
}

void QNodeControl::onVencQuerySysMsg(nodes::SysMsg sys_msg, QString node_ip)
{
    emit querySysMsg(nodes::statusMap(sys_msg), node_ip);
}
