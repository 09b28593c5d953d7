#pragma once
// Our own reader of the project's picture archive "image.zip", over zlib.
//
// The archive arrives from the network, so nothing in it is trusted: every offset and size is
// checked against the file, every entry's data must agree with the central directory, names are
// cleaned or refused, no symbolic link is created or followed, and the total output is bounded.
//
// Threads: used on the main thread right after a download has completed; a ZipReader is not
// shared between threads (it owns an open QFile and per-archive counters).
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QVector>

namespace kora::archive {

// Bounds for one archive. The output budget is
//     min(maxTotalBytes, max(maxRatio * archive file size, ratioFloorBytes))
// so a tiny archive may still hold a few highly compressible pictures, while a bomb stops
// long before it fills the disk.
struct UnpackLimits
{
    qint64 maxTotalBytes = qint64(1) << 30;   // 1 GB over the whole archive
    qint64 maxRatio = 200;                    // output per byte of archive
    qint64 ratioFloorBytes = qint64(64) << 20; // 64 MB are always allowed (up to maxTotalBytes)
    int maxEntries = 65535;

    qint64 budget(qint64 archiveSize) const;
};

struct ZipItem
{
    int index = -1;
    QByteArray rawName;       // as stored in the central directory
    QString name;             // decoded, before any cleaning
    quint16 versionMadeBy = 0; // high byte: host system (3 = Unix)
    quint16 flags = 0;        // general purpose bits
    quint32 externalAttributes = 0;
    QDateTime modified;       // DOS date/time in local time; invalid when it names no real moment
    quint32 crc = 0;
    qint64 compressedSize = 0;
    qint64 uncompressedSize = 0;
    int method = 0;           // 0 stored, 8 deflated; others are refused when unpacking
    bool isDirectory = false;
    bool isSymLink = false;   // Unix host and S_IFLNK in the high 16 bits of the attributes
    bool isEncrypted = false;
    qint64 localHeaderOffset = 0;
};

class ZipReader
{
public:
    enum Code : quint32 {
        Ok = 0,
        BadArguments = 0x00010000,
        WrongMode = 0x00080000, // not open (or already closed)
        ReadError = 0x00100000,  // the archive file cannot be opened or read
        FormatError = 0x00200000, // not an archive, or its records or data disagree
        CrcMismatch = 0x00300000,
        UnsafeName = 0x00400000, // the entry is skipped: its name or path could leave the base folder
        SizeLimit = 0x00500000,
        Unsupported = 0x00600000, // ZIP64, several disks, encryption, a method other than 0/8
        WriteError = 0x00700000,  // the unpacked file or folder cannot be written
    };

    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Reads and checks the central directory. Any earlier archive is closed first.
    Code open(const QString &zipPath);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    int count() const { return m_items.size(); }
    Code item(int index, ZipItem *out) const;

    // Where unpack() writes; "/" is appended unless the text already ends in "/" or "\".
    Code setBaseDir(const QString &dir);
    QString baseDir() const { return m_baseDir; }

    // The entry limit is checked by open(), the byte budget by every unpack(); the budget
    // counts everything unpacked since open().
    void setLimits(const UnpackLimits &limits) { m_limits = limits; }

    // Unpacks one entry below the base folder. UnsafeName means the entry was skipped and
    // nothing was written for it; any other failure leaves no file under the entry's name.
    Code unpack(int index);

    qint64 bytesWritten() const { return m_bytesWritten; }
    // Why the last call failed, for the log and the caller's report.
    QString errorString() const { return m_error; }

    // The cleaned relative path of a stored name ("a/b.png"), or an empty string when the name
    // is refused; `why` then says which rule refused it.
    static QString cleanName(const QString &name, QString *why = nullptr);
    static QString decodeName(const QByteArray &raw, quint16 flags, bool *ok = nullptr);

private:
    Code fail(Code code, const QString &why);
    Code readCentralDirectory();
    Code ensureFolders(const QString &base, const QStringList &components, int count);
    Code copyData(const ZipItem &item, qint64 dataStart, QFileDevice &out, quint32 *crc);

    QFile m_file;
    qint64 m_fileSize = 0;
    QVector<ZipItem> m_items;
    QString m_baseDir;
    UnpackLimits m_limits;
    qint64 m_bytesWritten = 0;
    qint64 m_cdOffset = 0;
    QString m_error;
};

struct UnpackResult
{
    bool ok = false;
    quint32 code = ZipReader::Ok;
    int files = 0;
    int folders = 0;
    int skipped = 0; // unsafe names and symbolic links, each logged
    qint64 bytes = 0;
    QString reason;
};

// Unpacks the whole archive into a fresh sibling folder of targetDir and swaps it into place
// only when every entry succeeded; otherwise targetDir stays exactly as it was. Entries with
// an unsafe name and link entries are skipped (logged, counted) and do not fail the archive;
// a read, format, CRC, size, limit, method or write failure of any entry does.
UnpackResult unpackArchive(const QString &zipPath, const QString &targetDir, const UnpackLimits &limits = {});

} // namespace kora::archive
