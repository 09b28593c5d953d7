// The node scan that finds the host, and discovery.
#include "controller/imserverapi.h"

#include "discovery/discovery.h"
#include "link/messages.h"
#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"
#include "upload/uploader.h"

#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QTextCodec>
#include <QTimer>

using namespace kora;

// As a login begins: the sockets move to the local address, the client announces itself,
// then scans for nodes and asks the host service for its devices.
void ImServerApi::InitSocket()
{
    m_link->bindTo(m_store.values.localIp);
    m_uploads->sendFrom(m_link->commandDescriptor());
    m_discovery->notify();
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

void ImServerApi::getIPCfromServer()
{
    const QByteArray request = link::requestEnvelope(QStringLiteral("GetSignalResourcesTreePage"),
                                                     QJsonObject{{QStringLiteral("per_num"), 50}});
    KINFO(lcLink) << "getIPCfromServer" << request;
    m_link->sendTo(link::serverRelay(m_store.values.serverIp), request);
}
