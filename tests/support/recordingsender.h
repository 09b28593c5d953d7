#pragma once
// A link::Sender that records instead of sending: each datagram as "bytes -> address:port",
// from the host, event or scan socket as "host bytes -> address:port" / "event ..." / "scan ...",
// each TCP command as "tcp bytes -> address:port".
#include "link/sender.h"

#include <QStringList>

class RecordingSender : public kora::link::Sender
{
public:
    void sendUdp(const QByteArray &data, const QString &address, quint16 port) override
    {
        record(QString(), data, address, port);
    }
    void sendTcp(const QByteArray &data, const QString &address, quint16 port) override
    {
        record(QStringLiteral("tcp "), data, address, port);
    }
    void sendVia(kora::link::Socket socket, const kora::link::Destinations &destinations, const QByteArray &data) override
    {
        if (socket == kora::link::Socket::Commands) {
            sendTo(destinations, data);
            return;
        }
        const QString prefix = socket == kora::link::Socket::Host     ? QStringLiteral("host ")
                               : socket == kora::link::Socket::Scan ? QStringLiteral("scan ")
                                                                    : QStringLiteral("event ");
        for (const kora::link::Destination &d : destinations)
            record(prefix, data, d.address.toString(), d.port);
    }
    QStringList sent;

private:
    void record(const QString &prefix, const QByteArray &data, const QString &address, quint16 port)
    {
        sent.append(prefix + QString::fromLatin1(data) + QStringLiteral(" -> ") + address + QLatin1Char(':')
                    + QString::number(port));
    }
};
