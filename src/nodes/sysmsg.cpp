#include "nodes/sysmsg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>

namespace kora::nodes {
namespace {

// The value without its last character (the unit): "12.5%" -> "12.5".
QString withoutUnit(const QString &value)
{
    return value.left(value.size() - 1);
}

float fraction(const QString &text)
{
    bool ok = false;
    const float f = text.toFloat(&ok);
    return ok && std::isfinite(f) ? f : 0.0f;
}

int whole(const QString &text)
{
    return text.toInt(); // 0 when unreadable or out of range
}

} // namespace

QByteArray statusRequest()
{
    const QJsonObject request{{"Function", "getLog"}, {"Type", "System"}, {"Value", QJsonObject{{"get_sys_msg", "echo"}}}};
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

std::optional<SysMsg> parseSysMsg(const QByteArray &datagram)
{
    const QString text = QString::fromUtf8(datagram);
    const int firstEnd = text.indexOf(QLatin1Char('\n'));
    if (QStringView(text).left(firstEnd < 0 ? text.size() : firstEnd) != QLatin1String("[sys_msg]"))
        return std::nullopt;
    SysMsg msg;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringRef name = line.leftRef(colon);
        const QString value = line.mid(colon + 1).trimmed();
        if (name == QLatin1String("CPU"))
            msg.cpu = fraction(withoutUnit(value));
        else if (name == QLatin1String("MemoryFree"))
            msg.memoryFree = whole(withoutUnit(value));
        else if (name == QLatin1String("MemoryUsed"))
            msg.memoryUsed = whole(withoutUnit(value));
        else if (name == QLatin1String("MemoryTotal"))
            msg.memoryTotal = whole(withoutUnit(value));
        else if (name == QLatin1String("Temperature"))
            msg.temperature = whole(value);
        else if (name == QLatin1String("NetSpeed"))
            msg.netSpeed = value.left(kMaxText);
        else if (name == QLatin1String("RuningTime"))
            msg.runingTime = value.left(kMaxText);
    }
    if (msg.memoryTotal != 0)
        msg.mem = float(double(msg.memoryUsed) * 100.0 / double(msg.memoryTotal));
    return msg;
}

QVariantMap statusMap(const SysMsg &msg)
{
    return {{QStringLiteral("cpu"), msg.cpu},
            {QStringLiteral("mem"), msg.mem},
            {QStringLiteral("temperature"), msg.temperature},
            {QStringLiteral("netSpeed"), msg.netSpeed},
            {QStringLiteral("runingTime"), msg.runingTime}};
}

quint16 nodePort(int type)
{
    return type == 1 ? kDecoderPort : type == 0 ? kEncoderPort : 0;
}

} // namespace kora::nodes
