#pragma once
// The client on the discovery group (239.255.255.250:1901, service "urn:vxr:sw:korav2"): it
// searches once at start, announces itself at every login, answers the searches of others
// after the random delay their "mx" allows, and keeps the peers that answered its own search.
//
// Threads: this object and its answer timers belong to the main thread; the sockets belong to
// the SsdpThread worker in the thread "discovery", reached only by queued calls and signals.
// shutdown() (or the destructor) quits and joins that thread.
#include "discovery/ssdpthread.h"

#include <QList>
#include <QObject>
#include <QThread>

namespace kora::discovery {

struct Peer {
    QString address;
    QString uuid;
    QString server;
};

class Discovery : public QObject
{
    Q_OBJECT
public:
    // Answers are unauthenticated: the peer list stays bounded.
    static constexpr int kMaxPeers = 1024;

    // `version` is the client's, in the "server" text of every message.
    explicit Discovery(const QString &version, QObject *parent = nullptr);
    ~Discovery() override;

    // Starts the worker (bound to any address: the local one is not known yet) and searches.
    void start();
    void shutdown();
    // The notify of a login.
    void notify();

    const QList<Peer> &peers() const { return m_peers; }

    // What the worker receives: a search for our service (answered) or a notify (ignored),
    // and an answer to our own search (recorded).
    void recvSsdp(const QJsonObject &obj, const QString &ip, quint16 port);
    void recvSsdpSearch(const QJsonObject &obj, const QString &ip);

private:
    void send(const QByteArray &data, const QString &address, quint16 port);
    QString serverText() const;
    QString usn() const;

    const QString m_version;
    QThread m_thread;
    SsdpThread *m_worker = nullptr; // in m_thread, deleted when it finishes
    QList<Peer> m_peers;
};

} // namespace kora::discovery
