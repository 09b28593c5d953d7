#pragma once
// Scan nodes: every node answers the client's scan; the host node also holds the project
// package and serves its files as fragment datagrams, the gaps again on request.
#include "faults.h"
#include "peer.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <functional>

namespace lab {

struct PackageFile {
    QString name;
    QString md5; // lower-case hex
    QByteArray bytes;
};

// Reads DIR/files.txt ("name md5" lines) when present, else every file in DIR; the MD5s
// are always computed from the bytes. Returns false with `error` set when DIR is unusable.
bool loadPackage(const QString &dir, QList<PackageFile> &files, QString *error);

// "{GetNodes2;tag;KORA-LAB;1.0;project;name md5,name md5}", or "...;null}" without a project;
// for an older package (one with "config_host.cfg") the older form "{GetNodes;tag;1,MARK}".
QByteArray composeScanReply(const QString &hostTag, const QString &project, const QList<PackageFile> &files,
                            const FaultPlan &faults);

// Little-endian total and sequence number, then the payload.
QByteArray composeFragment(quint32 total, quint32 sequence, const QByteArray &payload);

class ScanNodePeer : public Peer
{
public:
    // `files` empty: a spare node, which answers the scan with "null" and serves nothing.
    ScanNodePeer(const QString &name, const QHostAddress &address, const QString &hostTag,
                 const QString &project, QList<PackageFile> files, int fragmentSize,
                 const FaultPlan &faults);

    QString name() const override { return m_name; }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {41234}; }
    QList<Endpoint> groups() const override;
    QList<Outgoing> handle(const Datagram &in) override;

    const QList<PackageFile> &files() const { return m_files; }
    // The host keeps the installation's control states: status commands go to this store.
    void setStatusStore(std::function<QList<Outgoing>(const Datagram &)> store) { m_statusStore = std::move(store); }

private:
    QList<Outgoing> serve(const QStringList &fields, const QHostAddress &sender);

    QString m_name;
    QHostAddress m_address;
    QString m_hostTag;
    QString m_project;
    QList<PackageFile> m_files;
    int m_fragmentSize;
    const FaultPlan &m_faults; // owned by the engine, changed through the control socket
    QHash<QString, quint32> m_sends; // whole-file requests per file under the current plan
    quint32 m_sendsGeneration = 0;
    std::function<QList<Outgoing>(const Datagram &)> m_statusStore;
};

} // namespace lab
