#pragma once
// Values read from designed equipment for the data dockers: what a listener sends, how often,
// and how a number is cut out of a reply laid out like the designed reply template.
#include <QByteArray>
#include <QString>

namespace kora::levels {

// Characters (hex digits for HEX replies) before and after the value in a reply.
struct Cut {
    int prefix = 0;
    int suffix = 0;
    bool operator==(const Cut &o) const { return prefix == o.prefix && suffix == o.suffix; }
};

// The key's place in the template: "L=$L;" with key "$L" -> {2, 1}. A template without the
// key (or an empty key) cuts nothing: the whole reply is the value.
Cut cutFor(const QString &replyTemplate, const QString &key);

// "HEX" in any letter case: replies are raw bytes and requests hex text.
bool isHexType(const QString &type);

struct Reading {
    int value = 0;
    QString text; // what the value table keeps: the cut text, or the number of a HEX reply
    bool operator==(const Reading &o) const { return value == o.value && text == o.text; }
};

// A text reply: the cut text read as a decimal number, fractions truncated ("-12.7" -> -12).
// Anything that is not a finite number in the int range reads 0.
Reading readText(const QByteArray &datagram, Cut cut);

// A HEX reply: the cut hex digits as a number whose low 16 bits are a little-endian signed
// value (bytes FE FF -> -2). An empty cut reads 0.
Reading readHex(const QByteArray &datagram, Cut cut);

inline Reading readReply(const QByteArray &datagram, bool hex, Cut cut)
{
    return hex ? readHex(datagram, cut) : readText(datagram, cut);
}

// The request as it goes on the wire: Latin-1 text, or hex text decoded into bytes.
QByteArray requestPayload(const QString &data, bool hex);

// The audio data query is primed once with field 1 set to "0" before the query itself:
// "{GetAoData;1;3}" -> "{GetAoData;0;3}". Empty when the request is not that query.
QString primingRequest(const QString &data);

// When the requests go: "time" below 1 asks once, 100 ms after the start.
struct Schedule {
    int intervalMs = 0;
    bool singleShot = false;
    bool operator==(const Schedule &o) const { return intervalMs == o.intervalMs && singleShot == o.singleShot; }
};
Schedule scheduleFor(int timeMs);

// The request word that asks for reachability instead of a value.
inline bool isPing(const QString &data) { return data == QLatin1String("ping"); }

} // namespace kora::levels
