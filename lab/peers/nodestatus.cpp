#include "peers/nodestatus.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lab {

bool isStatusRequest(const QByteArray &datagram)
{
    const QJsonObject o = QJsonDocument::fromJson(datagram).object();
    return o.value(QStringLiteral("Function")).toString() == QLatin1String("getLog")
           && o.value(QStringLiteral("Type")).toString() == QLatin1String("System")
           && o.value(QStringLiteral("Value")).toObject().contains(QStringLiteral("get_sys_msg"));
}

QByteArray statusReport(int seed, quint32 answer, qint64 uptimeMs)
{
    const quint32 s = quint32(seed);
    // Different steps per value, so they do not all rise and fall together.
    const double cpu = 5 + double((s * 17 + answer * 23) % 900) / 10.0;
    const int total = 2048;
    const int used = 512 + int((s * 37 + answer * 61) % 1024);
    const int temperature = 42 + int((s * 5 + answer * 3) % 20);
    const double speed = double((s * 13 + answer * 29) % 900) / 10.0;
    const qint64 up = qint64(s) * 3600 + qMax<qint64>(0, uptimeMs) / 1000; // each node came up at another time
    const QString running = QStringLiteral("%1d %2:%3:%4")
                                .arg(up / 86400)
                                .arg(up / 3600 % 24, 2, 10, QLatin1Char('0'))
                                .arg(up / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(up % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("[sys_msg]\nNetSpeed: %1Mbps\nCPU: %2%\nMemoryFree: %3M\nMemoryUsed: %4M\nMemoryTotal: %5M\n"
                          "Temperature: %6\nRuningTime: %7\n")
        .arg(speed, 0, 'f', 1)
        .arg(cpu, 0, 'f', 1)
        .arg(total - used)
        .arg(used)
        .arg(total)
        .arg(temperature)
        .arg(running)
        .toUtf8();
}

NodeStatus::NodeStatus(const QHostAddress &self)
    : m_self(self)
    , m_seed(int(self.toIPv4Address() & 0xff))
{
}

QList<Outgoing> NodeStatus::answer(const Datagram &in)
{
    // Through a group every node would answer; clients ask each node on its own address.
    if (in.destination != m_self || !isStatusRequest(in.data))
        return {};
    return {{statusReport(m_seed, m_answers++, in.receivedMs), in.sender, in.senderPort}};
}

} // namespace lab
