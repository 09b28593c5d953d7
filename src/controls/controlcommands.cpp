#include "controls/controlcommands.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QJsonValue>
#include <QStringMatcher>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace kora::controls {

namespace {

const QString kInternalIp = QStringLiteral("127.0.0.1");
const QString kUnspecifiedIp = QStringLiteral("0.0.0.0");
constexpr int kSendPauseMs = 5; // sliders and matrices pace their datagrams

// Enough of a long payload to recognise it in the log.
QString shown(const QString &text)
{
    return text.size() > 200 ? text.left(200) + QStringLiteral("...") : text;
}

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Only a plain dotted quad is a destination: the sockets would read other spellings
// ("127.1", "010.0.0.1") differently from what the designer meant.
bool usableIp(const QString &ip)
{
    const QStringList parts = ip.split(QLatin1Char('.'));
    if (parts.size() != 4 || ip == kUnspecifiedIp)
        return false;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

// 1..65535, or 0 for anything else.
quint16 portFromText(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? quint16(port) : 0;
}

quint16 portFromJson(const QJsonValue &value)
{
    if (value.isString())
        return portFromText(value.toString());
    const double port = value.toDouble(-1);
    return port >= 1 && port <= 65535 && port == std::trunc(port) ? quint16(port) : 0;
}

int boundedDelay(qint64 ms)
{
    return int(std::clamp<qint64>(ms, 0, kMaxDelayMs));
}

int boundedDelay(const QVariant &ms)
{
    const double value = ms.toDouble();
    return std::isfinite(value) ? int(std::clamp<double>(value, 0, kMaxDelayMs)) : 0;
}

// A network packet, or none (logged) when the destination or the size is unusable.
bool networkPacket(Transport transport, const QString &ip, quint16 port, const QByteArray &data, int delayMs,
                   QList<Packet> *out, const char *what)
{
    if (!usableIp(ip)) {
        KWARN(lcApi) << what << "has no usable destination" << ip << ": not sent";
        return false;
    }
    if (port == 0) {
        KWARN(lcApi) << what << "has no usable port: not sent to" << ip;
        return false;
    }
    if (data.size() > kMaxPayload) {
        KWARN(lcApi) << what << "of" << data.size() << "bytes is too large: not sent to" << ip;
        return false;
    }
    KTRACE(lcApi) << what << (transport == Transport::Tcp ? "tcp" : "udp") << ip << port << data.left(100).toHex(' ');
    out->append({transport, ip, port, data, delayMs});
    return true;
}

bool internalPacket(const QString &text, int delayMs, QList<Packet> *out, const char *what)
{
    const QByteArray data = text.toUtf8();
    if (data.size() > kMaxPayload) {
        KWARN(lcApi) << what << "design command of" << data.size() << "bytes is too large: not run";
        return false;
    }
    KTRACE(lcApi) << what << "design command" << shown(text);
    out->append({Transport::Internal, kInternalIp, 0, data, delayMs});
    return true;
}

// "Tcp" of a first-generation block: 0 datagram, 1 TCP, anything else (also not a number) none.
bool transportFromText(const QString &tcp, Transport *transport)
{
    bool ok = false;
    const int value = tcp.toInt(&ok);
    if (ok && value == 0)
        *transport = Transport::Udp;
    else if (ok && value == 1)
        *transport = Transport::Tcp;
    else
        return false;
    return true;
}

// "Hex" is set by a number other than 0; a text that is not a number leaves it clear.
bool hexFromText(const QString &hex)
{
    return hex.toInt() != 0;
}

QString replaceFirst(QString text, const QString &key, const QString &value)
{
    if (key.isEmpty())
        return text;
    const int at = text.indexOf(key);
    if (at >= 0)
        text.replace(at, key.size(), value);
    return text;
}

// Non-overlapping, left to right: the occurrences QString::replace replaces.
int occurrences(const QString &text, const QString &key)
{
    const QStringMatcher matcher(key);
    int count = 0;
    for (int at = matcher.indexIn(text); at >= 0; at = matcher.indexIn(text, at + key.size()))
        ++count;
    return count;
}

// Replaces every `key` by `value` unless the text would then grow past kMaxPayload.
bool replaceAllBounded(QString *text, const QString &key, const QString &value)
{
    if (key.isEmpty() || !text->contains(key))
        return true;
    const qint64 growth = qint64(value.size() - key.size()) * occurrences(*text, key);
    if (growth > 0 && text->size() + growth > kMaxPayload) {
        KWARN(lcApi) << "replacing" << shown(key) << "would make the command longer than" << kMaxPayload
                     << "characters: not sent";
        return false;
    }
    text->replace(key, value);
    return true;
}

QJsonValue jsonOf(const QVariant &value)
{
    return QJsonValue::fromVariant(value);
}

// The slider value truncated to a decimal integer; false for values no integer can hold.
bool sliderInteger(double value, QString *text)
{
    const double whole = std::trunc(value);
    if (!std::isfinite(whole) || std::fabs(whole) >= 9.0e18)
        return false;
    *text = QString::number(qint64(whole));
    return true;
}

QStringList fields(const QString &value)
{
    QStringList f = value.split(QLatin1Char(';'));
    while (f.size() < 6)
        f.append(QString());
    return f;
}

} // namespace

QByteArray decodeHexText(const QString &text)
{
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (digits.size() % 2)
        digits.prepend(QLatin1Char('0'));
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (int i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits.at(i));
        const int low = hexDigit(digits.at(i + 1));
        bytes.append(char(high < 0 || low < 0 ? 0 : high * 16 + low));
    }
    return bytes;
}

QList<QPair<QString, QString>> commandLines(const QString &block)
{
    QList<QPair<QString, QString>> lines;
    const QStringList texts = block.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &line : texts) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            KTRACE(lcApi) << "command line without \"=\" skipped:" << shown(line);
            continue;
        }
        lines.append({line.left(eq), line.mid(eq + 1)});
    }
    return lines;
}

QString substituteWildcards(const QString &text, const QJsonObject &wildcard, const Values &values, bool *ok)
{
    if (ok)
        *ok = false;
    QString s = text;
    QStringList keys = wildcard.keys();
    std::sort(keys.begin(), keys.end());
    for (const QString &key : keys) {
        if (key.isEmpty() || !s.contains(key))
            continue;
        // "docker:key": the value the data docker last reported under that key.
        const QString reference = wildcard.value(key).toVariant().toString();
        const QString docker = reference.section(QLatin1Char(':'), 0, 0);
        const QString entry = reference.section(QLatin1Char(':'), 1, 1);
        const QString replacement = values.dockers.value(docker).value(entry).toString();
        if (!replaceAllBounded(&s, key, replacement))
            return QString();
    }
    for (auto it = values.variables.cbegin(); it != values.variables.cend(); ++it) {
        if (!replaceAllBounded(&s, it.key(), it.value()))
            return QString();
    }
    if (ok)
        *ok = true;
    return s;
}

QString sliderHex(double value)
{
    double low = std::fmod(std::trunc(value), 65536.0);
    if (std::isnan(low))
        low = 0;
    if (low < 0)
        low += 65536.0;
    const int bits = int(low) & 0xffff;
    return QStringLiteral("%1%2").arg(bits & 0xff, 2, 16, QLatin1Char('0')).arg(bits >> 8, 2, 16, QLatin1Char('0'));
}

QString sliderText(double value)
{
    return QString::number(value, 'g', 6);
}

namespace {
// What the lines of a block set before its Data lines; every control reads these alike.
// Before any line sets them: no address, port none, datagrams, text.
struct BlockSettings {
    QString ip;
    QString port = QStringLiteral("0");
    QString tcp = QStringLiteral("0");
    QString hex = QStringLiteral("0");

    // False when `key` is none of them.
    bool read(const QString &key, const QString &value)
    {
        QString *field = key == QLatin1String("IP") ? &ip
                         : key == QLatin1String("Port") ? &port
                         : key == QLatin1String("Tcp") ? &tcp
                         : key == QLatin1String("Hex") ? &hex
                                                       : nullptr;
        if (field)
            *field = value;
        return field;
    }
};
} // namespace

QList<Packet> buttonPackets(const QStringList &blocks)
{
    QList<Packet> packets;
    const char *const what = "button command";
    BlockSettings set; // Port, Tcp and Hex carry over to the next block
    qint64 pending = 0; // waits of Data lines that sent nothing
    for (const QString &block : blocks) {
        set.ip.clear();
        int time = 0;
        const QList<QPair<QString, QString>> lines = commandLines(block);
        for (const auto &[key, value] : lines) {
            if (set.read(key, value)) {
                continue;
            } else if (key == QLatin1String("Time")) {
                bool ok = false;
                time = boundedDelay(value.toLongLong(&ok));
                if (!ok) {
                    KWARN(lcApi) << "button Time" << shown(value) << "is not a number: no wait";
                    time = 0;
                }
            } else if (key == QLatin1String("Data")) {
                if (set.ip == kInternalIp) {
                    // The rest of a block addressed to the client itself is not read.
                    if (internalPacket(value, boundedDelay(pending), &packets, what))
                        pending = 0;
                    break;
                }
                pending = std::min<qint64>(pending + time, kMaxDelayMs);
                Transport transport = Transport::Udp;
                if (!transportFromText(set.tcp, &transport)) {
                    KWARN(lcApi) << "button Tcp value" << shown(set.tcp) << "is neither 0 nor 1: not sent";
                    continue;
                }
                const QByteArray data = hexFromText(set.hex) ? decodeHexText(value) : value.toUtf8();
                if (networkPacket(transport, set.ip, portFromText(set.port), data, int(pending), &packets, what))
                    pending = 0;
            }
        }
    }
    return packets;
}

Event buttonEvent(const QVariantMap &event, const Values &values)
{
    KTRACE(lcApi) << "button event" << event;
    Event e;
    const QString behavior = event.value(QStringLiteral("behavior")).toString();
    e.delayMs = boundedDelay(event.value(QStringLiteral("delay")));
    const QJsonValue value = jsonOf(event.value(QStringLiteral("value")));
    const char *const what = "button event";

    if (behavior == QLatin1String("SwitchPage")) {
        if (value.isString()) {
            e.pages.append(value.toString());
        } else {
            for (const QJsonValue &page : value.toArray()) {
                if (page.isString())
                    e.pages.append(page.toString());
            }
        }
        if (e.pages.isEmpty())
            KWARN(lcApi) << "page switch without a page: ignored";
        else
            e.kind = Event::Kind::SwitchPage;
    } else if (behavior == QLatin1String("ShowWidget") || behavior == QLatin1String("HideWidget")) {
        e.widgets = value.toArray();
        if (e.widgets.isEmpty())
            KWARN(lcApi) << behavior << "without widget names: ignored";
        else
            e.kind = behavior == QLatin1String("ShowWidget") ? Event::Kind::ShowWidget : Event::Kind::HideWidget;
    } else if (behavior == QLatin1String("SendData")) {
        e.kind = Event::Kind::Send;
        const QJsonObject send = value.toObject();
        const QString ip = send.value(QLatin1String("ip")).toString();
        QString data = send.value(QLatin1String("data")).toString();
        if (ip == kInternalIp) {
            internalPacket(data, 0, &e.packets, what);
            return e;
        }
        if (send.contains(QLatin1String("wildcard"))) {
            bool ok = false;
            data = substituteWildcards(data, send.value(QLatin1String("wildcard")).toObject(), values, &ok);
            if (!ok)
                return e;
        }
        const QString protocol = send.value(QLatin1String("protocol")).toString();
        Transport transport = Transport::Udp;
        if (protocol == QLatin1String("Tcp")) {
            transport = Transport::Tcp;
        } else if (protocol != QLatin1String("Udp") && protocol != QLatin1String("Multicast")) {
            KWARN(lcApi) << "button event protocol" << shown(protocol) << "is not known: not sent";
            return e;
        }
        const QByteArray bytes = send.value(QLatin1String("type")).toString() == QLatin1String("ASCII")
                                     ? data.toUtf8()
                                     : decodeHexText(data);
        networkPacket(transport, ip, portFromJson(send.value(QLatin1String("port"))), bytes, 0, &e.packets, what);
    } else {
        KWARN(lcApi) << "button event behavior" << shown(behavior) << "is not known: ignored";
    }
    return e;
}

QList<Packet> sliderPackets(const QString &block, double value)
{
    QList<Packet> packets;
    const char *const what = "slider command";
    BlockSettings set; // sliders never use TCP: "Tcp" is read and not used
    QString key;
    const QList<QPair<QString, QString>> lines = commandLines(block);
    for (const auto &[name, text] : lines) {
        if (set.read(name, text)) {
            continue;
        } else if (name == QLatin1String("Key")) {
            key = text;
        } else if (name == QLatin1String("Data")) {
            const QByteArray data = hexFromText(set.hex) ? decodeHexText(replaceFirst(text, key, sliderHex(value)))
                                                         : replaceFirst(text, key, sliderText(value)).toUtf8();
            networkPacket(Transport::Udp, set.ip, portFromText(set.port), data, kSendPauseMs, &packets, what);
        }
    }
    return packets;
}

QList<Packet> sliderEventPackets(const QJsonObject &event, double value, bool *storesState)
{
    KTRACE(lcApi) << "slider event" << event;
    QList<Packet> packets;
    if (storesState)
        *storesState = true;
    if (event.value(QLatin1String("behavior")).toString() != QLatin1String("SendData"))
        return packets;
    const QJsonObject send = event.value(QLatin1String("value")).toObject();
    QStringList keys = send.value(QLatin1String("wildcard")).toObject().keys();
    if (keys.isEmpty()) {
        // A slider whose event has no placeholder neither sends nor keeps its state.
        if (storesState)
            *storesState = false;
        return packets;
    }
    std::sort(keys.begin(), keys.end());
    const QString &placeholder = keys.first();
    const char *const what = "slider event";
    const QString data = send.value(QLatin1String("data")).toString();
    QByteArray bytes;
    if (send.value(QLatin1String("type")).toString() == QLatin1String("Hex")) {
        bytes = decodeHexText(replaceFirst(data, placeholder, sliderHex(value)));
    } else {
        QString number;
        if (!sliderInteger(value, &number)) {
            KWARN(lcApi) << "slider value" << value << "is not a usable integer: not sent";
            return packets;
        }
        bytes = replaceFirst(data, placeholder, number).toUtf8();
    }
    networkPacket(Transport::Udp, send.value(QLatin1String("ip")).toString(), portFromJson(send.value(QLatin1String("port"))),
                  bytes, kSendPauseMs, &packets, what);
    return packets;
}

QList<Packet> matrixPackets(const QString &block, const QString &xValue, const QString &yValue)
{
    const QStringList x = fields(xValue);
    const QStringList y = fields(yValue);
    const auto substituted = [&](QString *text) {
        bool ok = replaceAllBounded(text, QStringLiteral("$X_IP"), x.at(0));
        for (int i = 1; ok && i <= 4; ++i)
            ok = replaceAllBounded(text, QStringLiteral("$X_CD%1").arg(i), x.at(i + 1));
        ok = ok && replaceAllBounded(text, QStringLiteral("$Y_IP"), y.at(0));
        for (int i = 1; ok && i <= 4; ++i)
            ok = replaceAllBounded(text, QStringLiteral("$Y_CD%1").arg(i), y.at(i + 1));
        return ok;
    };

    QList<Packet> packets;
    const char *const what = "matrix command";
    BlockSettings set;
    const QList<QPair<QString, QString>> lines = commandLines(block);
    for (const auto &[key, value] : lines) {
        if (set.read(key, value)) {
            continue;
        } else if (key == QLatin1String("IPStr")) {
            QString text = value;
            if (set.ip == kUnspecifiedIp && substituted(&text))
                set.ip = text;
        } else if (key == QLatin1String("Data")) {
            if (set.ip == kUnspecifiedIp) {
                // Earlier Data lines of this command have already gone out; the rest never does.
                KWARN(lcApi) << "matrix command without a destination for" << shown(value) << ": stopped";
                break;
            }
            QString text = value;
            if (!substituted(&text))
                continue;
            Transport transport = Transport::Udp;
            if (!transportFromText(set.tcp, &transport)) {
                KWARN(lcApi) << "matrix Tcp value" << shown(set.tcp) << "is neither 0 nor 1: not sent";
                continue;
            }
            // Latin-1 first: a character it cannot hold becomes "?", not hex, and so a 0 byte.
            const QByteArray latin = text.toLatin1();
            const QByteArray data = hexFromText(set.hex) ? decodeHexText(QString::fromLatin1(latin)) : latin;
            networkPacket(transport, set.ip, portFromText(set.port), data, kSendPauseMs, &packets, what);
        }
    }
    return packets;
}

QString sliderState(const QString &uuid, double value)
{
    return QStringLiteral("S_") + uuid + QLatin1Char('_') + sliderText(value);
}

QString presetEntry(const QString &name, const QString &state)
{
    // The stored state joins presets with "&*", a name ends at "*&", and the state travels
    // inside a brace command with ";" fields.
    for (const char *separator : {"*&", "&*", ";", "{", "}"}) {
        if (name.contains(QLatin1String(separator))) {
            KWARN(lcApi) << "preset name" << shown(name) << "holds" << separator << ": not saved";
            return QString();
        }
    }
    return name + QStringLiteral("*&_") + state.section(QLatin1Char('_'), 2);
}

QStringList presetRows(const QString &entry)
{
    const int at = entry.indexOf(QLatin1String("*&"));
    if (at < 0)
        return {};
    return entry.mid(at + 2).split(QLatin1Char('_'), Qt::SkipEmptyParts);
}

} // namespace kora::controls
