#pragma once
// "device.json": outputs and their walls, signals, multi-signals, groups, roles and users.
#include "model/records.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace kora {

struct DeviceModel {
    std::vector<OutputRecord> outputs;
    std::vector<SignalRecord> signalList;
    std::vector<MultiSignalRecord> multiSignals;
    std::vector<SignalGroupRecord> groups;
    std::vector<RoleRecord> roles;
    std::vector<UserRecord> users; // with their role's pages and groups copied in
    bool hasFavourites = false;     // a group named "收藏"
};

// Parses the device file; false (and `error` set) when it is not a JSON object.
bool parseDeviceFile(const QByteArray &data, DeviceModel &model, QString *error);

// "10.0.0.5(1)" -> "10.0.0.5-1", "(0)" -> "-0", anything else unchanged.
QString signalIdFromIp(const QString &ip);

// The stored form of a password in the device file: Base64 of the enciphered Latin-1 text.
QString encodeDevicePassword(const QString &password);

} // namespace kora
