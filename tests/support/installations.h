#pragma once
// Installations for the wall, scene and on-screen text tests, and a readable form of what a
// command sends, so that a failed comparison shows the bytes and the destinations.
#include "walls/wallcommands.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace fixtures {

inline kora::design::WallRecord wall(const QString &id, const QStringList &decoders)
{
    kora::design::WallRecord w;
    w.id = id;
    w.decoderAddresses = decoders;
    return w;
}

// A 2×2 wall of 1920×1080 cells with its size, grid and cell rectangles (row-major), as the
// design describes it.
inline kora::design::WallRecord quadWall(const QString &id, const QStringList &decoders)
{
    kora::design::WallRecord w = wall(id, decoders);
    w.virtualResolution = QSize(3840, 2160);
    w.nodeRects = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080), QRect(0, 1080, 1920, 1080),
                   QRect(1920, 1080, 1920, 1080)};
    w.cellRects = w.nodeRects;
    w.description.insert(QStringLiteral("splitSize"), QSize(2, 2));
    return w;
}

// A 2×2 wall "1" of decoders .21 to .24 and a wall "2" without decoders or outputs; the
// outputs are a spare (.10, no wall) and the four decoders.
inline kora::walls::Installation installation(const QString &serverIp, bool multicast)
{
    kora::walls::Installation in;
    in.serverIp = serverIp;
    in.multicast = multicast;
    in.walls = {wall("1", {"10.0.0.21", "10.0.0.22", "10.0.0.23", "10.0.0.24"}), wall("2", {"", ""})};
    in.outputs = {{"10.0.0.10", "-1"}, {"10.0.0.21", "1"}, {"10.0.0.22", "1"}, {"10.0.0.23", "1"}, {"10.0.0.24", "1"}};
    return in;
}

inline kora::walls::Installation multicastWall() { return installation("", true); }

// Unicast, and the second cell of the wall is a hole.
inline kora::walls::Installation unicastWall()
{
    kora::walls::Installation in = installation("", false);
    in.walls[0].decoderAddresses[1].clear();
    return in;
}

inline kora::walls::Installation serverWall() { return installation("10.0.0.5", true); }

// "bytes -> address:port address:port" per datagram, or "refused".
inline QStringList render(const kora::walls::Commands &c)
{
    if (c.refused())
        return {QStringLiteral("refused")};
    QStringList out;
    for (const kora::walls::Outgoing &o : c.items) {
        QString line = QString::fromLatin1(o.data) + QStringLiteral(" ->");
        for (const kora::link::Destination &d : o.to)
            line += QLatin1Char(' ') + d.address.toString() + QLatin1Char(':') + QString::number(d.port);
        out.append(line);
    }
    return out;
}

} // namespace fixtures
