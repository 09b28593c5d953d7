#pragma once
// What the operator sends to single devices, as pure functions: KVM mouse and keyboard
// packets, camera steering, screen marking, the encoder's crop and snapshot size, a KVM
// host's file tree, and the alarm events of port 41237. Each returns the exact bytes and,
// where the device decides it, where they go; the controller object logs and sends them.
#include "commands/hostmessages.h"
#include "link/routes.h"
#include "model/records.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QSize>
#include <QString>
#include <vector>

namespace kora::devices {

constexpr quint16 kMarkPort = 12346;      // marking texts, to the input's encoder
constexpr quint16 kKvmMousePort = 41300;  // "fpga_arm" seats: mouse packets
constexpr quint16 kKvmKeyPort = 2710;     // "fpga_arm" seats: key press and release
constexpr quint16 kKvmWebPort = 80;       // every other seat: all three packets
inline const QString kFpgaArm = QStringLiteral("fpga_arm");

// One datagram and where it goes; `to` is empty when there is nowhere to send it.
struct Datagram {
    QByteArray data;
    link::Destinations to;
    bool operator==(const Datagram &o) const { return data == o.data && to == o.to; }
};

// `address` (before "-") at `port`; nothing unless it is an IPv4 address.
link::Destinations deviceDestination(const QString &address, quint16 port);

// KVM.
// Ctrl 0x01, Shift 0x02, Alt 0x04, OR-ed; 0 for any value with another flag (Meta, keypad).
quint8 modifierByte(int qtModifiers);
// The USB HID keyboard usage (US layout) of a Qt key; 0 for a key without one.
quint8 hidUsage(int qtKey);
// "software=" 57 AB 04 [01 unless "fpga_arm"] button x(LE16) y(LE16) 00. x and y are
// clamped to 0 ... 65535, which is all the packet can carry.
QByteArray mousePacket(const QString &platform, int button, int x, int y);
// "software=" 57 AB 01 modifier 00 usage 00 00 00 00 00: always eight report bytes.
QByteArray keyPressPacket(int qtKey, int qtModifiers);
// "software=" 57 AB 01 and eight zero bytes.
QByteArray keyReleasePacket();
quint16 mousePort(const QString &platform);
quint16 keyPort(const QString &platform);
// The "Platform" of the first signal on the same device as `address` (both compared
// before "-"); empty for an unknown address.
QString platformOf(const std::vector<SignalRecord> &signalList, const QString &address);
// The three packets with their destination, from the seat's signal address.
Datagram kvmMouse(const std::vector<SignalRecord> &signalList, const QString &address, int button, int x, int y);
Datagram kvmKeyPress(const std::vector<SignalRecord> &signalList, const QString &address, int qtKey, int qtModifiers);
Datagram kvmKeyRelease(const std::vector<SignalRecord> &signalList, const QString &address);

// Cameras: request envelopes for the controller (serverIp:41235; nothing without one).
QByteArray cameraMove(const QString &cameraId, int direction);
QByteArray cameraZoom(const QString &cameraId, int direction);
// "SetCamerasPresets" when `save` is non-zero, else "CallCamerasPresets".
QByteArray cameraPreset(const QString &cameraId, const QString &name, int save);
link::Destinations cameraDestination(const QString &serverIp);

// Marking on an input: bracketed texts to the input's address, port 12346.
QByteArray markStart();                                   // {StartMark;0,0}
QByteArray markStroke(int x, int y, int width, const QString &colour); // {StartPt;1;x,y,w,c}
QByteArray markTo(int x, int y);                          // {ToPt;1;x,y}
QByteArray markFrame(int x, int y, int w, int h);         // {ToFrame;1;x,y,w,h}
QByteArray markClear();                                   // {ClearMark;0}
QByteArray markEnd();                                     // {EndMark;0}
// "#0000ff" -> 255: the text after its first character read as hexadecimal (up to 32 bits,
// so "#AARRGGBB" too); 0 when it is not one.
quint32 markColour(const QString &colour);
link::Destinations markDestination(const QString &address);

// Encoder node envelopes, to the input's address at port 12345 (link::nodeControl).
QByteArray cropCommand(int x, int y, int w, int h);
// Type 0: `minSnap`, 1: `maxSnap`, 2: 1280 × 720, any other type: "channel" only. A size
// without area (a setting missing from control.ini reads as -1 × -1) also sends "channel" only.
QByteArray snapCommand(int type, const QSize &minSnap, const QSize &maxSnap);
QByteArray configQuery();

// KVM hosts' file trees.
struct HostTree {
    QString address; // where the host announced itself from
    QString venc;    // the encoder that shows this host
    QList<commands::FileInfo> tree;
    QString name;    // as the host announced them
    QString id;
};
QByteArray hostTreeRequest();                                          // {"request":"GetDevStructureTree"}
QByteArray hostControlRequest(int type, const QString &id, const QString &act); // "ControlNode"
// The host service of one host (port 3210); nothing for an empty or bad address, never
// the broadcast address.
link::Destinations hostDestination(const QString &hostAddress);
// The first host shown by the encoder `vencIp` (before "-"); null when none.
const HostTree *hostOfEncoder(const QList<HostTree> &hosts, const QString &vencIp);
// That host's address, or "".
QString hostAddressOfEncoder(const QList<HostTree> &hosts, const QString &vencIp);
// The tree request to the host shown by `vencIp`; nowhere to send for an unknown encoder.
Datagram hostTreeQuery(const QList<HostTree> &hosts, const QString &vencIp);
// One level of the host's tree as {"name","id","type","pid"} entries: for pid "0" the entry
// "/:" and the roots; otherwise the node with that id (depth-first, first match) with ":"
// after its name, then its children. Empty for an unknown encoder or an id not in the tree.
QJsonArray hostFileEntries(const QList<HostTree> &hosts, const QString &vencIp, const QString &pid);

// Alarm events on port 41237.
struct EventMessage {
    // Ignored: not a JSON object, a request without its "data" object (or, for an input
    // request, without "src_ip"), or anything else.
    enum class Kind { Ignored, AudioRequest, InputRequest, Response };
    Kind kind = Kind::Ignored;
    QString name;     // AudioRequest
    QString eventId;  // AudioRequest
    int nextTime = 0; // both requests; 0 when it is not a number in int range
    QString srcIp;    // InputRequest
    QString response; // Response: "ActiveAudio" or "ActiveInput"
};
EventMessage parseEvent(const QByteArray &datagram);
// The signal an input request is about: the first one whose address (before "-") is
// `srcIp`; -1 when none.
int inputSignalIndex(const std::vector<SignalRecord> &signalList, const QString &srcIp);
// {"code":"0","data":{"activate","eventID","next_time"},"msg":"ok","response":"ActiveAudio"}
QByteArray audioEventResponse(const QString &eventId, bool activate, int nextTime);
// {"code":"0","data":{"next_time","src_ip"},"msg":"ok","response":"ActiveInput"}
QByteArray inputEventResponse(const QString &srcIp, int nextTime);
// The input response goes to the event group, so that the other clients close their alarm,
// and to the requester at `address`:`port` (left out when that is no IPv4 address or port).
link::Destinations inputResponseDestinations(const QString &address, int port);

} // namespace kora::devices
