#pragma once
// A link::Sender that records instead of sending: each datagram as "bytes -> address:port",
// each TCP command as "tcp bytes -> address:port".
#include "link/sender.h"

#include <QStringList>

class RecordingSender : public kora::link::Sender
{
public:
    void sendUdp(const QByteArray &data, const QString &address, quint16 port) override
    {
        sent.append(QString::fromLatin1(data) + QStringLiteral(" -> ") + address + QLatin1Char(':') + QString::number(port));
    }
    void sendTcp(const QByteArray &data, const QString &address, quint16 port) override
    {
        sent.append(QStringLiteral("tcp ") + QString::fromLatin1(data) + QStringLiteral(" -> ") + address
                    + QLatin1Char(':') + QString::number(port));
    }
    QStringList sent;
};
