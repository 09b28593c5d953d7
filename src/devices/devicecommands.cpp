#include "devices/devicecommands.h"

#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"
#include "model/jsontext.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QVector>

#include <cmath>
#include <limits>

namespace kora::devices {

namespace {

const QByteArray kKvmHead = QByteArray("software=") + char(0x57) + char(0xAB);

void appendLe16(QByteArray &out, int value)
{
    const int v = qBound(0, value, 0xFFFF);
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

QHash<int, quint8> buildUsages()
{
    QHash<int, quint8> u{
        {Qt::Key_Escape, 41},    {Qt::Key_Tab, 43},        {Qt::Key_Backspace, 42}, {Qt::Key_Delete, 42},
        {Qt::Key_Return, 40},    {Qt::Key_Enter, 40},      {Qt::Key_Insert, 73},    {Qt::Key_Pause, 72},
        {Qt::Key_Print, 70},     {Qt::Key_Clear, 83},      {Qt::Key_NumLock, 83},   {Qt::Key_Home, 74},
        {Qt::Key_End, 77},       {Qt::Key_Left, 80},       {Qt::Key_Up, 82},        {Qt::Key_Right, 79},
        {Qt::Key_Down, 81},      {Qt::Key_PageUp, 75},     {Qt::Key_PageDown, 78},  {Qt::Key_Meta, 227},
        {Qt::Key_CapsLock, 57},  {Qt::Key_ScrollLock, 71}, {Qt::Key_Space, 44},
        {Qt::Key_Minus, 45},     {Qt::Key_Underscore, 45}, {Qt::Key_Equal, 46},     {Qt::Key_Plus, 46},
        {Qt::Key_BracketLeft, 47}, {Qt::Key_BraceLeft, 47}, {Qt::Key_BracketRight, 48}, {Qt::Key_BraceRight, 48},
        {Qt::Key_Backslash, 49}, {Qt::Key_Bar, 49},        {Qt::Key_Semicolon, 51}, {Qt::Key_Colon, 51},
        {Qt::Key_Apostrophe, 52}, {Qt::Key_QuoteDbl, 52},  {Qt::Key_QuoteLeft, 53}, {Qt::Key_AsciiTilde, 53},
        {Qt::Key_Comma, 54},     {Qt::Key_Less, 54},       {Qt::Key_Period, 55},    {Qt::Key_Greater, 55},
        {Qt::Key_Slash, 56},     {Qt::Key_Question, 56},
    };
    for (int i = 0; i < 12; ++i)
        u.insert(Qt::Key_F1 + i, quint8(58 + i));
    for (int i = 0; i < 26; ++i)
        u.insert(Qt::Key_A + i, quint8(4 + i));
    // The digit row in HID order, 1 ... 9 then 0, each with its shifted sign.
    const int digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                          Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
    const int shifted[] = {Qt::Key_Exclam,    Qt::Key_At,       Qt::Key_NumberSign, Qt::Key_Dollar,
                           Qt::Key_Percent,   Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,
                           Qt::Key_ParenLeft, Qt::Key_ParenRight};
    for (int i = 0; i < 10; ++i) {
        u.insert(digits[i], quint8(30 + i));
        u.insert(shifted[i], quint8(30 + i));
    }
    return u;
}

// A number or a numeric text in int range, fractions cut off; 0 for anything else.
int intOrZero(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = std::trunc(value.toDouble());
        if (!std::isfinite(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
            return 0;
        return int(d);
    }
    if (value.isString()) {
        bool ok = false;
        const int v = value.toString().trimmed().toInt(&ok);
        return ok ? v : 0;
    }
    return 0;
}

QString shown(const QString &text)
{
    return text.size() <= 80 ? text : text.left(80) + QStringLiteral("...");
}

QJsonObject fileEntry(const commands::FileInfo &node, const QString &suffix = QString())
{
    return QJsonObject{{QStringLiteral("name"), node.name + suffix},
                       {QStringLiteral("id"), node.id},
                       {QStringLiteral("type"), node.type},
                       {QStringLiteral("pid"), node.pid}};
}

// Depth-first, children before the next node of the same level; no recursion, since a
// host's tree can be one long chain.
const commands::FileInfo *findNode(const QList<commands::FileInfo> &roots, const QString &id)
{
    QVector<const commands::FileInfo *> open;
    for (int i = roots.size() - 1; i >= 0; --i)
        open.append(&roots.at(i));
    while (!open.isEmpty()) {
        const commands::FileInfo *node = open.takeLast();
        if (node->id == id)
            return node;
        for (int i = node->children.size() - 1; i >= 0; --i)
            open.append(&node->children.at(i));
    }
    return nullptr;
}

} // namespace

link::Destinations deviceDestination(const QString &address, quint16 port)
{
    const QHostAddress a(link::deviceAddress(address));
    if (a.isNull() || a.protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    return {{a, port}};
}

quint8 modifierByte(int qtModifiers)
{
    const int known = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier;
    if (qtModifiers & ~known)
        return 0;
    quint8 byte = 0;
    if (qtModifiers & Qt::ControlModifier)
        byte |= 0x01;
    if (qtModifiers & Qt::ShiftModifier)
        byte |= 0x02;
    if (qtModifiers & Qt::AltModifier)
        byte |= 0x04;
    return byte;
}

quint8 hidUsage(int qtKey)
{
    static const QHash<int, quint8> usages = buildUsages();
    return usages.value(qtKey, 0);
}

QByteArray mousePacket(const QString &platform, int button, int x, int y)
{
    QByteArray out = kKvmHead;
    out.append(char(0x04));
    if (platform != kFpgaArm)
        out.append(char(0x01));
    out.append(char(quint8(button)));
    appendLe16(out, x);
    appendLe16(out, y);
    out.append(char(0x00));
    return out;
}

QByteArray keyPressPacket(int qtKey, int qtModifiers)
{
    QByteArray out = kKvmHead;
    out.append(char(0x01));
    out.append(char(modifierByte(qtModifiers)));
    out.append(char(0x00));
    out.append(char(hidUsage(qtKey)));
    out.append(5, char(0x00));
    return out;
}

QByteArray keyReleasePacket()
{
    QByteArray out = kKvmHead;
    out.append(char(0x01));
    out.append(8, char(0x00));
    return out;
}

quint16 mousePort(const QString &platform)
{
    return platform == kFpgaArm ? kKvmMousePort : kKvmWebPort;
}

quint16 keyPort(const QString &platform)
{
    return platform == kFpgaArm ? kKvmKeyPort : kKvmWebPort;
}

QString platformOf(const std::vector<SignalRecord> &signalList, const QString &address)
{
    const QString device = link::deviceAddress(address);
    if (device.isEmpty())
        return {};
    for (const SignalRecord &s : signalList) {
        if (link::deviceAddress(s.ip) == device)
            return s.platform;
    }
    return {};
}

Datagram kvmMouse(const std::vector<SignalRecord> &signalList, const QString &address, int button, int x, int y)
{
    const QString platform = platformOf(signalList, address);
    return {mousePacket(platform, button, x, y), deviceDestination(address, mousePort(platform))};
}

Datagram kvmKeyPress(const std::vector<SignalRecord> &signalList, const QString &address, int qtKey, int qtModifiers)
{
    const QString platform = platformOf(signalList, address);
    return {keyPressPacket(qtKey, qtModifiers), deviceDestination(address, keyPort(platform))};
}

Datagram kvmKeyRelease(const std::vector<SignalRecord> &signalList, const QString &address)
{
    return {keyReleasePacket(), deviceDestination(address, keyPort(platformOf(signalList, address)))};
}

QByteArray cameraMove(const QString &cameraId, int direction)
{
    return link::requestEnvelope(QStringLiteral("SetCamerasMove"), {{QStringLiteral("id"), cameraId},
                                                                    {QStringLiteral("speed"), 0.5},
                                                                    {QStringLiteral("direction"), direction}});
}

QByteArray cameraZoom(const QString &cameraId, int direction)
{
    return link::requestEnvelope(QStringLiteral("SetCamerasZoom"), {{QStringLiteral("id"), cameraId},
                                                                    {QStringLiteral("speed"), 0.5},
                                                                    {QStringLiteral("direction"), direction}});
}

QByteArray cameraPreset(const QString &cameraId, const QString &name, int save)
{
    return link::requestEnvelope(save != 0 ? QStringLiteral("SetCamerasPresets") : QStringLiteral("CallCamerasPresets"),
                                 {{QStringLiteral("id"), cameraId}, {QStringLiteral("name"), name}});
}

link::Destinations cameraDestination(const QString &serverIp)
{
    return link::serverRelay(serverIp);
}

QByteArray markStart()
{
    return link::textCommand(QStringLiteral("StartMark"), {QStringLiteral("0,0")});
}

QByteArray markStroke(int x, int y, int width, const QString &colour)
{
    return link::textCommand(QStringLiteral("StartPt"),
                             {QStringLiteral("1"), QStringLiteral("%1,%2,%3,%4").arg(x).arg(y).arg(width).arg(markColour(colour))});
}

QByteArray markTo(int x, int y)
{
    return link::textCommand(QStringLiteral("ToPt"), {QStringLiteral("1"), QStringLiteral("%1,%2").arg(x).arg(y)});
}

QByteArray markFrame(int x, int y, int w, int h)
{
    return link::textCommand(QStringLiteral("ToFrame"),
                             {QStringLiteral("1"), QStringLiteral("%1,%2,%3,%4").arg(x).arg(y).arg(w).arg(h)});
}

QByteArray markClear()
{
    return link::textCommand(QStringLiteral("ClearMark"), {QStringLiteral("0")});
}

QByteArray markEnd()
{
    return link::textCommand(QStringLiteral("EndMark"), {QStringLiteral("0")});
}

quint32 markColour(const QString &colour)
{
    bool ok = false;
    const uint value = colour.mid(1).toUInt(&ok, 16);
    return ok ? value : 0;
}

link::Destinations markDestination(const QString &address)
{
    return deviceDestination(address, kMarkPort);
}

QByteArray cropCommand(int x, int y, int w, int h)
{
    return link::nodeEnvelope(QStringLiteral("setViCrop"), {{QStringLiteral("channel"), QStringLiteral("chn0")},
                                                            {QStringLiteral("crop_x"), x},
                                                            {QStringLiteral("crop_y"), y},
                                                            {QStringLiteral("crop_w"), w},
                                                            {QStringLiteral("crop_h"), h},
                                                            {QStringLiteral("vi_crop_enable"), 1}});
}

QByteArray snapCommand(int type, const QSize &minSnap, const QSize &maxSnap)
{
    QSize size;
    if (type == 0)
        size = minSnap;
    else if (type == 1)
        size = maxSnap;
    else if (type == 2)
        size = QSize(1280, 720);
    QJsonObject value{{QStringLiteral("channel"), QStringLiteral("chn0")}};
    // A size missing from the settings would reach the encoder as -1 × -1.
    if (!size.isEmpty()) {
        value.insert(QStringLiteral("snap_w"), size.width());
        value.insert(QStringLiteral("snap_h"), size.height());
    }
    return link::nodeEnvelope(QStringLiteral("setSnap"), value);
}

QByteArray configQuery()
{
    return link::nodeEnvelope(QStringLiteral("getSystemMsg"), {{QStringLiteral("get_venc_config"), QStringLiteral("echo")}});
}

QByteArray hostTreeRequest()
{
    return link::requestEnvelope(QStringLiteral("GetDevStructureTree"));
}

QByteArray hostControlRequest(int type, const QString &id, const QString &act)
{
    return link::requestEnvelope(QStringLiteral("ControlNode"), {{QStringLiteral("id"), id},
                                                                 {QStringLiteral("type"), type},
                                                                 {QStringLiteral("act"), act}});
}

link::Destinations hostDestination(const QString &hostAddress)
{
    // link::hostRequest("") is the broadcast address: a node command is for one host only.
    return deviceDestination(hostAddress, link::kHostServicePort);
}

const HostTree *hostOfEncoder(const QList<HostTree> &hosts, const QString &vencIp)
{
    const QString venc = link::deviceAddress(vencIp);
    if (venc.isEmpty())
        return nullptr;
    for (const HostTree &host : hosts) {
        if (host.venc == venc)
            return &host;
    }
    return nullptr;
}

QString hostAddressOfEncoder(const QList<HostTree> &hosts, const QString &vencIp)
{
    const HostTree *host = hostOfEncoder(hosts, vencIp);
    return host ? host->address : QString();
}

Datagram hostTreeQuery(const QList<HostTree> &hosts, const QString &vencIp)
{
    const HostTree *host = hostOfEncoder(hosts, vencIp);
    if (!host) {
        KTRACE(lcApi) << "no host shown by encoder" << vencIp << ": file tree not asked for";
        return {hostTreeRequest(), {}};
    }
    return {hostTreeRequest(), hostDestination(host->address)};
}

QJsonArray hostFileEntries(const QList<HostTree> &hosts, const QString &vencIp, const QString &pid)
{
    const HostTree *host = hostOfEncoder(hosts, vencIp);
    if (!host)
        return {};
    QJsonArray entries;
    if (pid == QLatin1String("0")) {
        entries.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("/:")},
                                   {QStringLiteral("id"), QStringLiteral("0")},
                                   {QStringLiteral("type"), 0},
                                   {QStringLiteral("pid"), QStringLiteral("0")}});
        for (const commands::FileInfo &root : host->tree)
            entries.append(fileEntry(root));
        return entries;
    }
    const commands::FileInfo *node = findNode(host->tree, pid);
    if (!node) {
        // The page asks for a folder of a tree the host has since replaced: show nothing
        // rather than the top level under that folder's name.
        KTRACE(lcApi) << "host" << host->address << "has no node" << shown(pid);
        return {};
    }
    entries.append(fileEntry(*node, QStringLiteral(":")));
    for (const commands::FileInfo &child : node->children)
        entries.append(fileEntry(child));
    return entries;
}

EventMessage parseEvent(const QByteArray &datagram)
{
    EventMessage m;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(datagram, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        KTRACE(lcApi) << "event is not a JSON object:" << error.errorString() << shown(QString::fromUtf8(datagram));
        return m;
    }
    const QJsonObject object = document.object();
    const QJsonValue request = object.value(QLatin1String("request"));
    if (request.isString()) {
        const QString name = request.toString();
        const bool audio = name == QLatin1String("ActiveAudio");
        if (!audio && name != QLatin1String("ActiveInput")) {
            KTRACE(lcApi) << "event request not handled:" << shown(name);
            return m;
        }
        const QJsonValue data = object.value(QLatin1String("data"));
        if (!data.isObject()) {
            KWARN(lcApi) << "event request" << name << "without a data object";
            return m;
        }
        const QJsonObject d = data.toObject();
        m.nextTime = intOrZero(d.value(QLatin1String("next_time")));
        if (audio) {
            m.kind = EventMessage::Kind::AudioRequest;
            m.name = jsonText(d.value(QLatin1String("name")));
            m.eventId = jsonText(d.value(QLatin1String("eventID")));
            return m;
        }
        m.srcIp = jsonText(d.value(QLatin1String("src_ip")));
        if (m.srcIp.isEmpty()) {
            KWARN(lcApi) << "input event without src_ip";
            return m;
        }
        m.kind = EventMessage::Kind::InputRequest;
        return m;
    }
    const QString response = jsonText(object.value(QLatin1String("response")));
    if (response == QLatin1String("ActiveAudio") || response == QLatin1String("ActiveInput")) {
        m.kind = EventMessage::Kind::Response;
        m.response = response;
        return m;
    }
    KTRACE(lcApi) << "event not handled:" << shown(QString::fromUtf8(datagram));
    return m;
}

int inputSignalIndex(const std::vector<SignalRecord> &signalList, const QString &srcIp)
{
    if (srcIp.isEmpty())
        return -1;
    for (size_t i = 0; i < signalList.size(); ++i) {
        if (link::deviceAddress(signalList[i].ip) == srcIp)
            return int(i);
    }
    return -1;
}

QByteArray audioEventResponse(const QString &eventId, bool activate, int nextTime)
{
    return link::responseEnvelope(QStringLiteral("ActiveAudio"), {{QStringLiteral("activate"), activate},
                                                                  {QStringLiteral("eventID"), eventId},
                                                                  {QStringLiteral("next_time"), nextTime}});
}

QByteArray inputEventResponse(const QString &srcIp, int nextTime)
{
    return link::responseEnvelope(QStringLiteral("ActiveInput"), {{QStringLiteral("src_ip"), srcIp},
                                                                  {QStringLiteral("next_time"), nextTime}});
}

link::Destinations inputResponseDestinations(const QString &address, int port)
{
    link::Destinations to{{QHostAddress(QLatin1String(link::kEventGroup)), link::kEventPort}};
    if (port <= 0 || port > 0xFFFF)
        return to;
    for (const link::Destination &d : deviceDestination(address, quint16(port))) {
        if (!to.contains(d))
            to.append(d);
    }
    return to;
}

} // namespace kora::devices
