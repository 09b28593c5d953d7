#pragma once
// What the simulated installation consists of. Every address is a host number in the
// device side's /24 ("net" + "." + host), so one configuration serves every lab run.
// Defaults: one host node, one spare node, two walls of 2x2 decoders, fourteen encoders
// and a camera, the controller (off), the host service, a discovery peer, designed
// equipment and an alarm event source.
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include "peers/walls.h"

namespace lab {

struct LabConfig {
    QString net;              // first three octets, e.g. "10.77.1"; found from the interfaces when empty
    QString projectDir;       // the package served by the host node
    QString projectName = QStringLiteral("lumora");
    QString hostTag = QStringLiteral("1");
    int hostNode = 10;
    int spareNode = 11;
    bool controllerEnabled = false;
    int controller = 5;
    int hostService = 6;
    int discovery = 7;
    int equipment = 8;
    int eventSource = 9;
    QList<quint16> equipmentUdpPorts{9000};
    QList<quint16> equipmentTcpPorts{9001};
    int firstEncoder = 30;
    int encoderCount = 15; // .30 to .44, the last one a camera
    struct Wall {
        QString id;
        QList<int> nodes;
    };
    QList<Wall> walls{{QStringLiteral("1"), {20, 21, 22, 23}}, {QStringLiteral("2"), {24, 25, 26, 27}}};
    int fragmentSize = 7000;   // payload bytes per download fragment
    int fragmentGapUs = 0;     // pause between fragments of a burst

    // Media. Encoder H (not the camera) publishes main udp://239.10.1.H:P (P = 30000 + 10 H),
    // sub udp://239.10.2.H:P+2 and snapshots udp://239.10.3.H:P+4.
    QHash<int, QString> mainCodecs{{31, QStringLiteral("h265")}, {32, QStringLiteral("jpeg")}}; // by host; others h264
    QHash<int, QString> subCodecs;                                                             // by host; others h264
    QSize mainSize{1920, 1080};
    QSize subSize{640, 360};
    QSize snapshotSize{640, 360};
    QSize mosaicSize{960, 540};
    int mainFps = 30;
    int subFps = 30;
    int snapshotFps = 4;        // snapshot and mosaic pictures a second
    int loopSeconds = 2;        // every stream replays a loop this long, encoded once
    int previewHoldMs = 8000;   // a preview stream runs this long after its latest registration
    int snapshotHoldMs = 3000;  // and a snapshot stream this long
    int streamPayload = 1400;   // stream payload bytes per datagram (more when a frame needs it)
    int mediaCacheMB = 256;     // encoded loops kept in memory
    bool journalFrames = false; // one journal event per stream frame sent
    struct Mosaic {
        QHostAddress group;
        quint16 port = 0;
        QList<int> cells; // 9 hosts row by row, 0 empty
    };
    QList<Mosaic> mosaics{{QHostAddress(QStringLiteral("239.10.9.1")), 31000, {30, 31, 32, 33, 34, 35, 0, 0, 0}}};
    int camera = 44;            // the RTSP camera's host; 0: none
    int rtspPort = 554;
    QSize cameraMainSize{1280, 720}; // rtsp://NET.camera:rtspPort/stream1; /stream2 is subSize

    QHostAddress address(int host) const;
    bool isStreamingEncoder(int host) const; // an encoder of this lab other than the camera
    quint16 streamPort(int host) const { return quint16(30000 + 10 * host); }
    QList<WallConfig> wallConfigs() const;
    QList<int> allHosts() const;

    // Keys as the members above; unknown keys are an error so a typo never goes unnoticed.
    static bool fromJson(const QJsonObject &json, LabConfig &config, QString *error);
};

// "10.77.3" from the first IPv4 address of this namespace outside loopback, else empty.
QString detectNet();

} // namespace lab
