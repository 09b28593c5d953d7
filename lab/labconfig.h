#pragma once
// What the simulated installation consists of. Every address is a host number in the
// device side's /24 ("net" + "." + host), so one configuration serves every lab run.
// Defaults: one host node, one spare node, two walls of 2x2 decoders, twelve encoders,
// the controller (off), the host service, a discovery peer and designed equipment.
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
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

    QHostAddress address(int host) const;
    QList<WallConfig> wallConfigs() const;
    QList<int> allHosts() const;

    // Keys as the members above; unknown keys are an error so a typo never goes unnoticed.
    static bool fromJson(const QJsonObject &json, LabConfig &config, QString *error);
};

// "10.77.3" from the first IPv4 address of this namespace outside loopback, else empty.
QString detectNet();

} // namespace lab
