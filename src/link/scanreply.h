#pragma once
// Replies to the node scan. They come from anyone on the network, so the parser keeps only
// what is well formed: file names that stay inside the data folder and 32-digit MD5s.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kora::link {

struct ScanFile {
    QString name;
    QString md5; // 32 lower-case hex digits
};

struct ScanReply {
    enum Kind { Other, Nodes2, Nodes } kind = Other;
    int fieldCount = 0;     // "GetNodes2": fields after skipping empty ones
    QString hostTag;        // field 1 (GetNodes2) or the node type (GetNodes)
    QString project;        // field 4, "null" for a node without project
    QList<ScanFile> files;  // field 5, "kvm.jui" left out
    int rejectedFiles = 0;  // entries dropped as malformed or unsafe
    QString olderA, olderB; // GetNodes: the project flag and the project mark
    bool holdsProject() const { return kind == Nodes2 && fieldCount >= 6 && project != QLatin1String("null"); }
};

constexpr int kMaxScanFiles = 1000;

// A name the data folder can hold as one file: no folders, no parent steps, no drive,
// no control characters.
bool isSafeFileName(const QString &name);

ScanReply parseScanReply(const QByteArray &datagram);

// Whether the sender of `reply` becomes the host: none chosen yet, it holds a project, and
// the download address is empty or is the sender's.
bool becomesHost(const ScanReply &reply, int hostIndex, const QString &downIp, const QString &sender);

} // namespace kora::link
