#pragma once
// Node status: the request the pollers send and the "[sys_msg]" answer a node gives, read
// into a record and turned into the map the monitor items show. No socket here.
#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace kora::nodes {

constexpr quint16 kDecoderPort = 41234; // poller type 1
constexpr quint16 kEncoderPort = 12345; // poller type 0
constexpr int kPollMs = 5000;
// Texts longer than this are cut: a monitor shows a few words, a datagram may hold 64 KiB.
constexpr int kMaxText = 64;

struct SysMsg {
    QString netSpeed;
    float cpu = 0;  // percent
    float mem = 0;  // percent: used × 100 / total, 0 without a total
    int memoryFree = 0;
    int memoryTotal = 0;
    int memoryUsed = 0;
    int temperature = 0;
    QString runingTime;
};

// {"Function":"getLog","Type":"System","Value":{"get_sys_msg":"echo"}}, compact.
QByteArray statusRequest();

// The answer of a node; nothing when the first line is not "[sys_msg]". Unknown lines and
// lines without a colon are skipped, unreadable numbers stay 0.
std::optional<SysMsg> parseSysMsg(const QByteArray &datagram);

// "cpu", "mem", "temperature", "netSpeed", "runingTime".
QVariantMap statusMap(const SysMsg &msg);

// The port a poller of this type asks on; 0 for a type that is neither.
quint16 nodePort(int type);

} // namespace kora::nodes

Q_DECLARE_METATYPE(kora::nodes::SysMsg)
