#pragma once
// What a test on the client side of scripts/with-lab needs: the lab's addresses, its
// control socket and its journal.
#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QString>

namespace labclient {

inline QString net()
{
    const QString device = qEnvironmentVariable("KORA_LAB_DEVICE_IP");
    return device.left(device.lastIndexOf(QLatin1Char('.')));
}
inline QString peerAddress(int host) { return net() + QLatin1Char('.') + QString::number(host); }
inline QString clientIp() { return qEnvironmentVariable("KORA_LAB_CLIENT_IP"); }
inline QString work() { return qEnvironmentVariable("KORA_LAB_WORK"); }

// One control command and the lab's answer; empty when the lab is not there.
inline QJsonObject control(const QJsonObject &command)
{
    QLocalSocket socket;
    socket.connectToServer(work() + QStringLiteral("/control.sock"));
    if (!socket.waitForConnected(3000))
        return {};
    socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    while (!socket.canReadLine() && socket.waitForReadyRead(3000)) {
    }
    return QJsonDocument::fromJson(socket.readLine()).object();
}

// Every fault the lab plays is switched off; false when the lab did not take it.
inline bool clearFaults()
{
    return control({{"cmd", "faults"}, {"reset", true}, {"set", QJsonObject{}}}).value(QStringLiteral("ok")).toBool();
}

// Every journal line; a line that is not a JSON object comes back as {"invalid": text}.
inline QList<QJsonObject> journal()
{
    QList<QJsonObject> lines;
    QFile file(work() + QStringLiteral("/journal.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        lines.append(doc.isObject() ? doc.object() : QJsonObject{{"invalid", QString::fromUtf8(line)}});
    }
    return lines;
}

// The journal lines after sequence number `seq`, and the last sequence number so far.
inline QList<QJsonObject> journalFrom(qint64 seq)
{
    QList<QJsonObject> lines;
    for (const QJsonObject &o : journal()) {
        if (o.value(QStringLiteral("seq")).toDouble() > seq)
            lines.append(o);
    }
    return lines;
}
inline qint64 journalEnd()
{
    const QList<QJsonObject> all = journal();
    return all.isEmpty() ? 0 : qint64(all.last().value(QStringLiteral("seq")).toDouble());
}

} // namespace labclient
