#include "video/snapshotstream.h"

#include "video/previewassembler.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QUrl>
#include <cmath>

namespace kora::video {

SnapshotAssembler::Result SnapshotAssembler::push(const QByteArray &datagram)
{
    m_complete.clear();
    if (datagram.size() < kSnapshotHeader)
        return Result::Malformed;
    const int total = quint8(datagram[0]);
    const int index = quint8(datagram[4]);
    if (total == 0 || index >= total)
        return Result::Malformed;
    const QByteArray piece = datagram.mid(kSnapshotHeader);
    Result result = Result::Partial;
    // Pictures follow each other with the same count and often the same first pieces: the
    // first piece again, once later ones came, is the next picture's.
    const bool taken = m_pieces.size() == total && !m_pieces[index].isNull();
    if (m_pieces.size() != total || (taken && (m_pieces[index] != piece || (index == 0 && m_have > 1)))) {
        // The next picture started: whatever the one under way still lacks will not come.
        if (m_have > 0)
            result = Result::Broken;
        reset();
        m_pieces.resize(total);
    }
    if (!m_pieces[index].isNull())
        return Result::Partial; // the same piece again
    if (m_bytes + piece.size() > kMaxSnapshotBytes) {
        reset();
        return Result::Malformed;
    }
    m_pieces[index] = piece.isNull() ? QByteArray("") : piece;
    m_bytes += piece.size();
    if (++m_have < total)
        return result;
    m_complete.reserve(m_bytes);
    for (const QByteArray &p : qAsConst(m_pieces))
        m_complete.append(p);
    reset();
    return Result::Complete;
}

void SnapshotAssembler::reset()
{
    m_pieces.clear();
    m_have = 0;
    m_bytes = 0;
}

QVector<QRect> mosaicCells(const QSize &picture, int cellCount, int layout)
{
    QVector<QRect> cells;
    if (cellCount <= 0 || (layout != 4 && layout != 9))
        return cells;
    const int n = cellCount;
    const int columns = layout == 4 ? 2 : 3;
    const int cellWidth = picture.width() / (n < columns + 1 ? n : columns);
    const int rows = int(std::ceil(double(n) / columns));
    const int cellHeight = picture.height() / rows;
    for (int i = 0; i < n; ++i)
        cells.append(QRect((i % columns) * cellWidth, (i / columns) * cellHeight, cellWidth, cellHeight));
    return cells;
}

QImage decodeJpeg(const QByteArray &jpeg, const QSize &target, JpegScale scale, QString *error, const QSize &limit)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPG");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        if (error)
            *error = QStringLiteral("no JPEG header");
        return QImage();
    }
    if (size.width() > limit.width() || size.height() > limit.height()
        || qint64(size.width()) * size.height() > kMaxPicturePixels) {
        if (error)
            *error = QStringLiteral("JPEG of %1 x %2 refused").arg(size.width()).arg(size.height());
        return QImage();
    }
    QSize out = size;
    if (scale == JpegScale::Preview)
        out = previewOutputSize(size, target);
    else if (target.isValid() && (size.width() > target.width() || size.height() > target.height()))
        out = size.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (out != size)
        reader.setScaledSize(out);
    QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = reader.errorString();
        return image;
    }
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

SnapshotAddress parseSnapUrl(const QString &text)
{
    SnapshotAddress a;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return a;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return a;
    a.group = text.left(colon);
    a.port = quint16(port);
    a.valid = true;
    return a;
}

SnapshotAddress parseSnapshotAddress(const QString &url)
{
    SnapshotAddress a;
    if (url.contains(QLatin1String("rtsp"))) {
        a.rtspUrl = url;
        a.valid = true;
        return a;
    }
    if (!url.startsWith(QLatin1String("udp://")))
        return a;
    QString rest = url.mid(6);
    int slot = -1;
    const int query = rest.indexOf(QLatin1Char('?'));
    if (query >= 0) {
        const QString q = rest.mid(query + 1);
        rest.truncate(query);
        if (q.startsWith(QLatin1String("pos="))) {
            bool ok = false;
            slot = q.mid(4).toInt(&ok);
            if (!ok || slot < 0 || slot >= kMosaicSlots)
                return a;
        }
    }
    a = parseSnapUrl(rest);
    a.slot = a.valid ? slot : -1;
    return a;
}

QList<SnapshotStream> planSnapshotStreams(const QList<SignalSnapshot> &signalList)
{
    QList<SnapshotStream> streams;
    QHash<QString, int> shared; // "group:port" -> index in streams
    for (const SignalSnapshot &s : signalList) {
        const SnapshotAddress a = parseSnapshotAddress(s.url);
        if (!a.valid || s.id.isEmpty())
            continue;
        SnapshotStream stream;
        stream.key = s.id;
        stream.node = s.id.section(QLatin1Char('-'), 0, 0);
        stream.group = a.group;
        stream.port = a.port;
        stream.rtspUrl = a.rtspUrl;
        if (a.slot < 0) {
            streams.append(stream);
            continue;
        }
        const QString where = a.group + QLatin1Char(':') + QString::number(a.port);
        auto it = shared.constFind(where);
        if (it == shared.constEnd()) {
            for (int i = 0; i < kMosaicSlots; ++i)
                stream.cells.append(QString());
            it = shared.insert(where, streams.size());
            streams.append(stream);
        }
        QString &cell = streams[*it].cells[a.slot];
        if (cell.isEmpty())
            cell = s.id;
    }
    return streams;
}

QByteArray snapshotRegistration(const QString &node, quint16 port)
{
    return QStringLiteral("udp://%1:%2/s").arg(node).arg(port).toLatin1();
}

} // namespace kora::video
