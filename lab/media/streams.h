#pragma once
// Which stream a registration asks for and in what form it leaves: pure functions of the
// lab's configuration and fault plan, so tests call them directly.
#include "faults.h"
#include "labconfig.h"
#include "media/codec.h"
#include "media/wire.h"

#include <QHostAddress>
#include <QList>
#include <QString>

namespace lab {

enum class StreamKind { Main, Sub, Snapshot, Mosaic };
QString streamKindName(StreamKind kind); // "main", "sub", "snapshot", "mosaic"

struct StreamPlan {
    StreamKind kind = StreamKind::Main;
    int host = 0;            // whose picture; 0 for a mosaic
    QList<int> cells;        // a mosaic's 9 hosts, 0 empty
    QHostAddress group;      // where it goes
    quint16 port = 0;
    LoopFormat format;       // as configured, before faults
    int holdMs = 0;          // how long it runs after the latest registration

    QString url() const { return QStringLiteral("udp://%1:%2").arg(group.toString()).arg(port); }
    bool isPreview() const { return kind == StreamKind::Main || kind == StreamKind::Sub; }
    QString contentKey() const; // what the pictures show: "h31" or "m30,31,...,0"
};

// The main, sub and snapshot streams of the encoder on `host`; empty for the camera or a
// host that is not an encoder.
QList<StreamPlan> encoderStreams(const LabConfig &config, int host);

// What a registration received by the encoder on `host` asks for. False, with the reason in
// `why`, when it names no stream of this encoder: a preview must name one of its groups
// and ports, a snapshot its own address and its snapshot port or a mosaic's port.
bool streamFor(const LabConfig &config, int host, const Registration &registration, StreamPlan *out, QString *why);

constexpr int kIntraRefreshLoopSeconds = 10;

// Whether a fault that names streams ("H" for the main stream, "H:main", "H:sub") names this one.
bool names(const QSet<QString> &streams, const StreamPlan &plan);
// The value a fault table gives this stream, else `otherwise`.
int valueFor(const QHash<QString, int> &table, const StreamPlan &plan, int otherwise);

// The format the stream leaves in once the faults' resolution, codec, group-of-pictures and
// intra-refresh switches apply.
LoopFormat effectiveFormat(const StreamPlan &plan, const FaultPlan &faults);

} // namespace lab
