#pragma once
// Faults the lab injects on purpose, set from the command line or mid-run through the
// control socket. Every random choice comes from `seed`, so a failing run can be replayed.
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QVector>
#include <random>

namespace lab {

struct FaultPlan {
    quint32 seed = 1;
    QSet<quint32> dropFragments;    // these sequence numbers are left out of a file's first send
    double dropFraction = 0.0;      // and this seeded fraction of the others (of every send)
    double duplicateFraction = 0.0; // fragments sent twice
    bool reorder = false;           // a file's fragments leave in a shuffled order
    QString corruptMd5;             // file whose MD5 is wrong in the scan reply ("*": every file)
    QString stopFile;               // every send of this file ("*": any) stops after
    int stopAfterFragments = -1;    //   this many fragments (-1: never)
    int delayMs = 0;                // every reply leaves this much later
    QString malformed;              // replies are "truncated", "garbage" or "unbraced"; empty: sound
    QSet<QString> silentPeers;      // these peers (journal names) answer nothing
    // Datagrams the lab receives: this seeded fraction is lost before any peer sees it
    // (journaled as "drop"), on the listed ports or, when none are listed, on every port.
    double inDropFraction = 0.0;
    QSet<quint16> inDropPorts;

    // Media streams. A stream is named "H" (its main stream), "H:main", "H:sub" or
    // "H:snapshot" in `resolution` and `codec`.
    double streamDropFraction = 0.0;      // stream fragments left out
    double streamDuplicateFraction = 0.0; // stream fragments sent twice
    double streamGarbage = 0.0;           // per fragment, the chance of an extra datagram of 0-100 random bytes
    QSet<int> stopStreams;                // these encoders' streams pause (remove to resume)
    QHash<QString, QSize> resolution;     // streams switched to another size at a keyframe
    QHash<QString, QString> codec;        // streams switched to "h264", "h265" or "jpeg" (not snapshots)
    bool rtspDrop = false;                // the camera drops its RTSP clients now (done once, then cleared)
    // Encoders and networks as real installations have them, by stream name as above:
    QHash<QString, int> gop;                  // frames between keyframes (a loop holds one at least)
    QSet<QString> intraRefresh;               // H.264 with intra refresh: one IDR, then a refresh every gop frames
    QSet<QString> splitParameterSets;         // a keyframe's parameter sets leave as a frame of their own
    QSet<QString> hostileSps;                 // once a second an extra frame whose SPS announces 16384 x 16384
    QHash<QString, int> streamFlood;          // datagrams a second of stream-like noise to the stream's group
    double streamLateDuplicateFraction = 0.0; // fragments sent again about 20 ms later
    double streamStrayFraction = 0.0;         // per frame, the chance of one datagram with a foreign sequence number
    QSet<int> ignoreKeyframeRequests;         // these encoders do not answer "insertIDR"
    quint32 generation = 0;         // counts the plans set: a new plan starts the sends afresh

    static bool fromJson(const QJsonObject &json, FaultPlan &plan, QString *error);
    QJsonObject toJson() const;
};

// The order in which a file's fragments leave when the whole file is asked for (repeats of
// requested gaps are sent as asked), with drops, duplicates, reordering and the early stop
// applied. `send` counts the whole-file requests of this file: each send loses other
// fragments, as a real network would, and the same series replays the same losses.
QVector<quint32> firstSendOrder(const FaultPlan &plan, const QString &file, quint32 total, quint32 send = 0);

// The inbound loss of a plan, one decision per datagram received. A new plan (or seed)
// starts its series afresh, so the same datagrams in the same order lose the same ones.
class InboundLoss
{
public:
    bool drops(const FaultPlan &plan, quint16 port);

private:
    std::mt19937 m_random;
    qint64 m_generation = -1; // the plan the series belongs to
    quint32 m_seed = 0;
};

// A reply as the "malformed" fault mangles it.
QByteArray mangle(const FaultPlan &plan, const QByteArray &reply);

} // namespace lab
