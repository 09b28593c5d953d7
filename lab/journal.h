#pragma once
// The lab's journal: one JSON object per line for every datagram and TCP message in and
// out, and for the lab's own events. Tests read it while the lab runs, so every line is
// flushed as it is written.
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>
#include <memory>

namespace lab {

struct JournalEntry {
    QString peer;
    QString direction; // "in", "out", "drop" (a fault swallowed it), "event"
    QString protocol;  // "udp", "tcp"
    QHostAddress source;
    quint16 sourcePort = 0;
    QHostAddress destination;
    quint16 destinationPort = 0;
    QByteArray payload;
    QString note;
};

// {"t","seq","peer","dir","proto","src","dst","len","text","hex"[,"truncated"][,"note"]}
// "text" is the payload as UTF-8 when it is valid UTF-8, else as Latin-1; payloads longer
// than `payloadLimit` keep only that many bytes in "text" and "hex" and say "truncated".
QByteArray journalLine(const JournalEntry &entry, qint64 seq, const QDateTime &time, int payloadLimit);

class Journal
{
public:
    // path "-" writes to standard output; an empty path writes nothing.
    explicit Journal(const QString &path, int payloadLimit = 512);
    bool isOpen() const { return m_out != nullptr; }
    void write(const JournalEntry &entry, const QDateTime &when = QDateTime::currentDateTimeUtc());
    void event(const QString &peer, const QString &note);
    qint64 count() const { return m_seq; }

private:
    std::unique_ptr<QFile> m_out;
    int m_payloadLimit;
    qint64 m_seq = 0;
};

} // namespace lab
