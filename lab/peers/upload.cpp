#include "peers/upload.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <algorithm>

namespace lab {

QString UploadOutcome::note() const
{
    switch (kind) {
    case Kind::Complete:
        return QStringLiteral("upload %1 complete: %2 bytes, md5 %3").arg(file).arg(size).arg(QString::fromLatin1(md5));
    case Kind::Incomplete:
        return QStringLiteral("upload %1 incomplete: %2 of %3 chunks missing").arg(file).arg(missing).arg(chunks);
    case Kind::Refused:
        break;
    }
    return QStringLiteral("upload %1 refused: %2 chunks exceed %3 bytes").arg(file).arg(chunks).arg(UploadAssembly::MaxBytes);
}

QString UploadOutcome::pictureNote() const
{
    if (litLuma < 0)
        return {};
    return QStringLiteral("picture %1: %2 of %3 luma bytes lit").arg(file).arg(litLuma).arg(luma);
}

bool UploadAssembly::store(File &file, quint32 index, const QByteArray &payload)
{
    QByteArray &slot = file.chunks[int(index)];
    if (!slot.isNull())
        return false;
    slot = payload;
    ++file.have;
    return true;
}

UploadOutcome UploadAssembly::outcome(const File &file)
{
    UploadOutcome o;
    o.file = file.name;
    o.chunks = file.count;
    if (file.complete()) {
        // Also the empty file: it has no chunk to wait for. A file whose every chunk was
        // lost looks the same; its MD5 tells them apart.
        QByteArray bytes;
        for (const QByteArray &c : file.chunks)
            bytes += c;
        o.size = bytes.size();
        o.md5 = QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
        if (file.name.endsWith(QLatin1String(".yuv"))) {
            o.luma = bytes.size() * 2 / 3;
            o.litLuma = std::count_if(bytes.cbegin(), bytes.cbegin() + o.luma, [](char c) { return c != 0; });
        }
    } else {
        o.kind = UploadOutcome::Kind::Incomplete;
        o.missing = file.count - file.have;
    }
    return o;
}

QList<UploadOutcome> UploadAssembly::endPrevious()
{
    if (!m_waiting)
        return {};
    m_waiting = false;
    return {outcome(m_previous)};
}

QList<UploadOutcome> UploadAssembly::start(const QString &file, qint64 nowMs)
{
    QList<UploadOutcome> out = endPrevious();
    if (m_open) {
        if (!m_current.refused && m_current.complete())
            out.append(outcome(m_current));
        else
            m_waiting = !m_current.refused;
        m_previous = std::move(m_current);
    }
    m_current = File();
    m_current.name = file;
    m_open = true;
    m_startMs = m_lastMs = nowMs;
    return out;
}

QList<UploadOutcome> UploadAssembly::chunk(const QByteArray &datagram, qint64 nowMs)
{
    const bool lateWindow = nowMs - m_startMs < LateCopyMs;
    QList<UploadOutcome> out = lateWindow ? QList<UploadOutcome>() : endPrevious();
    if (datagram.size() < HeaderBytes)
        return out;
    const quint32 count = qFromLittleEndian<quint32>(datagram.constData());
    const quint32 index = qFromLittleEndian<quint32>(datagram.constData() + 4);
    const QByteArray payload = datagram.mid(HeaderBytes);
    // Every chunk but the last is full; the last holds at least one byte.
    const int length = payload.size();
    if (index >= count || (index + 1 < count ? length != ChunkBytes : length < 1 || length > ChunkBytes))
        return out;

    if (lateWindow && count == m_previous.count) {
        // The file before's own copy, or one it is still missing; a different chunk at
        // the same place is the new file's.
        const QByteArray before = m_previous.refused ? QByteArray() : m_previous.chunks.value(int(index));
        if (m_previous.refused || before == payload)
            return out;
        if (before.isNull()) {
            if (m_waiting && store(m_previous, index, payload) && m_previous.complete())
                out += endPrevious();
            return out;
        }
    }

    File &file = m_current;
    if (!m_open || file.refused || (file.count != 0 && count != file.count))
        return out;
    if (file.count == 0 && count > quint32((MaxBytes + ChunkBytes - 1) / ChunkBytes)) {
        file.refused = true;
        file.count = count;
        UploadOutcome o;
        o.kind = UploadOutcome::Kind::Refused;
        o.file = file.name;
        o.chunks = count;
        out.append(o);
        return out;
    }
    if (file.count == 0) {
        file.count = count;
        file.chunks.resize(int(count));
    }
    m_lastMs = nowMs;
    if (store(file, index, payload) && file.complete()) {
        out += endPrevious();
        out.append(outcome(file));
        m_previous = std::move(m_current);
        m_current = File();
        m_open = false;
    }
    return out;
}

QList<UploadOutcome> UploadAssembly::expire(qint64 nowMs)
{
    QList<UploadOutcome> out = nowMs - m_startMs >= LateCopyMs ? endPrevious() : QList<UploadOutcome>();
    if (m_open && nowMs - m_lastMs >= QuietMs) {
        if (!m_current.refused)
            out.append(outcome(m_current));
        m_previous = std::move(m_current);
        m_current = File();
        m_open = false;
    }
    return out;
}

} // namespace lab
