#include "video/snapshotstream.h"

#include "video/previewassembler.h"

#include <QHash>
#include <QUrl>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

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
    const bool sameCount = m_pieces.size() == total;
    const bool taken = sameCount && !m_pieces[index].isNull();
    // Pieces are sent in order: a first piece right after a last one, while this picture
    // lacks its first, is the next picture's. Without this, a stray datagram that made us
    // join a picture part-way would splice every later picture from two.
    const bool wrapped = sameCount && index == 0 && m_previous == total - 1 && m_have > 0 && m_pieces[0].isNull();
    // For the same reason a piece behind the last one, other than a first, is a late copy of
    // an earlier picture's: in an empty slot it would splice the two, in a taken one end
    // this picture.
    if (sameCount && index != 0 && index < m_previous)
        return Result::Partial;
    m_previous = index;
    if (!sameCount || wrapped || (taken && (m_pieces[index] != piece || (index == 0 && m_have > 1)))) {
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

namespace {

// A progressive picture is read scan by scan over the whole picture, and nothing in the
// format bounds the number of scans: encoders use about ten, a hostile file tens of
// thousands (minutes of decoding for one picture).
constexpr int kMaxJpegScans = 100;

// libjpeg reports fatal errors through error_exit, which must not return, and damaged data
// (a bad Huffman code, a marker where data should be, a premature end) as warnings, after
// which it goes on and fills the picture with whatever it could make of the rest.
struct JpegErrors {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    int damage = 0;          // warnings about the data
    bool decoding = false;   // past a good header: a fatal error now is damage too
    char message[JMSG_LENGTH_MAX] = {};
};

void jpegFail(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegProgress(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxJpegScans)
        return;
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(errors->jump, 1);
}

void jpegMessage(j_common_ptr info, int level)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    if (level < 0 && errors->damage++ == 0)
        (*info->err->format_message)(info, errors->message);
}

// The largest DCT scale down (1/1 to 1/8) that keeps at least `out`: the rest is scaled after.
unsigned int scaleDenominator(const QSize &size, const QSize &out)
{
    unsigned int d = 8;
    while (d > 1 && ((size.width() + int(d) - 1) / int(d) < out.width() || (size.height() + int(d) - 1) / int(d) < out.height()))
        d /= 2;
    return d;
}

// Reads the header, refuses what is too large before any pixel is allocated, and decodes
// into `image` (BGRX is RGB32's memory order here). False with `*error` set when refused.
bool readJpeg(jpeg_decompress_struct &info, JpegErrors &errors, const QByteArray &jpeg, const QSize &target, JpegScale scale,
              const QSize &limit, QImage &image, QSize &out, QString &error)
{
    if (setjmp(errors.jump)) {
        error = QString::fromLatin1(errors.message);
        return false;
    }
    jpeg_create_decompress(&info);
    errors.progress.progress_monitor = jpegProgress;
    info.progress = &errors.progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width == 0 || info.image_height == 0) {
        error = QStringLiteral("no JPEG header");
        return false;
    }
    const QSize size(int(info.image_width), int(info.image_height)); // libjpeg refuses sides over 65500
    if (size.width() > limit.width() || size.height() > limit.height() || qint64(size.width()) * size.height() > kMaxPicturePixels) {
        error = QStringLiteral("JPEG of %1 x %2 refused").arg(info.image_width).arg(info.image_height);
        return false;
    }
    out = size;
    if (scale == JpegScale::Preview)
        out = previewOutputSize(size, target);
    else if (target.isValid() && (size.width() > target.width() || size.height() > target.height()))
        out = size.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    info.scale_num = 1;
    info.scale_denom = scaleDenominator(size, out);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        error = QStringLiteral("no memory for the picture");
        return false;
    }
    errors.decoding = true;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray &jpeg, const QSize &target, JpegScale scale, QString *error, const QSize &limit)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    errors.manager.emit_message = jpegMessage;
    QImage image;
    QSize out;
    QString why;
    const bool read = readJpeg(info, errors, jpeg, target, scale, limit, image, out, why);
    jpeg_destroy_decompress(&info);
    // A picture damaged on the way is refused whole rather than shown garbled.
    const bool broken = errors.decoding && (!read || errors.damage > 0);
    if (!read || broken) {
        if (error)
            *error = broken ? QStringLiteral("damaged: %1").arg(QString::fromLatin1(errors.message)) : why;
        return QImage();
    }
    if (image.size() != out)
        image = image.scaled(out, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
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
