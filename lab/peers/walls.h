#pragma once
// The video walls of the installation: their decoders and the optional central controller.
// All walls share one state object, as a real installation keeps it on its decoders (or on
// the controller): per wall the window list, scenes, scene polling, audio, lock, subtitles
// and clocks; installation-wide the client info store (control states, cycle groups).
// Text commands are handled as bytes so that GBK scene names and UTF-8 states come back
// exactly as they were sent.
#include "peer.h"
#include "peers/nodestatus.h"
#include "peers/upload.h"

#include <QByteArray>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <functional>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <vector>

namespace lab {

struct WallConfig {
    QString id;
    QList<QHostAddress> nodes;
    int rows = 2;
    int columns = 2;
    int width = 1920;  // per decoder output
    int height = 1080; // per decoder output
};

// One entry of the controller's signal catalogue.
struct SignalResource {
    QString id;
    QString name;
    QString url0;
    QString url1;
    QString snapUrl; // "address:port"
    QString path;    // the group the client files it under
    // The encoder whose snapshots the controller pushes to a client once the signal is on a
    // wall: the "SetWindows" reply re-points the signal to the client's own address. 0: none.
    int pushHost = 0;
    quint16 pushPort = 0;
};

class WallSystem
{
public:
    static constexpr quint16 CommandPort = 41234; // decoders and the client's command socket
    static constexpr int MaxWindows = 512;        // per wall
    static constexpr int MaxScenes = 256;         // per wall
    static constexpr int MaxClocks = 64;          // per wall
    static constexpr int MaxClientInfo = 4096;    // entries in the installation

    explicit WallSystem(const QList<WallConfig> &walls);

    const QList<WallConfig> &walls() const { return m_configs; }
    QStringList wallsOf(const QHostAddress &node) const; // ids of the walls the node belongs to

    // One datagram received by `self`: a decoder (reached by unicast, or through the group
    // when `in.destination` is a multicast or the broadcast address) or, with
    // `viaController`, the controller. Applies the command and returns the replies that
    // `self` sends; anything it does not understand yields no reply and changes nothing.
    QList<Outgoing> handle(const Datagram &in, const QHostAddress &self, bool viaController);

    // State, for tests and the lab's control socket. Window items are
    // "src_ip,url,x,y,w,h[,id]" as the client sends them.
    QStringList windows(const QString &wallId) const;
    QString windowsText(const QString &wallId) const; // the items joined by ";", "" when empty
    bool setWindows(const QString &wallId, const QStringList &windowItems); // false: unknown wall or bad item

    QStringList sceneIds(const QString &wallId) const;
    QString sceneName(const QString &wallId, const QString &sceneId) const;
    QStringList sceneWindows(const QString &wallId, const QString &sceneId) const;
    bool saveScene(const QString &wallId, const QString &sceneId, const QString &name); // current windows
    bool callScene(const QString &wallId, const QString &sceneId);
    bool deleteScene(const QString &wallId, const QString &sceneId);

    // Scene polling as the last "SetScenesPolling" left it; stepping calls the next scene.
    int pollingSeconds(const QString &wallId) const; // 0: not polling
    QStringList pollingScenes(const QString &wallId) const;
    bool stepPolling(const QString &wallId); // true when a scene was called

    QStringList clocks(const QString &wallId) const;
    bool locked(const QString &wallId) const;
    // Audio source per decoder address ("*": the whole wall); an empty source silences.
    QJsonObject audio(const QString &wallId) const;
    bool routeAudio(const QString &wallId, const QString &decoder, const QByteArray &source);

    // The client info store: key (a control's uuid, wall + "_cycle", wall + "_cycleGroups")
    // to the state text exactly as "SaveClientInfo" brought it.
    QByteArray clientInfo(const QString &key) const;
    void setClientInfo(const QString &key, const QByteArray &data); // empty data removes the key
    QJsonArray cycleGroups(const QString &wallId) const;            // the "data" array of the store
    bool setCycleGroups(const QString &wallId, const QJsonArray &groups);

    QJsonObject snapshot() const;

    // The reply texts, also used by the controller.
    static QByteArray scenePiece(const QByteArray &wallId, const QByteArray &sceneId, const QByteArray &name,
                                 const QList<QByteArray> &windows);
    static bool validWindowItem(const QByteArray &item);
    static bool validClockItem(const QByteArray &item);

private:
    struct Scene {
        QByteArray id;
        QByteArray name; // as sent: GBK
        QList<QByteArray> windows;
    };
    struct Wall {
        QList<QByteArray> windows;
        QVector<Scene> scenes;
        int pollingSeconds = 0;
        QList<QByteArray> pollingScenes;
        int pollingNext = 0;
        QMap<QString, QByteArray> audio;     // decoder address (or "*" for the whole wall) -> source
        bool locked = false;
        QMap<QString, QByteArray> subtitles; // decoder address (or "*") -> the command's parameters
        QList<QByteArray> clocks;
    };

    int wallIndex(const QString &id) const;
    int sceneIndex(const Wall &wall, const QByteArray &id) const;
    QList<Outgoing> wallCommand(const QByteArray &name, const QList<QByteArray> &fields, const QByteArray &inner,
                                const Datagram &in, const QHostAddress &self, bool viaController);
    QList<Outgoing> statusCommand(const QByteArray &name, const QByteArray &body, const Datagram &in,
                                  const QHostAddress &self, bool viaController);
    // Applies one command to one wall; returns the reply text, empty for none.
    QByteArray apply(int wallIndex, const QByteArray &name, const QList<QByteArray> &fields, const QByteArray &inner,
                     const QByteArray &replyId, const QHostAddress &self, bool group);

    QList<WallConfig> m_configs;
    QVector<Wall> m_walls;
    QMap<QString, QByteArray> m_clientInfo;
};

// One decoder of a wall: UDP 41234 on its address and the wall group 224.168.1.1:41234,
// and the uploads it receives ("UploadFile" on 41234, then the chunks on 5000 of its address
// or of the wall group). The group form of "UploadFile" is for the wall it names only.
class DecoderPeer : public Peer
{
public:
    static constexpr quint16 UploadPort = 5000;

    // Named "decoder-<wall>.<n>" after the first wall that lists the address (n from 1).
    DecoderPeer(WallSystem &system, const QHostAddress &address);

    QString name() const override { return m_name; }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {WallSystem::CommandPort, UploadPort}; }
    QList<Endpoint> groups() const override;
    QList<Outgoing> handle(const Datagram &in) override;
    QStringList takeEvents(qint64 nowMs) override;

private:
    void note(const QList<UploadOutcome> &outcomes);

    WallSystem &m_system;
    QHostAddress m_address;
    QString m_name;
    NodeStatus m_status{m_address};
    UploadAssembly m_upload;
    QStringList m_events;
};

// One DecoderPeer per distinct node address of the system's walls, in wall order.
std::vector<std::unique_ptr<Peer>> makeDecoderPeers(WallSystem &system);

// The central controller on UDP 41235: wall text commands act on the same walls and are
// answered to the sender's command socket (port 41234); signal catalogue requests are
// answered from `resources`; camera requests steer the cameras, which keep their saved
// presets (calling one never saved answers a non-zero code).
class ControllerPeer : public Peer
{
public:
    static constexpr quint16 Port = 41235;
    static constexpr int DefaultPageSize = 50;
    static constexpr int MaxPageSize = 100;
    static constexpr int MaxCameras = 256;
    static constexpr int MaxPresets = 256;   // per camera
    static constexpr int MaxNameLength = 256; // camera ids and preset names

    // Starts host's snapshot stream to a client's address and port.
    using Push = std::function<void(int host, const QHostAddress &to, quint16 port)>;
    ControllerPeer(WallSystem &system, const QHostAddress &address, QList<SignalResource> resources, Push push = {});

    QString name() const override { return QStringLiteral("controller"); }
    QHostAddress address() const override { return m_address; }
    QList<quint16> udpPorts() const override { return {Port}; }
    QList<Outgoing> handle(const Datagram &in) override;

    static QByteArray response(const QString &name, const QJsonValue &data, const QString &code = QStringLiteral("0"),
                               const QString &msg = QStringLiteral("ok"));

private:
    QList<Outgoing> request(const QJsonObject &envelope, const Datagram &in);
    QJsonObject resourceJson(const SignalResource &resource) const;
    QByteArray camera(const QString &name, const QJsonObject &data); // empty: not a camera request

    WallSystem &m_system;
    QHostAddress m_address;
    QList<SignalResource> m_resources;
    Push m_push;
    QMap<QString, QSet<QString>> m_presets; // camera id -> saved preset names
};

} // namespace lab
