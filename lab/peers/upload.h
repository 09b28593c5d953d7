#pragma once
// The receiving end of a file push: an upload command names the file, then numbered chunks
// arrive on the data port, each sent twice and nothing acknowledged. One assembly per
// receiver holds the file under way; it ends complete (size and MD5), incomplete (chunks
// missing once the next upload started or the sender fell quiet) or refused (too large).
// No sockets and no clock of its own: the caller passes the time, so tests drive it directly.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

namespace lab {

struct UploadOutcome {
    enum class Kind { Complete, Incomplete, Refused };
    Kind kind = Kind::Complete;
    QString file;
    qint64 size = 0;     // Complete
    QByteArray md5;      // Complete: lower-case hex
    quint32 chunks = 0;  // the chunk count the file's chunks carry (0: none arrived)
    quint32 missing = 0; // Incomplete
    // Complete ".yuv" pictures (luma plane first, then half as much chroma): the luma bytes
    // that are not zero, where the picture is not transparent; -1 for other files.
    qint64 litLuma = -1;
    qint64 luma = 0;

    QString note() const; // the journal text
    QString pictureNote() const; // "picture NAME: L of N luma bytes lit"; empty for other files
};

class UploadAssembly
{
public:
    static constexpr int HeaderBytes = 8;
    static constexpr int ChunkBytes = 7000;
    static constexpr qint64 MaxBytes = 64 * 1024 * 1024;
    static constexpr int QuietMs = 2000;
    // The sender starts the next file right after the last copy of a chunk and pauses 100 ms
    // before its first chunk. The command and the chunks come on different ports, so their
    // order can swap: chunks of the file before read in that time after the next command
    // are its late copies, and a file with chunks missing ends only after it.
    static constexpr int LateCopyMs = 100;

    // An upload command for `file`: the file under way ends (complete when it was empty,
    // else incomplete once LateCopyMs passed without its missing chunks).
    QList<UploadOutcome> start(const QString &file, qint64 nowMs);
    // One data datagram. Copies, chunks of another count, indexes out of range, chunks of
    // the wrong length and chunks with no upload under way change nothing.
    QList<UploadOutcome> chunk(const QByteArray &datagram, qint64 nowMs);
    // Ends what waited long enough: the file before after LateCopyMs, the file under way
    // once nothing came for QuietMs.
    QList<UploadOutcome> expire(qint64 nowMs);

private:
    struct File {
        QString name;
        bool refused = false;      // its chunks are ignored
        quint32 count = 0;         // from the first chunk; 0 until one arrives
        quint32 have = 0;
        QVector<QByteArray> chunks;
        bool complete() const { return have == count; }
    };
    // Stores one chunk in `file`; true when it was new there.
    static bool store(File &file, quint32 index, const QByteArray &payload);
    static UploadOutcome outcome(const File &file);
    QList<UploadOutcome> endPrevious();

    bool m_open = false;      // m_current is under way
    File m_current;
    bool m_waiting = false;   // m_previous is incomplete and may still get late copies
    File m_previous;          // the file before, to know its late copies
    qint64 m_startMs = 0;     // of m_current
    qint64 m_lastMs = 0;      // the latest command or chunk of m_current
};

} // namespace lab
