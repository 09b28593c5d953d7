#include "media/streams.h"

namespace lab {

QString streamKindName(StreamKind kind)
{
    switch (kind) {
    case StreamKind::Main: return QStringLiteral("main");
    case StreamKind::Sub: return QStringLiteral("sub");
    case StreamKind::Snapshot: return QStringLiteral("snapshot");
    case StreamKind::Mosaic: return QStringLiteral("mosaic");
    }
    return QString();
}

QString StreamPlan::contentKey() const
{
    if (kind != StreamKind::Mosaic)
        return QStringLiteral("h%1").arg(host);
    QStringList hosts;
    for (int cell : cells)
        hosts.append(QString::number(cell));
    return QStringLiteral("m") + hosts.join(QLatin1Char(','));
}

QList<StreamPlan> encoderStreams(const LabConfig &c, int host)
{
    if (!c.isStreamingEncoder(host))
        return {};
    const quint16 port = c.streamPort(host);
    auto format = [&c](Codec codec, const QSize &size, int fps, int keyInterval) {
        LoopFormat f;
        f.codec = codec;
        f.size = size;
        f.fps = fps;
        f.frames = fps * c.loopSeconds;
        f.keyInterval = keyInterval;
        return f;
    };
    Codec mainCodec = Codec::H264, subCodec = Codec::H264;
    parseCodec(c.mainCodecs.value(host), &mainCodec);
    parseCodec(c.subCodecs.value(host), &subCodec);
    const quint32 h = quint32(host);
    StreamPlan main{StreamKind::Main, host, {}, QHostAddress(0xef0a0100U | h), port,
                    format(mainCodec, c.mainSize, c.mainFps, c.mainFps), c.previewHoldMs};
    StreamPlan sub{StreamKind::Sub, host, {}, QHostAddress(0xef0a0200U | h), quint16(port + 2),
                   format(subCodec, c.subSize, c.subFps, c.subFps), c.previewHoldMs};
    StreamPlan snapshot{StreamKind::Snapshot, host, {}, QHostAddress(0xef0a0300U | h), quint16(port + 4),
                        format(Codec::Jpeg, c.snapshotSize, c.snapshotFps, 1), c.snapshotHoldMs};
    return {main, sub, snapshot};
}

bool streamFor(const LabConfig &c, int host, const Registration &r, StreamPlan *out, QString *why)
{
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QList<StreamPlan> own = encoderStreams(c, host);
    if (own.isEmpty())
        return refuse(QStringLiteral("this device publishes no streams"));
    if (!r.snapshot) {
        for (const StreamPlan &plan : own) {
            if (plan.isPreview() && plan.group == r.address && plan.port == r.port) {
                *out = plan;
                return true;
            }
        }
        return refuse(QStringLiteral("no preview stream udp://%1:%2 here").arg(r.address.toString()).arg(r.port));
    }
    if (r.address != c.address(host))
        return refuse(QStringLiteral("snapshot registration names %1, not this encoder").arg(r.address.toString()));
    if (r.port == own.at(2).port) {
        *out = own.at(2);
        return true;
    }
    for (const LabConfig::Mosaic &m : c.mosaics) {
        if (m.port != r.port)
            continue;
        LoopFormat f;
        f.codec = Codec::Jpeg;
        f.size = c.mosaicSize;
        f.fps = c.snapshotFps;
        f.frames = c.snapshotFps * c.loopSeconds;
        f.keyInterval = 1;
        *out = StreamPlan{StreamKind::Mosaic, 0, m.cells, m.group, m.port, f, c.snapshotHoldMs};
        return true;
    }
    return refuse(QStringLiteral("no snapshot stream on port %1").arg(r.port));
}

bool names(const QSet<QString> &streams, const StreamPlan &plan)
{
    if (plan.kind == StreamKind::Mosaic)
        return false;
    const QString host = QString::number(plan.host);
    return streams.contains(host + QLatin1Char(':') + streamKindName(plan.kind))
        || (plan.kind == StreamKind::Main && streams.contains(host));
}

int valueFor(const QHash<QString, int> &table, const StreamPlan &plan, int otherwise)
{
    if (plan.kind == StreamKind::Mosaic)
        return otherwise;
    const QString host = QString::number(plan.host);
    const QString named = host + QLatin1Char(':') + streamKindName(plan.kind);
    if (table.contains(named))
        return table.value(named);
    return plan.kind == StreamKind::Main ? table.value(host, otherwise) : otherwise;
}

LoopFormat effectiveFormat(const StreamPlan &plan, const FaultPlan &faults)
{
    LoopFormat f = plan.format;
    if (plan.kind == StreamKind::Mosaic)
        return f;
    const QString host = QString::number(plan.host);
    const QString named = host + QLatin1Char(':') + streamKindName(plan.kind);
    auto lookup = [&](const auto &table, auto *value) {
        if (table.contains(named))
            *value = table.value(named);
        else if (plan.kind == StreamKind::Main && table.contains(host))
            *value = table.value(host);
        else
            return false;
        return true;
    };
    QSize size;
    if (lookup(faults.resolution, &size))
        f.size = size;
    QString codec;
    if (plan.isPreview() && lookup(faults.codec, &codec))
        parseCodec(codec, &f.codec);
    if (!plan.isPreview())
        return f;
    f.keyInterval = valueFor(faults.gop, plan, f.keyInterval);
    f.frames = qMax(f.frames, f.keyInterval); // a loop holds one group of pictures at least
    if (names(faults.intraRefresh, plan) && f.codec == Codec::H264) {
        // The loop starts with the only IDR: long, so a client joining meets the refreshes.
        f.intraRefresh = true;
        f.frames = qMax(f.frames, kIntraRefreshLoopSeconds * f.fps);
    }
    return f;
}

} // namespace lab
