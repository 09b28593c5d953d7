#pragma once
// A tiny ZIP writer for test fixtures only: stored and deflated entries, folders, any raw name,
// attributes and DOS time, and the lies an archive from the network can tell (CRC, sizes,
// method, disks, a ZIP64 marker, a cut-off end).
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QtEndian>

#include <zlib.h>

#include <cstring>
#include <optional>

namespace kora::testsupport {

struct ZipEntry
{
    QByteArray name;
    QByteArray data;
    int method = 8;               // 8 deflates the data; anything else stores it as it is
    quint16 dosTime = 0;          // 00:00:00
    quint16 dosDate = (40 << 9) | (1 << 5) | 1; // 2020-01-01
    quint16 versionMadeBy = 20;   // host 0 (MS-DOS)
    quint16 flags = 0;
    quint32 externalAttributes = 0;
    // Lies, written into both the local and the central header.
    std::optional<quint32> crc;
    std::optional<quint32> compressedSize;
    std::optional<quint32> uncompressedSize;
    std::optional<quint16> methodField; // the method the headers claim
    std::optional<quint32> localHeaderOffset; // central directory only
};

struct ZipEnd
{
    quint16 disk = 0;
    std::optional<quint16> entriesOnDisk;
    std::optional<quint16> entries;
    std::optional<quint32> cdOffset;
    bool zip64Locator = false;
    QByteArray comment;
    int keepBytes = -1; // cut the archive after this many bytes
};

inline QByteArray rawDeflate(const QByteArray &data)
{
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&zs, uLong(data.size()))), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    return out;
}

inline quint16 dosDate(const QDate &d)
{
    return quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
}

inline quint16 dosTime(const QTime &t)
{
    return quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

inline ZipEntry zipFile(const QByteArray &name, const QByteArray &data, int method = 8)
{
    ZipEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

inline ZipEntry zipFolder(const QByteArray &name)
{
    ZipEntry e;
    e.name = name;
    e.method = 0;
    e.externalAttributes = 0x10;
    return e;
}

// An entry made on Unix with the given st_mode.
inline ZipEntry zipUnix(const QByteArray &name, const QByteArray &data, quint32 mode)
{
    ZipEntry e = zipFile(name, data);
    e.versionMadeBy = (3 << 8) | 20;
    e.externalAttributes = mode << 16;
    return e;
}

namespace detail {
inline void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
inline void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
} // namespace detail

inline QByteArray buildZip(const QList<ZipEntry> &entries, const ZipEnd &end = {})
{
    using detail::put16;
    using detail::put32;
    QByteArray out;
    QByteArray cd;
    for (const ZipEntry &e : entries) {
        const QByteArray body = e.method == 8 ? rawDeflate(e.data) : e.data;
        const quint32 crc = e.crc.value_or(quint32(crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()), uInt(e.data.size()))));
        const quint32 csize = e.compressedSize.value_or(quint32(body.size()));
        const quint32 usize = e.uncompressedSize.value_or(quint32(e.data.size()));
        const quint16 method = e.methodField.value_or(quint16(e.method));
        const quint32 offset = quint32(out.size());

        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, e.flags);
        put16(out, method);
        put16(out, e.dosTime);
        put16(out, e.dosDate);
        put32(out, crc);
        put32(out, csize);
        put32(out, usize);
        put16(out, quint16(e.name.size()));
        put16(out, 0);
        out += e.name;
        out += body;

        put32(cd, 0x02014b50);
        put16(cd, e.versionMadeBy);
        put16(cd, 20);
        put16(cd, e.flags);
        put16(cd, method);
        put16(cd, e.dosTime);
        put16(cd, e.dosDate);
        put32(cd, crc);
        put32(cd, csize);
        put32(cd, usize);
        put16(cd, quint16(e.name.size()));
        put16(cd, 0); // extra
        put16(cd, 0); // comment
        put16(cd, 0); // disk
        put16(cd, 0); // internal attributes
        put32(cd, e.externalAttributes);
        put32(cd, e.localHeaderOffset.value_or(offset));
        cd += e.name;
    }
    const quint32 cdOffset = quint32(out.size());
    out += cd;
    if (end.zip64Locator) {
        put32(out, 0x07064b50);
        put32(out, 0);
        put32(out, 0); // offset of a ZIP64 end record, never read
        put32(out, 0);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, end.disk);
    put16(out, end.disk);
    put16(out, end.entriesOnDisk.value_or(quint16(entries.size())));
    put16(out, end.entries.value_or(quint16(entries.size())));
    put32(out, quint32(cd.size()));
    put32(out, end.cdOffset.value_or(cdOffset));
    put16(out, quint16(end.comment.size()));
    out += end.comment;
    return end.keepBytes >= 0 ? out.left(end.keepBytes) : out;
}

} // namespace kora::testsupport
