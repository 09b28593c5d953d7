#include "engine.h"

#include "media/media.h"
#include "media/streams.h"
#include "peers/scannode.h"
#include "peers/services.h"
#include "peers/walls.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <cmath>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace lab {

Engine::Engine(const LabConfig &config, Journal &journal, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_journal(journal)
{
    m_clock.start();
}

Engine::~Engine() = default;

void Engine::addPeer(std::unique_ptr<Peer> peer)
{
    m_peers.push_back(std::move(peer));
}

bool Engine::start(QString *error)
{
    QList<PackageFile> files;
    if (!loadPackage(m_config.projectDir, files, error))
        return false;
    m_journal.event(QStringLiteral("lab"), QStringLiteral("package %1: %2 files").arg(m_config.projectDir).arg(files.size()));

    const LabConfig &c = m_config;
    QString project = c.projectName; // the descriptor's name when the package has one
    for (const PackageFile &f : files) {
        if (f.name.endsWith(QLatin1String(".ds")))
            project = f.name.left(f.name.size() - 3);
    }
    auto hostNode = std::make_unique<ScanNodePeer>(QStringLiteral("host-node"), c.address(c.hostNode), c.hostTag,
                                                   project, files, c.fragmentSize, m_faults);
    ScanNodePeer *host = hostNode.get();
    addPeer(std::move(hostNode));
    addPeer(std::make_unique<ScanNodePeer>(QStringLiteral("spare-node"), c.address(c.spareNode), QStringLiteral("2"),
                                           QString(), QList<PackageFile>{}, c.fragmentSize, m_faults));
    addPeer(std::make_unique<HostServicePeer>(c.address(c.hostService), QStringLiteral("kvm-1")));
    addPeer(std::make_unique<DiscoveryPeer>(c.address(c.discovery)));
    addPeer(std::make_unique<EquipmentPeer>(c.address(c.equipment), c.equipmentUdpPorts));
    addPeer(std::make_unique<EventSourcePeer>(c.address(c.eventSource)));
    addEncoderPeers();
    addWallPeers();
    if (m_walls)
        host->setStatusStore([this, host](const Datagram &in) { return m_walls->handle(in, host->address(), true); });

    bool ok = true;
    for (const auto &peer : m_peers) {
        for (quint16 port : peer->udpPorts()) {
            Socket *s = bindUdp(peer->address(), port, false, error);
            if (!s) {
                ok = false;
                continue;
            }
            s->peers.append(peer.get());
        }
        for (const Endpoint &group : peer->groups()) {
            Socket *s = bindUdp(group.address, group.port, true, error);
            if (!s) {
                ok = false;
                continue;
            }
            s->peers.append(peer.get());
        }
    }
    for (quint16 port : c.equipmentTcpPorts)
        ok = listenTcp(c.address(c.equipment), port, QStringLiteral("equipment"), error) && ok;
    silenceTcp();
    m_faults.rtspDrop = false; // nobody to drop yet
    if (m_media)
        m_media->start(m_faults);
    // Peers notice silence too (an upload that stopped short), not only datagrams.
    auto *tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] {
        for (const auto &peer : m_peers)
            journalEvents(peer.get());
    });
    tick->start(1000);
    m_journal.event(QStringLiteral("lab"), ok ? QStringLiteral("ready") : QStringLiteral("started with errors"));
    for (const auto &peer : m_peers) {
        for (const Outgoing &out : peer->announce())
            send(peer.get(), out, peer->udpPorts().value(0));
    }
    return ok;
}

void Engine::addEncoderPeers()
{
    const LabConfig &c = m_config;
    m_media = std::make_unique<Media>(c, m_journal);
    for (int i = 0; i < c.encoderCount; ++i) {
        const int host = c.firstEncoder + i;
        auto encoder = std::make_unique<EncoderPeer>(i + 1, c.address(host));
        const QList<StreamPlan> streams = encoderStreams(c, host);
        if (!streams.isEmpty()) {
            EncoderPeer::Streams s;
            s.mainUrl = streams.at(0).url();
            s.subUrl = streams.at(1).url();
            s.mainGroup = streams.at(0).group;
            s.subGroup = streams.at(1).group;
            s.resolution = QStringLiteral("%1x%2").arg(c.mainSize.width()).arg(c.mainSize.height());
            s.fps = c.mainFps;
            const QString name = encoder->name();
            encoder->setStreams(s, [this, host, name](const Datagram &in) { m_media->request(host, name, in); });
        }
        addPeer(std::move(encoder));
    }
}

Engine::Socket *Engine::bindUdp(const QHostAddress &address, quint16 port, bool group, QString *error)
{
    for (const auto &s : m_sockets) {
        if (s->address == address && s->port == port)
            return s.get();
    }
    auto s = std::make_unique<Socket>();
    s->socket = new QUdpSocket(this);
    s->address = address;
    s->port = port;
    if (!s->socket->bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        const QString why = QStringLiteral("cannot bind %1:%2: %3").arg(address.toString()).arg(port).arg(s->socket->errorString());
        m_journal.event(QStringLiteral("lab"), why);
        if (error)
            *error = why;
        delete s->socket;
        return nullptr;
    }
    s->socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    s->socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 * 1024 * 1024);
    if (group && address != QHostAddress::Broadcast && !s->socket->joinMulticastGroup(address)) {
        const QString why = QStringLiteral("cannot join %1: %2").arg(address.toString(), s->socket->errorString());
        m_journal.event(QStringLiteral("lab"), why);
        if (error)
            *error = why;
    }
    Socket *raw = s.get();
    connect(raw->socket, &QUdpSocket::readyRead, this, [this, raw] { readSocket(raw); });
    m_sockets.push_back(std::move(s));
    return raw;
}

void Engine::readSocket(Socket *s)
{
    while (s->socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = s->socket->receiveDatagram(65536);
        ++m_received;
        Datagram in;
        in.data = datagram.data();
        in.sender = QHostAddress(datagram.senderAddress().toIPv4Address());
        in.senderPort = quint16(datagram.senderPort());
        in.destination = s->address;
        in.destinationPort = s->port;
        in.receivedMs = m_clock.elapsed();
        const bool unicast = s->peers.size() == 1 && s->peers.first()->address() == s->address;
        const bool lost = m_inboundLoss.drops(m_faults, in.destinationPort);
        JournalEntry entry{unicast ? s->peers.first()->name() : QStringLiteral("group ") + s->address.toString(),
                           lost ? QStringLiteral("drop") : QStringLiteral("in"), QStringLiteral("udp"), in.sender,
                           in.senderPort, in.destination, in.destinationPort, in.data,
                           lost ? QStringLiteral("inbound loss") : QString()};
        m_journal.write(entry);
        if (lost)
            continue;
        for (Peer *peer : s->peers)
            deliver(peer, in);
    }
}

void Engine::deliver(Peer *peer, const Datagram &in)
{
    ++m_inByPeer[peer->name()];
    if (m_faults.silentPeers.contains(peer->name()))
        return;
    const QList<Outgoing> replies = peer->handle(in);
    journalEvents(peer);
    QList<Outgoing> burst;
    for (const Outgoing &out : replies) {
        if (out.bulk)
            burst.append(out);
        else
            send(peer, out, in.destinationPort);
    }
    if (!burst.isEmpty())
        sendBurst(peer, burst, in.destinationPort);
}

void Engine::journalEvents(Peer *peer)
{
    for (const QString &note : peer->takeEvents(m_clock.elapsed()))
        m_journal.event(peer->name(), note);
}

void Engine::sendBurst(Peer *peer, const QList<Outgoing> &burst, quint16 defaultPort)
{
    Socket *from = socketFor(peer, burst.first().fromPort ? burst.first().fromPort : defaultPort);
    if (!from) {
        m_journal.event(peer->name(), QStringLiteral("no socket to answer from"));
        return;
    }
    // A file leaves at wire speed; its journal lines are written once the burst is out.
    struct Sent {
        qint64 msecs;
        int error;
    };
    std::vector<Sent> sent;
    sent.reserve(size_t(burst.size()));
    for (const Outgoing &out : burst) {
        const int error = sendDatagram(from, out);
        sent.push_back({QDateTime::currentMSecsSinceEpoch(), error});
        if (m_config.fragmentGapUs > 0)
            QThread::usleep(ulong(m_config.fragmentGapUs));
    }
    for (int i = 0; i < burst.size(); ++i)
        journalSend(from, peer, burst.at(i), sent[size_t(i)].error, QDateTime::fromMSecsSinceEpoch(sent[size_t(i)].msecs, Qt::UTC));
}

Peer *Engine::peerNamed(const QString &name) const
{
    for (const auto &p : m_peers) {
        if (p->name() == name)
            return p.get();
    }
    return nullptr;
}

Engine::Socket *Engine::socketFor(const Peer *peer, quint16 port)
{
    Socket *any = nullptr;
    for (const auto &s : m_sockets) {
        if (s->address != peer->address())
            continue;
        if (s->port == port)
            return s.get();
        any = any ? any : s.get();
    }
    return any;
}

void Engine::send(Peer *peer, const Outgoing &original, quint16 defaultPort)
{
    Outgoing out = original;
    Socket *from = socketFor(peer, out.fromPort ? out.fromPort : defaultPort);
    if (!from) {
        m_journal.event(peer->name(), QStringLiteral("no socket to answer from"));
        return;
    }
    out.data = mangle(m_faults, out.data);
    const int delay = out.delayMs + m_faults.delayMs;
    if (delay <= 0) {
        sendNow(from, peer, out);
        return;
    }
    QTimer::singleShot(delay, this, [this, from, peer, out] { sendNow(from, peer, out); });
}

int Engine::sendDatagram(Socket *from, const Outgoing &out)
{
    // A burst can outrun the socket's send buffer; wait for room instead of dropping,
    // as a device's own stack would.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(out.port);
    to.sin_addr.s_addr = htonl(out.to.toIPv4Address());
    const int fd = int(from->socket->socketDescriptor());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const ssize_t n = ::sendto(fd, out.data.constData(), size_t(out.data.size()), 0,
                                   reinterpret_cast<const sockaddr *>(&to), sizeof to);
        if (n == out.data.size())
            return 0;
        if (n >= 0)
            return EMSGSIZE;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS)
            return errno;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return EAGAIN;
}

void Engine::journalSend(Socket *from, const Peer *peer, const Outgoing &out, int error, const QDateTime &when)
{
    JournalEntry entry{peer->name(), error == 0 ? QStringLiteral("out") : QStringLiteral("drop"), QStringLiteral("udp"),
                       from->address, from->port, out.to, out.port, out.data,
                       error == 0 ? QString() : QStringLiteral("send failed: %1").arg(qt_error_string(error))};
    m_journal.write(entry, when);
    if (error == 0) {
        ++m_sent;
        ++m_outByPeer[peer->name()];
    }
}

void Engine::sendNow(Socket *from, const Peer *peer, const Outgoing &out)
{
    journalSend(from, peer, out, sendDatagram(from, out), QDateTime::currentDateTimeUtc());
}

bool Engine::listenTcp(const QHostAddress &address, quint16 port, const QString &peerName, QString *error)
{
    auto *server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        const QString why = QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(server->errorString());
        m_journal.event(peerName, why);
        if (error)
            *error = why;
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server, peerName] {
        while (QTcpSocket *client = server->nextPendingConnection()) {
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QTcpSocket::readyRead, this, [this, client, peerName] {
                const QByteArray data = client->readAll();
                ++m_received;
                ++m_inByPeer[peerName];
                m_journal.write({peerName, QStringLiteral("in"), QStringLiteral("tcp"), QHostAddress(client->peerAddress().toIPv4Address()),
                                 client->peerPort(), QHostAddress(client->localAddress().toIPv4Address()), client->localPort(), data, QString()});
            });
            m_journal.event(peerName, QStringLiteral("tcp connection from %1:%2").arg(QHostAddress(client->peerAddress().toIPv4Address()).toString()).arg(client->peerPort()));
        }
    });
    m_tcpServers.append({server, address, port, peerName});
    return true;
}

void Engine::silenceTcp()
{
    for (const TcpPort &t : qAsConst(m_tcpServers)) {
        const bool silent = m_faults.silentPeers.contains(t.peer);
        if (silent && t.server->isListening()) {
            t.server->close();
            for (QTcpSocket *client : t.server->findChildren<QTcpSocket *>())
                client->disconnectFromHost();
            m_journal.event(t.peer, QStringLiteral("tcp port %1 closed").arg(t.port));
        } else if (!silent && !t.server->isListening()) {
            if (t.server->listen(t.address, t.port))
                m_journal.event(t.peer, QStringLiteral("tcp port %1 open again").arg(t.port));
            else
                m_journal.event(t.peer, QStringLiteral("cannot listen on %1:%2 again: %3").arg(t.address.toString()).arg(t.port).arg(t.server->errorString()));
        }
    }
}

bool Engine::listenControl(const QString &path, QString *error)
{
    QLocalServer::removeServer(path);
    m_control = new QLocalServer(this);
    if (!m_control->listen(path)) {
        if (error)
            *error = QStringLiteral("cannot open the control socket %1: %2").arg(path, m_control->errorString());
        return false;
    }
    connect(m_control, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_control->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine())
                    handleControlLine(client, client->readLine());
                if (client->bytesAvailable() > 1024 * 1024) // no line end in sight: not a control client
                    client->abort();
            });
        }
    });
    return true;
}

void Engine::handleControlLine(QLocalSocket *client, const QByteArray &line)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    const QJsonObject answer = doc.isObject()
                                   ? control(doc.object())
                                   : QJsonObject{{"ok", false}, {"error", parseError.errorString()}};
    client->write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
}

QJsonObject Engine::control(const QJsonObject &command)
{
    const QString cmd = command.value(QStringLiteral("cmd")).toString();
    auto fail = [](const QString &why) { return QJsonObject{{"ok", false}, {"error", why}}; };
    m_journal.event(QStringLiteral("control"), QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact)));

    if (cmd == QLatin1String("ping"))
        return QJsonObject{{"ok", true}};
    if (cmd == QLatin1String("faults")) {
        FaultPlan plan = command.value(QStringLiteral("reset")).toBool() ? FaultPlan() : m_faults;
        QString error;
        if (!FaultPlan::fromJson(command.value(QStringLiteral("set")).toObject(), plan, &error))
            return fail(error);
        plan.generation = m_faults.generation + 1;
        if (m_media)
            m_media->setFaults(plan);
        plan.rtspDrop = false; // done: a later plan does not drop again
        m_faults = plan;
        silenceTcp();
        return QJsonObject{{"ok", true}, {"faults", m_faults.toJson()}};
    }
    if (cmd == QLatin1String("stats")) {
        QJsonObject in, out;
        for (auto it = m_inByPeer.begin(); it != m_inByPeer.end(); ++it)
            in.insert(it.key(), double(it.value()));
        for (auto it = m_outByPeer.begin(); it != m_outByPeer.end(); ++it)
            out.insert(it.key(), double(it.value()));
        return QJsonObject{{"ok", true}, {"received", double(m_received)}, {"sent", double(m_sent)}, {"in", in}, {"out", out}};
    }
    if (cmd == QLatin1String("peers")) {
        QJsonArray peers;
        for (const auto &peer : m_peers)
            peers.append(QJsonObject{{"name", peer->name()}, {"address", peer->address().toString()}});
        return QJsonObject{{"ok", true}, {"peers", peers}};
    }
    if (cmd == QLatin1String("announce")) {
        // Peers announce themselves again, e.g. once a client is up to hear it.
        for (const auto &peer : m_peers) {
            for (const Outgoing &out : peer->announce())
                send(peer.get(), out, peer->udpPorts().value(0));
        }
        return QJsonObject{{"ok", true}};
    }
    if (cmd == QLatin1String("send")) {
        // Lets a test play a device that speaks first, or speaks nonsense.
        Peer *peer = peerNamed(command.value(QStringLiteral("peer")).toString());
        const QHostAddress to(command.value(QStringLiteral("to")).toString());
        const int port = command.value(QStringLiteral("port")).toInt();
        const QByteArray data = command.contains(QStringLiteral("hex"))
                                    ? QByteArray::fromHex(command.value(QStringLiteral("hex")).toString().toLatin1())
                                    : command.value(QStringLiteral("text")).toString().toUtf8();
        if (!peer || to.isNull() || port <= 0 || port > 65535)
            return fail(QStringLiteral("send needs a known peer, an address and a port"));
        send(peer, {data, to, quint16(port), quint16(command.value(QStringLiteral("fromPort")).toInt()), 0, false},
             peer->udpPorts().value(0));
        return QJsonObject{{"ok", true}};
    }
    if (cmd == QLatin1String("alarm"))
        return alarmControl(command);
    if (cmd == QLatin1String("level"))
        return levelControl(command);
    if (m_walls) {
        const QJsonObject answer = wallControl(command);
        if (!answer.isEmpty())
            return answer;
    }
    if (m_media) {
        const QJsonObject answer = mediaControl(command);
        if (!answer.isEmpty())
            return answer;
    }
    return fail(QStringLiteral("unknown command \"%1\"").arg(cmd));
}

} // namespace lab

namespace lab {

QJsonObject Engine::mediaControl(const QJsonObject &command)
{
    const QString cmd = command.value(QStringLiteral("cmd")).toString();
    if (cmd == QLatin1String("streams"))
        return QJsonObject{{"ok", true}, {"streams", m_media->streams()}};
    if (cmd == QLatin1String("frames")) {
        if (!command.value(QStringLiteral("on")).isBool())
            return QJsonObject{{"ok", false}, {"error", "frames needs \"on\": true or false"}};
        m_media->setJournalFrames(command.value(QStringLiteral("on")).toBool());
        return QJsonObject{{"ok", true}};
    }
    return {};
}

} // namespace lab

namespace lab {

QJsonObject Engine::alarmControl(const QJsonObject &command)
{
    // The rest of the command is the alarm's data, as the clients read it. "count" alarms
    // (at most 10000) spread evenly over "spreadMs" make a flood; each has its own event id
    // or input address ("-N" after the given one).
    QJsonObject data = command;
    for (const char *key : {"cmd", "kind", "response", "to", "port", "count", "spreadMs"})
        data.remove(QLatin1String(key));
    const QString kind = command.value(QStringLiteral("kind")).toString();
    const bool answered = command.value(QStringLiteral("response")).toBool();
    const QByteArray message = EventSourcePeer::alarm(kind, data, answered);
    const QHostAddress to = command.contains(QStringLiteral("to")) ? QHostAddress(command.value(QStringLiteral("to")).toString())
                                                                  : EventSourcePeer::Group;
    const int port = command.value(QStringLiteral("port")).toInt(EventSourcePeer::Port);
    const int count = command.value(QStringLiteral("count")).toInt(1);
    const int spreadMs = command.value(QStringLiteral("spreadMs")).toInt(0);
    Peer *source = peerNamed(QStringLiteral("event-source"));
    if (message.isEmpty() || to.protocol() != QAbstractSocket::IPv4Protocol || port <= 0 || port > 65535 || !source
        || count < 1 || count > 10000 || spreadMs < 0 || spreadMs > 600000)
        return QJsonObject{{"ok", false}, {"error", "alarm needs \"kind\" ActiveAudio or ActiveInput, a good \"to\" and \"port\", "
                                                    "\"count\" 1-10000 and \"spreadMs\" 0-600000"}};
    if (count == 1) {
        send(source, {message, to, quint16(port), 0, 0, false}, EventSourcePeer::Port);
        return QJsonObject{{"ok", true}, {"sent", QString::fromUtf8(message)}};
    }
    const QString idKey = kind == QLatin1String("ActiveAudio") ? QStringLiteral("eventID") : QStringLiteral("src_ip");
    const QString base = data.value(idKey).toString();
    for (int i = 0; i < count; ++i) {
        data.insert(idKey, base + QLatin1Char('-') + QString::number(i));
        send(source, {EventSourcePeer::alarm(kind, data, answered), to, quint16(port), 0, int(qint64(spreadMs) * i / count), false},
             EventSourcePeer::Port);
    }
    return QJsonObject{{"ok", true}, {"sent", count}};
}

} // namespace lab

namespace lab {

QJsonObject Engine::levelControl(const QJsonObject &command)
{
    // {"channel":1,"dB":-6} holds the equipment's channel there, "dB": null releases it. The
    // hex answers carry whole dB in 16 bits and the channel in one byte.
    auto *equipment = dynamic_cast<EquipmentPeer *>(peerNamed(QStringLiteral("equipment")));
    const QJsonValue channel = command.value(QStringLiteral("channel"));
    const QJsonValue dB = command.value(QStringLiteral("dB"));
    const double c = channel.toDouble(-1);
    const bool goodChannel = channel.isDouble() && c >= 0 && c <= 255 && c == std::floor(c);
    const bool goodLevel = dB.isNull() || (dB.isDouble() && dB.toDouble() >= -32768 && dB.toDouble() <= 32767);
    if (!equipment || !goodChannel || !goodLevel)
        return QJsonObject{{"ok", false}, {"error", "level needs the equipment, a \"channel\" 0-255 and a \"dB\" in 16 bits or null"}};
    if (dB.isNull())
        equipment->releaseLevel(int(c));
    else
        equipment->holdLevel(int(c), dB.toDouble());
    return QJsonObject{{"ok", true}};
}

} // namespace lab
