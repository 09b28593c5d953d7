#include "peers/services.h"

#include <QJsonDocument>

namespace lab {
namespace {
constexpr char kServiceType[] = "urn:vxr:sw:korav2";

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject response(const QString &name, const QJsonValue &data)
{
    return QJsonObject{{"response", name}, {"code", "0"}, {"msg", "ok"}, {"data", data}};
}
} // namespace

HostServicePeer::HostServicePeer(const QHostAddress &address, const QString &devId)
    : m_address(address)
    , m_devId(devId)
{
}

QJsonArray HostServicePeer::fileTree()
{
    auto node = [](const char *id, const char *pid, const char *name, int type, const char *area) {
        return QJsonObject{{"id", id}, {"pid", pid}, {"name", name}, {"type", type}, {"area", area}};
    };
    // Children listed before their parents on purpose: clients must find parents anywhere.
    return QJsonArray{node("11", "1", "briefing.pptx", 1, "D:"), node("1", "0", "Presentations", 0, "D:"),
                      node("12", "1", "maps.pdf", 1, "D:"),     node("2", "0", "Videos", 0, "E:"),
                      node("21", "2", "intro.mp4", 1, "E:"),     node("211", "21", "intro-subtitles.srt", 1, "E:")};
}

QList<Outgoing> HostServicePeer::handle(const Datagram &in)
{
    const QJsonObject request = QJsonDocument::fromJson(in.data).object();
    const QString name = request.value(QStringLiteral("request")).toString();
    QJsonObject answer;
    if (name == QLatin1String("GetDev")) {
        answer = response(name, QJsonObject{{"dev_id", m_devId}, {"dev_name", "KVM host " + m_devId},
                                            {"dev_venc", m_address.toString()}});
    } else if (name == QLatin1String("GetDevStructureTree")) {
        answer = response(name, fileTree());
    } else if (name == QLatin1String("ControlNode")) {
        answer = response(name, request.value(QStringLiteral("data")).toObject());
    } else {
        return {};
    }
    return {{compact(answer), in.sender, in.senderPort}};
}

DiscoveryPeer::DiscoveryPeer(const QHostAddress &address)
    : m_address(address)
    , m_usn(QStringLiteral("uuid:6b6f7261-6c61-6200-0000-%1::%2")
                .arg(address.toIPv4Address(), 12, 16, QLatin1Char('0'))
                .arg(QLatin1String(kServiceType)))
{
}

QByteArray DiscoveryPeer::composeAnswer(const QString &usn)
{
    return compact(QJsonObject{{"type", "rsearch"}, {"st", kServiceType}, {"server", "Linux/lab, korav2/lab"}, {"usn", usn}});
}

QByteArray DiscoveryPeer::composeNotify() const
{
    return compact(QJsonObject{{"type", "notify"}, {"nt", kServiceType}, {"nts", "alive"},
                               {"server", "Linux/lab, korav2/lab"}, {"usn", m_usn}});
}

QList<Outgoing> DiscoveryPeer::announce()
{
    const QHostAddress group(QStringLiteral("239.255.255.250"));
    const QByteArray search = compact(QJsonObject{{"type", "search"}, {"st", kServiceType}, {"mx", 1}});
    return {{composeNotify(), group, 1901}, {search, group, 1901}};
}

QList<Outgoing> DiscoveryPeer::handle(const Datagram &in)
{
    const QJsonObject message = QJsonDocument::fromJson(in.data).object();
    if (message.value(QStringLiteral("type")).toString() != QLatin1String("search")
        || message.value(QStringLiteral("st")).toString() != QLatin1String(kServiceType))
        return {};
    // Peers answer within "mx" seconds; the lab answers at once so tests stay quick.
    return {{composeAnswer(m_usn), in.sender, in.senderPort}};
}

EncoderPeer::EncoderPeer(int index, const QHostAddress &address)
    : m_index(index)
    , m_address(address)
{
}

void EncoderPeer::setStreams(const Streams &streams, RegistrationSink sink)
{
    m_streams = streams;
    m_sink = std::move(sink);
}

QList<Endpoint> EncoderPeer::groups() const
{
    if (!m_sink)
        return {};
    return {{m_streams.mainGroup, 19997}, {m_streams.subGroup, 19997}};
}

QByteArray EncoderPeer::composeReport() const
{
    const QString mainUrl = m_streams.mainUrl.isEmpty() ? QStringLiteral("udp://239.10.1.%1:5000").arg(m_index) : m_streams.mainUrl;
    const QString subUrl = m_streams.subUrl.isEmpty() ? QStringLiteral("udp://239.10.2.%1:5000").arg(m_index) : m_streams.subUrl;
    QString lines = QStringLiteral("[venc]\nname=Input %1\nip=%2\nmain_url=%3\nsub_url=%4\nresolution=%5\nfps=%6\n")
                        .arg(m_index)
                        .arg(m_address.toString(), mainUrl, subUrl, m_streams.resolution)
                        .arg(m_streams.fps);
    const QStringList size = m_streams.resolution.split(QLatin1Char('x'));
    const auto field = [](const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toVariant().toString(); };
    lines += QStringLiteral("kChn0_VI_W=%1\nkChn0_VI_H=%2\n").arg(size.value(0), size.value(1));
    lines += QStringLiteral("kChn0_VI_X=%1\nkChn0_VI_Y=%2\nkChn0_VI_Width=%3\nkChn0_VI_Height=%4\nkChn0_VI_Crop_Enable=%5\n")
                 .arg(field(m_crop, "crop_x"), field(m_crop, "crop_y"), field(m_crop, "crop_w"), field(m_crop, "crop_h"),
                      field(m_crop, "vi_crop_enable"));
    lines += QStringLiteral("kChn0_Osd_Enable=%1\nkChn0_Osd_Name=%2\nkChn0_Osd_X=%3\nkChn0_Osd_Y=%4\nkChn0_Osd_Size=%5\n")
                 .arg(field(m_osd, "osd_enable"), field(m_osd, "osd_name").remove(QLatin1Char('\n')), field(m_osd, "osd_x"),
                      field(m_osd, "osd_y"), field(m_osd, "osd_size"));
    return lines.toUtf8();
}

QList<Outgoing> EncoderPeer::handle(const Datagram &in)
{
    if (in.destinationPort == 19997) {
        if (m_sink)
            m_sink(in);
        return {};
    }
    if (in.destinationPort != 12345)
        return {};
    if (isStatusRequest(in.data))
        return m_status.answer(in);
    const QJsonObject envelope = QJsonDocument::fromJson(in.data).object();
    const QString function = envelope.value(QStringLiteral("Function")).toString();
    const QJsonObject value = envelope.value(QStringLiteral("Value")).toObject();
    // Only the keys the report shows are taken, each only with a value of its own kind.
    const auto take = [&value](QJsonObject &state) {
        for (auto it = state.begin(); it != state.end(); ++it) {
            const QJsonValue v = value.value(it.key());
            if (v.type() == it.value().type())
                it.value() = v;
        }
    };
    if (function == QLatin1String("insertIDR")) {
        if (m_sink && in.destination == m_address)
            m_sink(in); // its streams restart at a keyframe
        return {};
    }
    if (function == QLatin1String("setViCrop"))
        take(m_crop);
    else if (function == QLatin1String("setOsd"))
        take(m_osd);
    if (function != QLatin1String("getSystemMsg"))
        return {};
    return {{composeReport(), in.sender, in.senderPort}};
}

const QHostAddress EquipmentPeer::LevelGroup(QStringLiteral("239.77.8.1"));

EquipmentPeer::EquipmentPeer(const QHostAddress &address, QList<quint16> udpPorts)
    : m_address(address)
    , m_ports(std::move(udpPorts))
{
}

double EquipmentPeer::level(int channel, quint64 step)
{
    // Steps of 3.7 dB wrapping in a 60 dB range, channels apart from each other.
    return -double((step * 37 + quint64(channel) * 101) % 600) / 10.0;
}

QList<Outgoing> EquipmentPeer::handle(const Datagram &in)
{
    const QByteArray &d = in.data;
    const auto next = [this](int channel) {
        const auto held = m_held.constFind(channel);
        return held != m_held.cend() ? *held : level(channel, m_steps[channel]++);
    };
    if (d.size() == 5 && quint8(d[0]) == 0xaa && quint8(d[1]) == 0x55 && (d[2] == 0x10 || d[2] == 0x11)
        && quint8(d[4]) == 0xcc) {
        const int channel = quint8(d[3]);
        const qint16 value = qint16(qRound(next(channel)));
        QByteArray answer("\xaa\x55\x90", 3);
        answer.append(char(channel)).append(char(quint16(value) & 0xff)).append(char(quint16(value) >> 8)).append('\xcc');
        if (d[2] == 0x11)
            return {{answer, LevelGroup, LevelGroupPort}};
        return {{answer, in.sender, in.senderPort}};
    }
    const QString text = QString::fromLatin1(d);
    if (!text.startsWith(QLatin1Char('{')) || !text.endsWith(QLatin1Char('}')))
        return {};
    const QStringList fields = text.mid(1, text.size() - 2).split(QLatin1Char(';'));
    bool ok = false;
    if (fields.first() == QLatin1String("GetLevel") && fields.size() == 2) {
        const int channel = fields.at(1).toInt(&ok);
        if (ok)
            return {{QStringLiteral("{Level;%1;%2}").arg(channel).arg(next(channel), 0, 'f', 1).toLatin1(), in.sender,
                     in.senderPort}};
    } else if (fields.first() == QLatin1String("GetAoData") && fields.size() == 3 && fields.at(1) != QLatin1String("0")) {
        const int channel = fields.at(2).toInt(&ok);
        if (ok)
            return {{QStringLiteral("{AoData;%1;%2}").arg(channel).arg(next(channel), 0, 'f', 1).toLatin1(), in.sender,
                     in.senderPort}};
    }
    return {};
}

const QHostAddress EventSourcePeer::Group(QStringLiteral("224.169.1.1"));

EventSourcePeer::EventSourcePeer(const QHostAddress &address)
    : m_address(address)
{
}

QByteArray EventSourcePeer::alarm(const QString &kind, const QJsonObject &data, bool answered)
{
    if (kind != QLatin1String("ActiveAudio") && kind != QLatin1String("ActiveInput"))
        return {};
    return compact(answered ? response(kind, data) : QJsonObject{{"request", kind}, {"data", data}});
}

} // namespace lab
