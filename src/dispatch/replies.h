#pragma once
// Replies on the command socket, parsed into an ordered list of actions. Walls, nodes and
// the controller answer here, but so can anything else on the network: a reply is parsed
// completely before any action is returned, a malformed reply or item is logged and
// dropped, and nothing here emits, waits or sends. The controller object turns the actions
// into its signals, its 30 ms single-shot timers and its sends, in list order.
#include "model/records.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

namespace kora::dispatch {

constexpr int kMaxDatagram = 65507;       // the largest UDP payload; anything longer is refused
constexpr int kMaxWindowsPerReply = 4096; // over all scenes of a scene message, too
constexpr int kMaxScenesPerMessage = 1024;
constexpr int kMaxTreeEntries = 4096;     // each entry may become a signal with a reader thread

// Every wall sends "GetWindows" under this id when asked with it (KVM seats do).
constexpr char kAnyWall[] = "100";

struct WallNodes {
    QString id;
    QStringList nodes; // decoder addresses, possibly with a "-" suffix
};

struct Context {
    const std::vector<kora::SignalRecord> *signalList = nullptr;
    QList<WallNodes> walls; // replies naming another wall are dropped
    QString selPanel;
    QString localIp;
    // The controller and the host the client talks to: the only senders whose signal lists
    // are taken (see dispatch/signallists.h). Addresses as QHostAddress::toString() gives them.
    QStringList signalSources;
};

// State a reply may change: the matrix preset lists ("GetClientInfo" with "M_"). The keys
// are the ids of the known matrices; an "M_" state for another id changes nothing.
struct State {
    QMap<QString, QStringList> matrixPresets; // entries "name*&_row_row..."
};

enum class Kind {
    ClearBlock,         // wallId
    AddBlock,           // wallId, map: window description
    AddScenes,          // wallId, ids, names (parallel)
    GetWindowsSoon,     // wallId: ask for its windows after 30 ms
    SendGetWindows100,  // wallId holds an address: send "{GetWindows;100}" there, port 41234
    GetScenesSoon,      // wallId: ask for its scenes after 30 ms
    RefreshScene,       // wallId, text: scene id
    ScenesMsg,          // object: {"panel_id", "scene_array"}
    RefreshOsd,         // text: the subtitle state as indented JSON
    RefreshCycle,       // object: the cycle state
    CycleGroups,        // wallId, list: its new cycle groups (maps "name", "hotkey", "id", "time", "sceneIds", "sceneNames")
    RefreshCycleGroups, // no data
    RefreshSlider,      // map: "uuid", "value"
    RefreshButton,      // map: "uuid", "value"
    RefreshButtonAct,   // map: "uuid", "value"
    RefreshMatrix,      // map: "uuid", "value" (row per column), "preset" (preset names)
    Clocks,             // list: clock maps of the selected wall
    SignalMsg,          // map: the encoder report's key=value lines
    CustomProtocol,     // raw: the datagram, for the design command analysis
    Trace,              // text: to be written to the trace
    SignalTree,         // list: signal entries (maps "id", "name", "url0", "url1", "snapUrl", "path")
    SignalTreePage,     // map: "total", "index" (ints); list: signal entries as for SignalTree
    SnapUrls,           // list: signal entries whose "id" and "snapUrl" matter, one per id
};

struct Action {
    Kind kind = Kind::Trace;
    QString wallId;         // or the address for SendGetWindows100
    QVariantMap map;        // window description, slider/button/matrix map, encoder report, page numbers
    QVariantList list;      // clocks, cycle groups, tree entries
    QStringList ids, names; // scene ids/names
    QString text;           // OSD JSON text, trace text, scene id
    QJsonObject object;     // scene message, cycle object
    QByteArray raw;         // for CustomProtocol
};

bool operator==(const Action &a, const Action &b);
inline bool operator!=(const Action &a, const Action &b) { return !(a == b); }

// "AddBlock" for Kind::AddBlock; for log lines.
QString kindName(Kind kind);

// One datagram from `sender` (address text, as QHostAddress::toString() gives it).
// Changes `state` only when the reply is sound.
QList<Action> dispatchDatagram(const QByteArray &datagram, const QString &sender, const Context &context, State &state);

// The window description of one window item ("src_ip", "url", "x", "y", "w", "h", optional
// id): the texts as sent, "url" and "url2" from the signal with that address when the
// signal list has one, "type" 0 without id, else 1 with "id" and its "index" (the part
// before the first "_"). An empty map for an item with fewer than 6 values or geometry that
// is not a finite number.
QVariantMap windowDescription(const QStringList &values, const Context &context);

// The scene message of "GetScenes" from its fields after the wall id: {"panel_id": wallId,
// "scene_array": [{"scene_id", "scene_name", "scene_blocks": [window descriptions]}]}.
// An empty object when the braces do not balance or the message holds more than
// kMaxScenesPerMessage scenes or kMaxWindowsPerReply windows.
QJsonObject parseSceneMessage(const QString &wallId, const QStringList &fieldsFromIndex2, const Context &context);

} // namespace kora::dispatch
