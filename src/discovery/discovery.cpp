#include "discovery/discovery.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QRandomGenerator>
#include <QSysInfo>
#include <QTimer>

namespace kora::discovery {

Discovery::Discovery(const QString &version, QObject *parent)
    : QObject(parent)
    , m_version(version)
    , m_worker(new SsdpThread(QString()))
{
    m_thread.setObjectName(QStringLiteral("discovery"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SsdpThread::recvData, this, &Discovery::recvSsdp, Qt::QueuedConnection);
    connect(m_worker, &SsdpThread::recvDataFromSearch, this, &Discovery::recvSsdpSearch, Qt::QueuedConnection);
}

Discovery::~Discovery()
{
    const bool started = m_thread.isRunning() || m_thread.isFinished();
    shutdown();
    if (!started)
        delete m_worker; // its thread never ran, so it cannot delete it
}

void Discovery::start()
{
    m_thread.start(QThread::InheritPriority);
    SsdpThread *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] {
        worker->start();
        worker->search(QLatin1String(kServiceType));
    }, Qt::QueuedConnection);
}

void Discovery::shutdown()
{
    m_thread.quit();
    m_thread.wait();
}

QString Discovery::serverText() const
{
    return QStringLiteral("%1/%2, korav2/%3").arg(QSysInfo::productType(), QSysInfo::productVersion(), m_version);
}

QString Discovery::usn() const
{
    return QStringLiteral("uuid:%1::%2").arg(QString::fromLatin1(QSysInfo::machineUniqueId()), QLatin1String(kServiceType));
}

void Discovery::send(const QByteArray &data, const QString &address, quint16 port)
{
    SsdpThread *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, data, address, port] { worker->sendData(data, address, port); },
                              Qt::QueuedConnection);
}

void Discovery::notify()
{
    send(composeNotify(serverText(), usn(), true), QLatin1String(kGroup), kPort);
}

void Discovery::recvSsdp(const QJsonObject &obj, const QString &ip, quint16 port)
{
    if (obj.value(QStringLiteral("type")).toString() != QLatin1String("search"))
        return;
    const int delay = answerDelayMs(QRandomGenerator::global()->generate(), obj.value(QStringLiteral("mx")).toInt());
    KTRACE(lcDiscovery) << "search from" << ip << port << "answered in" << delay << "ms";
    QTimer::singleShot(delay, this, [this, ip, port] { send(composeAnswer(serverText(), usn()), ip, port); });
}

void Discovery::recvSsdpSearch(const QJsonObject &obj, const QString &ip)
{
    const QString server = obj.value(QStringLiteral("server")).toString();
    const QString uuid = uuidFromUsn(obj.value(QStringLiteral("usn")).toString());
    KTRACE(lcDiscovery) << "ssdp answer from" << ip << server << uuid;
    for (Peer &peer : m_peers) {
        if (peer.address == ip) {
            peer.server = server;
            return;
        }
    }
    if (m_peers.size() < kMaxPeers)
        m_peers.append({ip, uuid, server});
}

} // namespace kora::discovery
