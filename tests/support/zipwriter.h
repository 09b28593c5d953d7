#pragma once
// A tiny ZIP writer for test fixtures only: stored and deflated entries, folders, any raw name,
// attributes and DOS time, and the lies an archive from the network can tell (CRC, sizes,
// method, directory offset, a ZIP64 marker).
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
    QByteArray extra;             // in both headers, as tools write timestamps and owners there
    // Lies, written into both the local and the central header.
    std::optional<quint32> crc;
    std::optional<quint32> compressedSize;
    std::optional<quint32> uncompressedSize;
    std::optional<quint16> methodField; // the method the headers claim
};

struct ZipEnd
{
    std::optional<quint32> cdOffset;
    bool zip64Locator = false;
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
template <class T> void put(QByteArray &b, T v)
{
    char c[sizeof(T)];
    qToLittleEndian(v, c);
    b.append(c, sizeof(T));
}
} // namespace detail

inline QByteArray buildZip(const QList<ZipEntry> &entries, const ZipEnd &end = {})
{
    const auto put16 = [](QByteArray &b, quint16 v) { detail::put(b, v); };
    const auto put32 = [](QByteArray &b, quint32 v) { detail::put(b, v); };
    QByteArray out;
    QByteArray cd;
    for (const ZipEntry &e : entries) {
        const QByteArray body = e.method == 8 ? rawDeflate(e.data) : e.data;
        const quint32 crc = e.crc.value_or(quint32(crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()), uInt(e.data.size()))));
        const quint32 offset = quint32(out.size());
        // From "version needed" to the name's length, the local and the central header agree.
        const auto shared = [&](QByteArray &b) {
            put16(b, 20);
            put16(b, e.flags);
            put16(b, e.methodField.value_or(quint16(e.method)));
            put16(b, e.dosTime);
            put16(b, e.dosDate);
            put32(b, crc);
            put32(b, e.compressedSize.value_or(quint32(body.size())));
            put32(b, e.uncompressedSize.value_or(quint32(e.data.size())));
            put16(b, quint16(e.name.size()));
        };
        put32(out, 0x04034b50);
        shared(out);
        put16(out, quint16(e.extra.size()));
        out += e.name + e.extra + body;

        put32(cd, 0x02014b50);
        put16(cd, e.versionMadeBy);
        shared(cd);
        put16(cd, quint16(e.extra.size()));
        for (int i = 0; i < 3; ++i)
            put16(cd, 0); // comment, disk, internal attributes
        put32(cd, e.externalAttributes);
        put32(cd, offset);
        cd += e.name + e.extra;
    }
    const quint32 cdOffset = quint32(out.size());
    out += cd;
    if (end.zip64Locator) {
        put32(out, 0x07064b50);
        for (quint32 v : {0u, 0u, 0u, 1u}) // disk, offset of a ZIP64 end record (never read), disks
            put32(out, v);
    }
    put32(out, 0x06054b50);
    put32(out, 0); // disk 0 of 0
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(cd.size()));
    put32(out, end.cdOffset.value_or(cdOffset));
    put16(out, 0); // no comment
    return out;
}

} // namespace kora::testsupport
