#pragma once
// Designed controls' commands as packets: first-generation key=value command blocks and
// second-generation JSON events of buttons, sliders and crosspoint matrices, with hex text,
// slider values, matrix coordinates and other widgets' values substituted. Pure: nothing
// here sends, waits or logs to the network; the controller object sends the packets in
// list order, each after its own delay, without blocking the window's thread.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kora::controls {

constexpr int kMaxPayload = 65507; // larger packets are refused (logged), never cut
constexpr int kMaxDelayMs = 60000; // longer designed waits are shortened to this

enum class Transport {
    Udp,      // one datagram
    Tcp,      // the shared TCP connection
    Internal, // a design command for the client itself ("127.0.0.1"): `data` is its UTF-8 text
};

struct Packet {
    Transport transport = Transport::Udp;
    QString ip;
    quint16 port = 0;
    QByteArray data;
    int delayMs = 0; // wait before this packet, counted from the previous packet of the list
    // Network packets always have a dotted IPv4 destination (never "0.0.0.0") and a port 1..65535;
    // an internal one has ip "127.0.0.1" and port 0.
    bool operator==(const Packet &o) const
    {
        return transport == o.transport && ip == o.ip && port == o.port && data == o.data && delayMs == o.delayMs;
    }
};

// What a wildcard may refer to: the data dockers' last values (docker identifier -> key ->
// value text) and the design's variables (name -> value).
struct Values {
    QMap<QString, QVariantMap> dockers;
    QMap<QString, QString> variables;
};

// "AA BB C" -> 0x0A 0xAB 0xBC: spaces removed, odd length padded with a leading "0", a pair
// that is not hex gives 0.
QByteArray decodeHexText(const QString &text);

// The lines of a first-generation block ("\r\n" separated, empty lines skipped) as key and
// value, split at the first "=" (the value keeps further "="). A line without "=" is skipped.
QList<QPair<QString, QString>> commandLines(const QString &block);

// Wildcards of a second-generation send object, then the variables. Each key is replaced in
// one pass (a value containing its own key does not loop); empty keys and names are skipped.
// A replacement that would make the text longer than kMaxPayload characters refuses the whole
// text: the result is then empty and `*ok` false.
QString substituteWildcards(const QString &text, const QJsonObject &wildcard, const Values &values, bool *ok = nullptr);

// Slider values: four lower-case hex digits, low byte first (200 -> "c800"), and the %g
// text with six significant digits (200 -> "200", 0.5 -> "0.5"). A negative value gives the
// low 16 bits of its two's complement (-1 -> "ffff"); not a number gives "0000".
QString sliderHex(double value);
QString sliderText(double value);

// A button's first-generation blocks, in order. Each packet waits its block's "Time"; a Data
// line that sends nothing passes its wait on to the next packet (in all at most kMaxDelayMs),
// so later packets keep their designed moment.
QList<Packet> buttonPackets(const QStringList &blocks);

// One second-generation event ("behavior", "delay", "value").
struct Event {
    enum class Kind { None, SwitchPage, ShowWidget, HideWidget, Send };
    Kind kind = Kind::None; // None also for a page switch without pages or a widget list without names
    int delayMs = 0;        // wait before acting, 0..kMaxDelayMs; the packets' own delays are 0
    QStringList pages;      // SwitchPage
    QJsonArray widgets;     // ShowWidget, HideWidget: object names
    QList<Packet> packets;  // Send: none when the event sends nothing
};
// `event` may hold the send object as a QVariantMap (from QML) or as JSON values.
Event buttonEvent(const QVariantMap &event, const Values &values);

// A slider's command with its value: a first-generation block, or a second-generation event
// (only "SendData" sends). `storesState` is set false when the event must neither send nor
// store the slider's state (a "SendData" event with an empty or missing wildcard object).
// Slider packets are datagrams, each 5 ms after the previous one.
QList<Packet> sliderPackets(const QString &block, double value);
QList<Packet> sliderEventPackets(const QJsonObject &event, double value, bool *storesState);

// One crosspoint: `xValue`/`yValue` are "ip;name;code1;code2;code3;code4" (missing fields are
// empty). A Data line whose destination is still "0.0.0.0" ends the command: the packets of
// earlier Data lines stay (they went out before that line), nothing after it is produced.
QList<Packet> matrixPackets(const QString &block, const QString &xValue, const QString &yValue);

// Control state texts.
QString sliderState(const QString &uuid, double value); // "S_uuid_<sliderText>"
// Matrix presets: name + "*&_" + the rows after "M_uuid_" of `state`. Empty (refused, logged)
// when the name holds a separator of the stored state ("*&", "&*", ";", "{" or "}").
QString presetEntry(const QString &name, const QString &state);
// The rows of a preset entry (its part after "*&", split at "_", empty parts dropped).
QStringList presetRows(const QString &entry);

} // namespace kora::controls
