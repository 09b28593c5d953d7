// The node scan that finds the host, and discovery.
#include "controller/imserverapi.h"

#include "discovery/ssdpthread.h"
#include "link/messages.h"
#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"
#include "upload/uploader.h"

#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTextCodec>
#include <QTimer>

using namespace kora;

// As a login begins: the sockets move to the local address, the client announces itself,
// then scans for nodes and asks the host service for its devices.
void ImServerApi::InitSocket()
{
    m_link->bindTo(m_store.values.localIp);
    m_uploads->sendFrom(m_link->commandDescriptor());
    sendNotify(true);
    // Devices see the announcement before the scan, as they expect; a single-shot timer
    // keeps that order without blocking the window for the 15 ms.
    // A later login's scan replaces this one's.
    QTimer::singleShot(15, Qt::PreciseTimer, this, [this, login = m_loginCount] {
        if (login != m_loginCount)
            return;
        ServerScanNode();
        const QByteArray getDev = link::requestEnvelope(QStringLiteral("GetDev"));
        KINFO(lcLink) << "GetDev" << getDev;
        m_link->sendVia(link::Socket::Host, link::hostRequest(), getDev);
    });
}

void ImServerApi::ServerScanNode()
{
    const QByteArray scan = link::textCommand(QStringLiteral("GetNodes2"));
    m_link->sendScan(link::wallMulticast(), scan);
    m_login->scan();
    emit callDownProgress(QStringLiteral("Scan begins"), 0);
}

void ImServerApi::handleScanReply(const QByteArray &datagram, const QString &sender)
{
    const link::ScanReply reply = link::parseScanReply(datagram);
    if (reply.kind == link::ScanReply::Other) {
        KTRACE(lcLink) << "scan: ignored a datagram from" << sender << "of" << datagram.size() << "bytes";
        return;
    }
    if (!m_login->scanWindowOpen()) {
        // The window has closed: a late reply must not start a download the login has
        // already gone past (or ended).
        KTRACE(lcLink) << "scan: reply from" << sender << "after the window closed ignored";
        return;
    }
    auto indexOf = [this](const QString &address) {
        for (int i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes.at(i).address == address)
                return i;
        }
        return -1;
    };

    if (reply.kind == link::ScanReply::Nodes2) {
        m_login->scanReplied();
        if (indexOf(sender) < 0)
            m_nodes.append({sender, reply.hostTag});
        QElapsedTimer took;
        took.start();
        if (reply.rejectedFiles > 0)
            KWARN(lcLink) << "scan: ignored" << reply.rejectedFiles << "malformed or unsafe file entries from" << sender;
        if (link::becomesHost(reply, m_hostIndex, m_store.values.downIp, sender)) {
            m_hostIndex = indexOf(sender);
            QList<download::FileEntry> files;
            for (const link::ScanFile &f : reply.files)
                files.append({f.name, f.md5});
            m_download->setListed(files);
            KINFO(lcLink) << "host" << sender << "project" << reply.project << "files" << files.size();
        }
        KTRACE(lcLink) << "The operation took" << took.elapsed() << "milliseconds";
        return;
    }

    // The older reply form. Once a host is chosen, another node's mark changes nothing: the
    // download under way keeps its form.
    if (m_hostIndex == -1 && reply.olderB != QLatin1String("0") && reply.olderB != m_projectMark) {
        m_picturesChanged = true;
        m_projectMark = reply.olderB;
    }
    if (indexOf(sender) >= 0)
        return;
    m_nodes.append({sender, reply.hostTag});
    if (m_hostIndex == -1 && reply.hostTag != QLatin1String("-1") && reply.hostTag != QLatin1String("100")
        && reply.olderA != QLatin1String("0")) {
        m_hostIndex = m_nodes.size() - 1;
        m_download->startOlder(m_picturesChanged);
    }
}

void ImServerApi::scanTimeout()
{
    emit callDownProgress(QStringLiteral("Scan end"), 0);
    if (!m_nodes.isEmpty()) {
        DownloadFile();
        return;
    }
    KWARN(lcLink) << "no node answered the scan";
    loginTimeout();
}

QString ImServerApi::ssdpServerText() const
{
    return QStringLiteral("%1/%2, korav2/%3").arg(QSysInfo::productType(), QSysInfo::productVersion(), m_version);
}

QString ImServerApi::ssdpUsn() const
{
    return QStringLiteral("uuid:%1::%2").arg(QString::fromLatin1(QSysInfo::machineUniqueId()),
                                              QLatin1String(discovery::kServiceType));
}

void ImServerApi::sendNotify(bool alive)
{
    const QByteArray notify = discovery::composeNotify(ssdpServerText(), ssdpUsn(), alive);
    SsdpThread *worker = m_ssdpWorker;
    QMetaObject::invokeMethod(worker, [worker, notify] {
        worker->sendData(notify, QLatin1String(discovery::kGroup), discovery::kPort);
    }, Qt::QueuedConnection);
}

void ImServerApi::sendSsdpAnswer(const QString &address, quint16 port)
{
    const QByteArray answer = discovery::composeAnswer(ssdpServerText(), ssdpUsn());
    SsdpThread *worker = m_ssdpWorker;
    QMetaObject::invokeMethod(worker, [worker, answer, address, port] { worker->sendData(answer, address, port); },
                              Qt::QueuedConnection);
}

void ImServerApi::recvSsdp(QJsonObject obj, QString ip, quint16 port)
{
    if (obj.value(QStringLiteral("type")).toString() != QLatin1String("search"))
        return;
    const int delay = discovery::answerDelayMs(QRandomGenerator::global()->generate(), obj.value(QStringLiteral("mx")).toInt());
    KTRACE(lcDiscovery) << "search from" << ip << port << "answered in" << delay << "ms";
    QTimer::singleShot(delay, this, [this, ip, port] { sendSsdpAnswer(ip, port); });
}

void ImServerApi::recvSsdpSearch(QJsonObject obj, QString ip)
{
    const QString server = obj.value(QStringLiteral("server")).toString();
    const QString uuid = discovery::uuidFromUsn(obj.value(QStringLiteral("usn")).toString());
    KTRACE(lcDiscovery) << "ssdp answer from" << ip << server << uuid;
    for (FoundPeer &peer : m_foundPeers) {
        if (peer.address == ip) {
            peer.server = server;
            return;
        }
    }
    if (m_foundPeers.size() >= 1024) // answers are unauthenticated; keep the list bounded
        return;
    m_foundPeers.append({ip, uuid, server});
}

void ImServerApi::getIPCfromServer()
{
    const QByteArray request = link::requestEnvelope(QStringLiteral("GetSignalResourcesTreePage"),
                                                     QJsonObject{{QStringLiteral("per_num"), 50}});
    KINFO(lcLink) << "getIPCfromServer" << request;
    m_link->sendTo(link::serverRelay(m_store.values.serverIp), request);
}
