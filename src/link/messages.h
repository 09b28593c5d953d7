#pragma once
// The four message forms of the controller link, one datagram each, no terminator.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class QTextCodec;

namespace kora::link {

constexpr quint16 kCommandPort = 41234;     // devices, their replies, the wall group
constexpr quint16 kControllerPort = 41235;  // the controller, by the server relay
constexpr quint16 kHostServicePort = 3210;  // the host service of KVM sources
constexpr quint16 kNodePort = 12345;        // node envelopes
constexpr quint16 kEventPort = 41237;       // audio and video events
constexpr char kWallGroup[] = "224.168.1.1";
constexpr char kEventGroup[] = "224.169.1.1";

// "{Name;field;field}" in Latin-1, or in `codec` when given (UTF-8 or GBK senders).
QByteArray textCommand(const QString &name, const QStringList &fields = {}, QTextCodec *codec = nullptr);

// {"request":name[,"data":{...}]}, compact UTF-8; "data" only when there are parameters.
QByteArray requestEnvelope(const QString &request, const QJsonObject &data = {});

// {"code":"0","data":{...},"msg":"ok","response":name}
QByteArray responseEnvelope(const QString &response, const QJsonObject &data, const QString &code = QStringLiteral("0"),
                            const QString &msg = QStringLiteral("ok"));

// {"Function":f,"Type":"System","Value":{...}}
QByteArray nodeEnvelope(const QString &function, const QJsonObject &value);

// Addresses handed in by the pages may carry a suffix after "-": "10.0.0.5-2" -> "10.0.0.5".
QString deviceAddress(const QString &address);

} // namespace kora::link
