#include "archive/zipreader.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtEndian>

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kora::archive {

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr int kLocalHeaderSize = 30;
constexpr int kCentralHeaderSize = 46;
constexpr int kEndRecordSize = 22;
constexpr qint64 kEndScan = kEndRecordSize + 0xFFFF; // the end record plus the longest comment
constexpr qint64 kMaxCentralDirectory = qint64(32) << 20;
constexpr int kChunk = 16384;
constexpr int kMaxPath = 260;

constexpr quint16 kFlagEncrypted = 0x0001;
constexpr quint16 kFlagStrongEncryption = 0x0040;
constexpr quint16 kFlagUtf8 = 0x0800;

constexpr quint32 kUnixTypeMask = 0170000;
constexpr quint32 kUnixSymLink = 0120000;
constexpr quint32 kUnixDirectory = 0040000;
constexpr quint32 kDosDirectory = 0x10;

quint16 u16(const QByteArray &b, qint64 at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray &b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

bool unixHost(quint16 versionMadeBy)
{
    const int host = versionMadeBy >> 8;
    return host == 3 || host == 19; // Unix, and macOS which stores Unix modes the same way
}

QDateTime dosDateTime(quint16 date, quint16 time)
{
    const QDate d(1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F);
    const QTime t(time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
    if (!d.isValid() || !t.isValid())
        return {};
    return QDateTime(d, t, Qt::LocalTime);
}

// The upper half of code page 437, the format's code page for names without the UTF-8 flag.
// The lower half is ASCII; control characters stay control characters so the name rules see them.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

QString decodeCp437(const QByteArray &raw)
{
    QString text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const uchar b = uchar(c);
        text += b < 0x80 ? QChar(b) : QChar(kCp437High[b - 0x80]);
    }
    return text;
}

// The base folder without a trailing separator, absolute and cleaned; "\" counts as a
// separator at the end because callers may pass a Windows-style folder.
QString cleanBase(const QString &baseDir)
{
    QString dir = baseDir;
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return QDir::cleanPath(QDir(dir).absolutePath());
}

QString below(const QString &base, const QString &relative)
{
    return base.endsWith(QLatin1Char('/')) ? base + relative : base + QLatin1Char('/') + relative;
}

bool writeAll(QFileDevice &out, const char *data, qint64 size)
{
    return out.write(data, size) == size;
}

// Pictures need no execute bit and nobody else may change them: owner read/write always, group
// and others at most read (as the archive says), never execute, setuid, setgid or sticky.
QFileDevice::Permissions safePermissions(const ZipItem &item)
{
    QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                 | QFileDevice::WriteUser;
    if (!unixHost(item.versionMadeBy) || (item.externalAttributes >> 16) == 0)
        return p | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const quint32 mode = item.externalAttributes >> 16;
    if (mode & 0040)
        p |= QFileDevice::ReadGroup;
    if (mode & 0004)
        p |= QFileDevice::ReadOther;
    return p;
}

} // namespace

qint64 UnpackLimits::budget(qint64 archiveSize) const
{
    const qint64 total = qMax<qint64>(0, maxTotalBytes);
    const qint64 ratio = qMax<qint64>(0, maxRatio);
    const qint64 size = qMax<qint64>(0, archiveSize);
    const qint64 byRatio = (ratio == 0 || size <= total / ratio) ? ratio * size : total;
    return qMin(total, qMax(byRatio, qMax<qint64>(0, ratioFloorBytes)));
}

ZipReader::ZipReader() = default;

ZipReader::~ZipReader()
{
    close();
}

ZipReader::Code ZipReader::fail(Code code, const QString &why)
{
    m_error = why;
    KWARN(lcDownload) << m_file.fileName() << why;
    return code;
}

ZipReader::Code ZipReader::open(const QString &zipPath)
{
    close();
    m_error.clear();
    if (zipPath.isEmpty())
        return fail(BadArguments, QStringLiteral("no archive path"));
    m_file.setFileName(zipPath);
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(ReadError, QStringLiteral("cannot open: %1").arg(m_file.errorString()));
    const Code code = readCentralDirectory();
    if (code != Ok) {
        m_items.clear();
        m_file.close();
    }
    return code;
}

void ZipReader::close()
{
    m_file.close();
    m_items.clear();
    m_fileSize = 0;
    m_cdOffset = 0;
    m_bytesWritten = 0;
}

ZipReader::Code ZipReader::readCentralDirectory()
{
    m_fileSize = m_file.size();
    if (m_fileSize < kEndRecordSize)
        return fail(FormatError, QStringLiteral("too short for an archive (%1 bytes)").arg(m_fileSize));

    const qint64 scan = qMin(m_fileSize, kEndScan);
    const qint64 tailStart = m_fileSize - scan;
    if (!m_file.seek(tailStart))
        return fail(ReadError, QStringLiteral("cannot seek to the end record"));
    const QByteArray tail = m_file.read(scan);
    if (tail.size() != scan)
        return fail(ReadError, QStringLiteral("cannot read the end record"));

    // The last signature whose record and comment fit in the file; a fake one inside the
    // comment can only make the checks below fail.
    qint64 end = -1;
    for (qint64 i = tail.size() - kEndRecordSize; i >= 0; --i) {
        if (u32(tail, i) == kEndSignature && i + kEndRecordSize + u16(tail, i + 20) <= tail.size()) {
            end = i;
            break;
        }
    }
    if (end < 0)
        return fail(FormatError, QStringLiteral("no end of central directory record"));
    const qint64 endPos = tailStart + end;

    const quint16 disk = u16(tail, end + 4);
    const quint16 cdDisk = u16(tail, end + 6);
    const quint16 entriesHere = u16(tail, end + 8);
    const quint16 entries = u16(tail, end + 10);
    const qint64 cdSize = u32(tail, end + 12);
    const qint64 cdOffset = u32(tail, end + 16);

    if (endPos >= 20) {
        char locator[4];
        if (!m_file.seek(endPos - 20) || m_file.read(locator, 4) != 4)
            return fail(ReadError, QStringLiteral("cannot read before the end record"));
        if (qFromLittleEndian<quint32>(locator) == kZip64LocatorSignature)
            return fail(Unsupported, QStringLiteral("ZIP64 archive"));
    }
    if (cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF)
        return fail(Unsupported, QStringLiteral("ZIP64 archive"));
    if (disk != 0 || cdDisk != 0 || entriesHere != entries)
        return fail(Unsupported, QStringLiteral("archive spread over several disks"));
    if (entries > m_limits.maxEntries)
        return fail(SizeLimit, QStringLiteral("%1 entries, at most %2 allowed").arg(entries).arg(m_limits.maxEntries));
    if (cdOffset + cdSize > endPos)
        return fail(FormatError, QStringLiteral("central directory (%1 bytes at %2) runs past the end record at %3")
                                     .arg(cdSize).arg(cdOffset).arg(endPos));
    if (cdSize > kMaxCentralDirectory)
        return fail(SizeLimit, QStringLiteral("central directory of %1 bytes").arg(cdSize));

    if (!m_file.seek(cdOffset))
        return fail(ReadError, QStringLiteral("cannot seek to the central directory"));
    const QByteArray cd = m_file.read(cdSize);
    if (cd.size() != cdSize)
        return fail(ReadError, QStringLiteral("cannot read the central directory"));

    m_items.reserve(entries);
    qint64 at = 0;
    for (int i = 0; i < entries; ++i) {
        if (at + kCentralHeaderSize > cd.size() || u32(cd, at) != kCentralSignature)
            return fail(FormatError, QStringLiteral("central directory entry %1 is missing").arg(i));
        const qint64 nameLength = u16(cd, at + 28);
        const qint64 extraLength = u16(cd, at + 30);
        const qint64 commentLength = u16(cd, at + 32);
        const qint64 next = at + kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > cd.size())
            return fail(FormatError, QStringLiteral("central directory entry %1 runs past the directory").arg(i));

        ZipItem item;
        item.index = i;
        item.versionMadeBy = u16(cd, at + 4);
        item.flags = u16(cd, at + 8);
        item.method = u16(cd, at + 10);
        item.modified = dosDateTime(u16(cd, at + 14), u16(cd, at + 12));
        item.crc = u32(cd, at + 16);
        item.compressedSize = u32(cd, at + 20);
        item.uncompressedSize = u32(cd, at + 24);
        const quint16 startDisk = u16(cd, at + 34);
        item.externalAttributes = u32(cd, at + 38);
        item.localHeaderOffset = u32(cd, at + 42);
        item.rawName = cd.mid(at + kCentralHeaderSize, nameLength);
        item.name = decodeName(item.rawName, item.flags);
        if (item.compressedSize == 0xFFFFFFFF || item.uncompressedSize == 0xFFFFFFFF
            || item.localHeaderOffset == 0xFFFFFFFF)
            return fail(Unsupported, QStringLiteral("ZIP64 entry %1").arg(i));
        if (startDisk != 0)
            return fail(Unsupported, QStringLiteral("entry %1 on another disk").arg(i));
        item.isEncrypted = item.flags & (kFlagEncrypted | kFlagStrongEncryption);
        const quint32 mode = item.externalAttributes >> 16;
        const bool fromUnix = unixHost(item.versionMadeBy);
        item.isSymLink = fromUnix && (mode & kUnixTypeMask) == kUnixSymLink;
        item.isDirectory = item.rawName.endsWith('/') || item.rawName.endsWith('\\')
                           || (fromUnix && (mode & kUnixTypeMask) == kUnixDirectory)
                           || (item.externalAttributes & kDosDirectory);
        m_items.append(item);
        at = next;
    }
    m_cdOffset = cdOffset;
    return Ok;
}

ZipReader::Code ZipReader::item(int index, ZipItem *out) const
{
    if (!isOpen())
        return WrongMode;
    if (!out || index < 0 || index >= m_items.size())
        return BadArguments;
    *out = m_items.at(index);
    return Ok;
}

ZipReader::Code ZipReader::setBaseDir(const QString &dir)
{
    if (dir.isEmpty())
        return BadArguments;
    m_baseDir = dir;
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        m_baseDir += QLatin1Char('/');
    return Ok;
}

// Names are UTF-8 when they decode as valid UTF-8, flag or not: ASCII is the same in both,
// and many writers store UTF-8 without setting bit 11. Otherwise a name without the flag is
// code page 437 as the format says, which maps every byte; a name that carries the UTF-8 flag
// but is not UTF-8 contradicts itself and is refused (ok = false).
QString ZipReader::decodeName(const QByteArray &raw, quint16 flags, bool *ok)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString utf8 = QTextCodec::codecForMib(106)->toUnicode(raw.constData(), raw.size(), &state);
    const bool valid = state.invalidChars == 0 && state.remainingChars == 0;
    if (ok)
        *ok = valid || !(flags & kFlagUtf8);
    if (valid || (flags & kFlagUtf8))
        return utf8;
    return decodeCp437(raw);
}

// After dropping drive prefixes and leading separators, "/" and "\" both separate, empty and
// "." components vanish, and any ".." or a component with ":" or a control character refuses
// the whole name instead of guessing what was meant.
QString ZipReader::cleanName(const QString &name, QString *why)
{
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return QString();
    };
    QString rest = name;
    for (;;) {
        if (rest.size() >= 2 && rest.at(1) == QLatin1Char(':'))
            rest.remove(0, 2);
        else if (rest.startsWith(QLatin1Char('/')) || rest.startsWith(QLatin1Char('\\')))
            rest.remove(0, 1);
        else
            break;
    }
    QStringList kept;
    QString component;
    const auto takeComponent = [&]() -> bool {
        if (component.isEmpty() || component == QLatin1String("."))
            return true;
        if (component == QLatin1String(".."))
            return false;
        kept.append(component);
        return true;
    };
    for (const QChar c : qAsConst(rest)) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\')) {
            if (!takeComponent())
                return refuse(QStringLiteral("it refers to a parent folder"));
            component.clear();
            continue;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return refuse(QStringLiteral("control character in the name"));
        if (c == QLatin1Char(':'))
            return refuse(QStringLiteral("colon in the name"));
        component += c;
    }
    if (!takeComponent())
        return refuse(QStringLiteral("it refers to a parent folder"));
    if (kept.isEmpty())
        return refuse(QStringLiteral("empty name"));
    return kept.join(QLatin1Char('/'));
}

ZipReader::Code ZipReader::ensureFolders(const QString &base, const QStringList &components, int count)
{
    QString path = base;
    for (int i = 0; i < count; ++i) {
        path = below(path, components.at(i));
        const QFileInfo info(path);
        if (info.isSymLink())
            return fail(UnsafeName, QStringLiteral("%1 is a symbolic link, not followed").arg(path));
        if (info.exists()) {
            if (!info.isDir())
                return fail(WriteError, QStringLiteral("%1 is a file, a folder is needed").arg(path));
            continue;
        }
        if (!QDir().mkdir(path))
            return fail(WriteError, QStringLiteral("cannot create folder %1").arg(path));
    }
    return Ok;
}

ZipReader::Code ZipReader::copyData(const ZipItem &item, qint64 dataStart, QFileDevice &out, quint32 *crcOut)
{
    if (!m_file.seek(dataStart))
        return fail(ReadError, QStringLiteral("cannot seek to the data of %1").arg(item.name));
    std::vector<char> in(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    qint64 inLeft = item.compressedSize;

    if (item.method == 0) {
        while (inLeft > 0) {
            const qint64 n = m_file.read(in.data(), qMin<qint64>(kChunk, inLeft));
            if (n <= 0)
                return fail(ReadError, QStringLiteral("cannot read the data of %1").arg(item.name));
            crc = crc32(crc, reinterpret_cast<const Bytef *>(in.data()), uInt(n));
            if (!writeAll(out, in.data(), n))
                return fail(WriteError, QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString()));
            inLeft -= n;
        }
        *crcOut = quint32(crc);
        return Ok;
    }

    std::vector<char> outBuffer(kChunk);
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return fail(WriteError, QStringLiteral("cannot start inflating %1").arg(item.name));
    struct End { z_stream *s; ~End() { inflateEnd(s); } } end{&zs};

    qint64 produced = 0;
    for (;;) {
        if (zs.avail_in == 0 && inLeft > 0) {
            const qint64 n = m_file.read(in.data(), qMin<qint64>(kChunk, inLeft));
            if (n <= 0)
                return fail(ReadError, QStringLiteral("cannot read the data of %1").arg(item.name));
            inLeft -= n;
            zs.next_in = reinterpret_cast<Bytef *>(in.data());
            zs.avail_in = uInt(n);
        }
        zs.next_out = reinterpret_cast<Bytef *>(outBuffer.data());
        zs.avail_out = kChunk;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const qint64 n = kChunk - zs.avail_out;
        if (n > 0) {
            if (n > item.uncompressedSize - produced)
                return fail(FormatError, QStringLiteral("%1 inflates to more than its declared %2 bytes")
                                             .arg(item.name).arg(item.uncompressedSize));
            crc = crc32(crc, reinterpret_cast<const Bytef *>(outBuffer.data()), uInt(n));
            if (!writeAll(out, outBuffer.data(), n))
                return fail(WriteError, QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString()));
            produced += n;
        }
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return fail(FormatError, QStringLiteral("%1: bad deflate data (%2)").arg(item.name, QString::fromLatin1(zs.msg ? zs.msg : "")));
        // No input left and nothing more came out: the stream stops before its end.
        if (zs.avail_in == 0 && inLeft == 0 && n == 0)
            return fail(FormatError, QStringLiteral("%1: deflate data ends early").arg(item.name));
    }
    if (zs.avail_in != 0 || inLeft != 0)
        return fail(FormatError, QStringLiteral("%1: deflate data ends before its declared %2 bytes")
                                     .arg(item.name).arg(item.compressedSize));
    if (produced != item.uncompressedSize)
        return fail(FormatError, QStringLiteral("%1 inflates to %2 bytes, %3 declared")
                                     .arg(item.name).arg(produced).arg(item.uncompressedSize));
    *crcOut = quint32(crc);
    return Ok;
}

ZipReader::Code ZipReader::unpack(int index)
{
    m_error.clear();
    if (!isOpen())
        return fail(WrongMode, QStringLiteral("no archive is open"));
    if (index < 0 || index >= m_items.size())
        return fail(BadArguments, QStringLiteral("no entry %1").arg(index));
    if (m_baseDir.isEmpty())
        return fail(BadArguments, QStringLiteral("no base folder"));
    const ZipItem &item = m_items.at(index);

    if (item.isSymLink)
        return fail(UnsafeName, QStringLiteral("%1: symbolic link entry skipped").arg(item.name));
    if (item.isEncrypted)
        return fail(Unsupported, QStringLiteral("%1: encrypted entry").arg(item.name));
    if (item.method != 0 && item.method != 8)
        return fail(Unsupported, QStringLiteral("%1: compression method %2").arg(item.name).arg(item.method));

    bool decoded = false;
    decodeName(item.rawName, item.flags, &decoded);
    if (!decoded)
        return fail(UnsafeName, QStringLiteral("entry %1: name %2 is flagged UTF-8 but is not, skipped")
                                    .arg(index).arg(QString::fromLatin1(item.rawName.toHex())));
    QString why;
    const QString relative = cleanName(item.name, &why);
    if (relative.isEmpty())
        return fail(UnsafeName, QStringLiteral("entry %1 %2 skipped: %3").arg(index).arg(item.name, why));
    const QString base = cleanBase(m_baseDir);
    const QString path = below(base, relative);
    if (path.size() > kMaxPath)
        return fail(UnsafeName, QStringLiteral("entry %1 skipped: path of %2 characters, at most %3")
                                    .arg(index).arg(path.size()).arg(kMaxPath));
    // Whatever the rules above missed, the result must still be below the base folder.
    if (!QDir::cleanPath(path).startsWith(below(base, QString())))
        return fail(UnsafeName, QStringLiteral("entry %1 %2 skipped: outside the base folder").arg(index).arg(item.name));
    const QStringList components = relative.split(QLatin1Char('/'));

    if (!QFileInfo(base).isDir() && !QDir().mkpath(base))
        return fail(WriteError, QStringLiteral("cannot create the base folder %1").arg(base));

    if (item.isDirectory) {
        if (item.uncompressedSize != 0)
            return fail(FormatError, QStringLiteral("%1: folder entry with %2 bytes of data").arg(item.name).arg(item.uncompressedSize));
        return ensureFolders(base, components, components.size());
    }

    const qint64 budget = m_limits.budget(m_fileSize);
    if (item.uncompressedSize > budget - m_bytesWritten)
        return fail(SizeLimit, QStringLiteral("%1: %2 bytes would pass the limit of %3 bytes for this archive (%4 already unpacked)")
                                   .arg(item.name).arg(item.uncompressedSize).arg(budget).arg(m_bytesWritten));

    // The local header only tells where the data starts; everything else comes from the
    // central directory, and the data must lie before it.
    if (item.localHeaderOffset + kLocalHeaderSize > m_cdOffset)
        return fail(FormatError, QStringLiteral("%1: local header at %2 is past the data area").arg(item.name).arg(item.localHeaderOffset));
    QByteArray local;
    if (m_file.seek(item.localHeaderOffset))
        local = m_file.read(kLocalHeaderSize);
    if (local.size() != kLocalHeaderSize)
        return fail(ReadError, QStringLiteral("%1: cannot read the local header").arg(item.name));
    if (u32(local, 0) != kLocalSignature)
        return fail(FormatError, QStringLiteral("%1: no local header at %2").arg(item.name).arg(item.localHeaderOffset));
    const qint64 dataStart = item.localHeaderOffset + kLocalHeaderSize + u16(local, 26) + u16(local, 28);
    if (dataStart + item.compressedSize > m_cdOffset)
        return fail(FormatError, QStringLiteral("%1: %2 bytes of data at %3 run past the data area")
                                     .arg(item.name).arg(item.compressedSize).arg(dataStart));
    if (item.method == 0 && item.compressedSize != item.uncompressedSize)
        return fail(FormatError, QStringLiteral("%1: stored entry with %2 bytes declared as %3")
                                     .arg(item.name).arg(item.compressedSize).arg(item.uncompressedSize));

    Code code = ensureFolders(base, components, components.size() - 1);
    if (code != Ok)
        return code;
    const QFileInfo target(path);
    if (target.isSymLink()) // QSaveFile would write through it
        return fail(UnsafeName, QStringLiteral("%1 is a symbolic link, not followed").arg(path));
    if (target.isDir())
        return fail(WriteError, QStringLiteral("%1 is a folder, a file is needed").arg(path));

    // The data goes to a temporary file that only takes the final name once it is complete
    // and correct; a lying entry leaves an earlier file of that name as it was.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(WriteError, QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
    quint32 crc = 0;
    code = copyData(item, dataStart, out, &crc);
    if (code != Ok) {
        out.cancelWriting();
        return code;
    }
    if (crc != item.crc) {
        out.cancelWriting();
        return fail(CrcMismatch, QStringLiteral("%1: CRC %2, %3 declared")
                                     .arg(item.name, QString::number(crc, 16), QString::number(item.crc, 16)));
    }
    // Permissions and time go on the open temporary file, so the final name never shows
    // other ones; nothing is written after the time is set.
    if (!out.flush() || !out.setPermissions(safePermissions(item))) {
        out.cancelWriting();
        return fail(WriteError, QStringLiteral("cannot finish %1: %2").arg(path, out.errorString()));
    }
    if (item.modified.isValid() && !out.setFileTime(item.modified, QFileDevice::FileModificationTime))
        KTRACE(lcDownload) << "cannot set the time of" << path << out.errorString();
    if (!out.commit())
        return fail(WriteError, QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
    m_bytesWritten += item.uncompressedSize;
    return Ok;
}

namespace {

bool renamePath(const QString &from, const QString &to);

// A crash between the two renames of a swap leaves the old folder aside (".old-") and maybe
// a half-made new one (".new-"): the old one comes back when the target is missing, the
// rest goes.
void recoverInterruptedSwap(const QString &target)
{
    const QFileInfo info(target);
    const QString name = info.fileName();
    const QFileInfoList left = QDir(info.absolutePath())
                                   .entryInfoList({name + QStringLiteral(".new-*"), name + QStringLiteral(".old-*")},
                                                  QDir::Dirs | QDir::NoSymLinks | QDir::Hidden | QDir::NoDotAndDotDot,
                                                  QDir::Time); // newest first
    for (const QFileInfo &folder : left) {
        if (!QFileInfo::exists(target) && folder.fileName().startsWith(name + QStringLiteral(".old-"))
            && renamePath(folder.absoluteFilePath(), target)) {
            KWARN(lcDownload) << "unpack: put back" << target << "from an interrupted unpack";
            continue;
        }
        KWARN(lcDownload) << "unpack: removed" << folder.absoluteFilePath() << "left by an interrupted unpack";
        QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

bool renamePath(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

UnpackResult unpackArchive(const QString &zipPath, const QString &targetDir, const UnpackLimits &limits)
{
    UnpackResult result;
    auto failed = [&result](quint32 code, const QString &reason) {
        result.ok = false;
        result.code = code;
        result.reason = reason;
        return result;
    };
    if (zipPath.isEmpty() || targetDir.isEmpty()) {
        KWARN(lcDownload) << "unpack: no archive or no target folder" << zipPath << targetDir;
        return failed(ZipReader::BadArguments, QStringLiteral("no archive or no target folder"));
    }
    const QString target = QDir::cleanPath(QDir(targetDir).absolutePath());
    const QFileInfo targetInfo(target);
    // Replacing a link or a file with a folder is not this function's call to make.
    if (targetInfo.isSymLink() || (targetInfo.exists() && !targetInfo.isDir())) {
        KWARN(lcDownload) << "unpack:" << target << "is not a folder, left as it is";
        return failed(ZipReader::BadArguments, QStringLiteral("%1 is not a folder").arg(target));
    }
    if (!QDir().mkpath(targetInfo.absolutePath())) {
        KWARN(lcDownload) << "unpack: cannot create" << targetInfo.absolutePath();
        return failed(ZipReader::WriteError, QStringLiteral("cannot create %1").arg(targetInfo.absolutePath()));
    }

    recoverInterruptedSwap(target);

    ZipReader reader;
    reader.setLimits(limits);
    ZipReader::Code code = reader.open(zipPath);
    if (code != ZipReader::Ok)
        return failed(code, reader.errorString());
    KINFO(lcDownload) << "文件数量" << reader.count();

    // A sibling of the target, so the final rename stays on one file system.
    QTemporaryDir fresh(target + QStringLiteral(".new-XXXXXX"));
    if (!fresh.isValid()) {
        KWARN(lcDownload) << "unpack: cannot create a folder next to" << target << fresh.errorString();
        return failed(ZipReader::WriteError, QStringLiteral("cannot create a folder next to %1").arg(target));
    }
    reader.setBaseDir(fresh.path());
    for (int i = 0; i < reader.count(); ++i) {
        ZipItem item;
        reader.item(i, &item);
        code = reader.unpack(i);
        if (code == ZipReader::Ok) {
            ++(item.isDirectory ? result.folders : result.files);
        } else if (code == ZipReader::UnsafeName) {
            ++result.skipped; // logged by the reader; the rest of the archive is still good
        } else {
            KTRACE(lcDownload) << "unpack:" << target << "left as it was";
            return failed(code, reader.errorString());
        }
    }
    result.bytes = reader.bytesWritten();
    reader.close();

    const QFileDevice::Permissions folderPermissions = targetInfo.exists()
        ? QFile::permissions(target)
        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(fresh.path(), folderPermissions);

    if (!targetInfo.exists()) {
        if (!renamePath(fresh.path(), target)) {
            const QString reason = QStringLiteral("cannot move the new folder to %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
            KWARN(lcDownload) << "unpack:" << reason;
            return failed(ZipReader::WriteError, reason);
        }
        fresh.setAutoRemove(false);
    } else {
        // An empty folder reserves a unique name; renaming the old target onto it replaces it.
        QTemporaryDir aside(target + QStringLiteral(".old-XXXXXX"));
        aside.setAutoRemove(false);
        if (!aside.isValid() || !renamePath(target, aside.path())) {
            const QString reason = QStringLiteral("cannot move %1 aside: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
            if (aside.isValid())
                QDir().rmdir(aside.path());
            KWARN(lcDownload) << "unpack:" << reason;
            return failed(ZipReader::WriteError, reason);
        }
        if (!renamePath(fresh.path(), target)) {
            const QString reason = QStringLiteral("cannot move the new folder to %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
            if (!renamePath(aside.path(), target))
                KWARN(lcDownload) << "unpack: the old content of" << target << "stays in" << aside.path();
            KWARN(lcDownload) << "unpack:" << reason;
            return failed(ZipReader::WriteError, reason);
        }
        fresh.setAutoRemove(false);
        // removeRecursively removes links themselves and never descends into them.
        if (!QDir(aside.path()).removeRecursively())
            KWARN(lcDownload) << "unpack: cannot remove the old content in" << aside.path();
    }
    result.ok = true;
    result.code = ZipReader::Ok;
    KTRACE(lcDownload) << "unpacked" << zipPath << "to" << target << result.files << "files" << result.folders
                       << "folders" << result.skipped << "skipped" << result.bytes << "bytes";
    return result;
}

} // namespace kora::archive
