#pragma once
// The lab's engine: binds every peer's endpoints on the device side, hands each datagram to
// the peers that would hear it, journals everything in and out, applies the fault plan and
// answers the control socket. Everything here runs in the main thread; the media
// (media/media.h) streams and encodes in threads of its own.
#include "faults.h"
#include "journal.h"
#include "labconfig.h"
#include "peer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QTcpServer;
class QUdpSocket;

namespace lab {

class Media;
class WallSystem;

class Engine : public QObject
{
    Q_OBJECT
public:
    Engine(const LabConfig &config, Journal &journal, QObject *parent = nullptr);
    ~Engine() override;

    // Builds the peers of the configuration (the package must load) and binds them all.
    // Returns false, with every failure journaled and in `error`, when something cannot bind.
    bool start(QString *error);
    bool listenControl(const QString &path, QString *error);

    FaultPlan &faults() { return m_faults; }
    void addPeer(std::unique_ptr<Peer> peer);
    QJsonObject control(const QJsonObject &command); // one control command, its answer

    quint64 received() const { return m_received; }
    quint64 sent() const { return m_sent; }

private:
    struct Socket {
        QUdpSocket *socket = nullptr;
        QHostAddress address; // bound address: a peer's own, a group or the broadcast address
        quint16 port = 0;
        QList<Peer *> peers;
    };
    Socket *bindUdp(const QHostAddress &address, quint16 port, bool group, QString *error);
    void readSocket(Socket *socket);
    void deliver(Peer *peer, const Datagram &in);
    void journalEvents(Peer *peer);
    void send(Peer *peer, const Outgoing &out, quint16 defaultPort);
    void sendBurst(Peer *peer, const QList<Outgoing> &burst, quint16 defaultPort);
    void sendNow(Socket *from, const Peer *peer, const Outgoing &out);
    int sendDatagram(Socket *from, const Outgoing &out); // 0 or the errno of the failure
    void journalSend(Socket *from, const Peer *peer, const Outgoing &out, int error, const QDateTime &when);
    Socket *socketFor(const Peer *peer, quint16 port);
    Peer *peerNamed(const QString &name) const;
    bool listenTcp(const QHostAddress &address, quint16 port, const QString &peerName, QString *error);
    // A silent peer's TCP ports close (their connections too) and open again when it speaks.
    void silenceTcp();
    void handleControlLine(QLocalSocket *client, const QByteArray &line);
    void addWallPeers();
    QJsonObject wallControl(const QJsonObject &command); // empty: not a wall command
    QJsonObject mediaControl(const QJsonObject &command); // empty: not a media command
    QJsonObject alarmControl(const QJsonObject &command);
    QJsonObject levelControl(const QJsonObject &command);
    void addEncoderPeers();

    LabConfig m_config;
    Journal &m_journal;
    FaultPlan m_faults;
    std::vector<std::unique_ptr<Peer>> m_peers;
    std::vector<std::unique_ptr<Socket>> m_sockets;
    std::unique_ptr<WallSystem> m_walls;
    std::unique_ptr<Media> m_media;
    struct TcpPort {
        QTcpServer *server;
        QHostAddress address;
        quint16 port;
        QString peer;
    };
    QList<TcpPort> m_tcpServers;
    QLocalServer *m_control = nullptr;
    QElapsedTimer m_clock; // the peers' steady clock
    InboundLoss m_inboundLoss;
    QHash<QString, quint64> m_inByPeer;
    QHash<QString, quint64> m_outByPeer;
    quint64 m_received = 0;
    quint64 m_sent = 0;
};

} // namespace lab
