#pragma once
// Messages of KVM hosts on the host socket (JSON): a host announcing itself and the file
// tree it offers for browsing. Pure; the controller object keeps the host records.
#include <QByteArray>
#include <QList>
#include <QString>

namespace kora::commands {

constexpr int kMaxTreeNodes = 20000; // larger trees are refused (logged)

struct FileInfo {
    QString pid; // "0" for a root
    QString name;
    QString id;
    QString area;
    int type = 0;
    QList<FileInfo> children;
};

// Moves every node under its parent (found depth-first, first match wins); nodes whose
// parent does not exist stay at the top level, and so does a node whose only candidate
// parents are itself or its own descendants: no node is lost or duplicated. Meant for a flat
// list; children a node already has stay first under it and are not searched.
void buildHostFileTree(QList<FileInfo> &list);

struct HostMessage {
    // Invalid: not a JSON object, "data" of the wrong shape or a tree over kMaxTreeNodes.
    // Failed: "code" present and not 0. Unknown: any other "response" (the caller logs it).
    enum class Kind { Invalid, Failed, Device, Tree, Unknown };
    Kind kind = Kind::Invalid;
    QString response;
    int code = 0;
    QString message;                     // Failed: "msg"
    QString devId, devName, devVenc;     // Device
    QList<FileInfo> tree;                // Tree: already built
};
HostMessage parseHostMessage(const QByteArray &datagram);

} // namespace kora::commands
