#pragma once
// The smaller peers: the host service of KVM sources, a discovery peer, the encoders, the
// designed equipment and an alarm event source.
#include "peer.h"
#include "peers/nodestatus.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <functional>

namespace lab {

// UDP 3210: "GetDev" and "GetDevStructureTree" request envelopes get response envelopes;
// "ControlNode" is acknowledged. Answers go back to the asking socket.
class HostServicePeer : public Peer
{
public:
    HostServicePeer(const QHostAddress &address, const QString &devId);
    QString name() const override { return QStringLiteral("host-service"); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {3210}; }
    QList<Endpoint> groups() const override { return {{QHostAddress::Broadcast, 3210}}; }
    QList<Outgoing> handle(const Datagram &in) override;

    static QJsonArray fileTree(); // the flat list of the host's files ("id", "pid", "name", "type", "area")

private:
    QHostAddress m_address;
    QString m_devId;
};

// 239.255.255.250:1901: answers searches for its service type, and announces itself when asked.
class DiscoveryPeer : public Peer
{
public:
    explicit DiscoveryPeer(const QHostAddress &address);
    QString name() const override { return QStringLiteral("discovery"); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {1901}; }
    QList<Endpoint> groups() const override { return {{QHostAddress(QStringLiteral("239.255.255.250")), 1901}}; }
    QList<Outgoing> handle(const Datagram &in) override;
    QList<Outgoing> announce() override; // a notify and a search, as a peer coming up sends

    static QByteArray composeAnswer(const QString &usn);
    QByteArray composeNotify() const;

private:
    QHostAddress m_address;
    QString m_usn;
};

// An encoder: node envelopes on 12345 ("getSystemMsg" is answered with a "[venc]" report
// to the asking socket, the status request with a "[sys_msg]" one); stream registrations
// on 19997 (its own address, and its main and sub stream groups once it streams) go to the
// registration sink; "setViCrop" and "setOsd" change what its report says; marking (12346)
// and KVM packets (41300, 2710, 80) are only journaled.
class EncoderPeer : public Peer
{
public:
    using RegistrationSink = std::function<void(const Datagram &)>;
    struct Streams {
        QString mainUrl, subUrl; // "udp://239.10.1.31:30310"
        QHostAddress mainGroup, subGroup;
        QString resolution = QStringLiteral("1920x1080");
        int fps = 30;
    };

    EncoderPeer(int index, const QHostAddress &address);
    QString name() const override { return QStringLiteral("encoder-%1").arg(m_index); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {12345, 12346, 19997, 41300, 2710, 80}; }
    QList<Endpoint> groups() const override;
    QList<Outgoing> handle(const Datagram &in) override;

    // Publishes these streams: registrations for them and "insertIDR" requests reach `sink`.
    void setStreams(const Streams &streams, RegistrationSink sink);
    QByteArray composeReport() const;

private:
    int m_index;
    QHostAddress m_address;
    NodeStatus m_status{m_address};
    Streams m_streams;
    RegistrationSink m_sink;
    // The input's crop and text overlay, as the last commands set them.
    QJsonObject m_crop{{"crop_x", 0}, {"crop_y", 0}, {"crop_w", 1920}, {"crop_h", 1080}, {"vi_crop_enable", 0}};
    QJsonObject m_osd{{"osd_enable", 0}, {"osd_name", ""}, {"osd_x", 0}, {"osd_y", 0}, {"osd_size", 32}};
};

// Designed equipment: listens on its UDP ports and records what arrives (the journal is the
// record). TCP ports are served by the engine, which journals every message.
// It answers level requests, each answer of a channel one step further, so values move:
//   AA 55 10 CH CC     -> AA 55 90 CH LL HH CC (signed 16-bit little-endian, whole dB) to the asker
//   AA 55 11 CH CC     -> the same answer to LevelGroup:LevelGroupPort
//   "{GetLevel;CH}"    -> "{Level;CH;-12.7}" to the asker
//   "{GetAoData;F;CH}" -> "{AoData;CH;-12.7}" to the asker; with F "0" it resets and answers nothing
// A held channel answers its held level instead, until it is released.
class EquipmentPeer : public Peer
{
public:
    static const QHostAddress LevelGroup; // 239.77.8.1
    static constexpr quint16 LevelGroupPort = 9012;

    EquipmentPeer(const QHostAddress &address, QList<quint16> udpPorts);
    QString name() const override { return QStringLiteral("equipment"); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return m_ports; }
    QList<Outgoing> handle(const Datagram &in) override;

    // The level of `channel` at its answer number `step`, in dB with one decimal, -59.9 to 0.
    static double level(int channel, quint64 step);

    // Every answer of `channel` says `dB` until released, so a test can predict the picture;
    // released, the channel moves on from where it stopped.
    void holdLevel(int channel, double dB) { m_held.insert(channel, dB); }
    void releaseLevel(int channel) { m_held.remove(channel); }

private:
    QHostAddress m_address;
    QList<quint16> m_ports;
    QHash<int, quint64> m_steps; // per channel: answers given
    QHash<int, double> m_held;   // per channel: the level it is held at
};

// An alarm system's event source: UDP 41237 on its address and the event group
// 224.169.1.1:41237, where clients answer the alarms they handled. It answers nothing (the
// journal is the record); the lab's "alarm" command makes it raise an alarm or, as another
// client would, close one.
class EventSourcePeer : public Peer
{
public:
    static constexpr quint16 Port = 41237;
    static const QHostAddress Group; // 224.169.1.1

    explicit EventSourcePeer(const QHostAddress &address);
    QString name() const override { return QStringLiteral("event-source"); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {Port}; }
    QList<Endpoint> groups() const override { return {{Group, Port}}; }
    QList<Outgoing> handle(const Datagram &) override { return {}; }

    // {"request":kind,"data":data}, or when `answered` the response a client sends once it
    // handled the alarm: {"response":kind,"code":"0","msg":"ok","data":data}. Empty unless
    // kind is "ActiveAudio" or "ActiveInput".
    static QByteArray alarm(const QString &kind, const QJsonObject &data, bool answered);

private:
    QHostAddress m_address;
};

} // namespace lab
