#include "journal.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTextCodec>
#include <cstdio>

namespace lab {
namespace {
QString endpoint(const QHostAddress &address, quint16 port)
{
    return address.isNull() ? QString() : address.toString() + QLatin1Char(':') + QString::number(port);
}

QString readable(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? text : QString::fromLatin1(bytes);
}
} // namespace

QByteArray journalLine(const JournalEntry &entry, qint64 seq, const QDateTime &time, int payloadLimit)
{
    QJsonObject o;
    o.insert(QStringLiteral("t"), time.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("seq"), seq);
    o.insert(QStringLiteral("peer"), entry.peer);
    o.insert(QStringLiteral("dir"), entry.direction);
    if (entry.direction != QLatin1String("event")) {
        o.insert(QStringLiteral("proto"), entry.protocol);
        o.insert(QStringLiteral("src"), endpoint(entry.source, entry.sourcePort));
        o.insert(QStringLiteral("dst"), endpoint(entry.destination, entry.destinationPort));
        o.insert(QStringLiteral("len"), entry.payload.size());
        const QByteArray shown = payloadLimit >= 0 && entry.payload.size() > payloadLimit
                                     ? entry.payload.left(payloadLimit)
                                     : entry.payload;
        o.insert(QStringLiteral("text"), readable(shown));
        o.insert(QStringLiteral("hex"), QString::fromLatin1(shown.toHex()));
        if (shown.size() != entry.payload.size())
            o.insert(QStringLiteral("truncated"), true);
    }
    if (!entry.note.isEmpty())
        o.insert(QStringLiteral("note"), entry.note);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

Journal::Journal(const QString &path, int payloadLimit)
    : m_payloadLimit(payloadLimit)
{
    if (path.isEmpty())
        return;
    m_out = std::make_unique<QFile>();
    const bool ok = path == QLatin1String("-")
                        ? m_out->open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)
                        : (m_out->setFileName(path), m_out->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered));
    if (!ok) {
        std::fprintf(stderr, "kora-lab: cannot open the journal %s\n", qPrintable(path));
        m_out.reset();
    }
}

void Journal::write(const JournalEntry &entry, const QDateTime &when)
{
    ++m_seq;
    if (m_out)
        m_out->write(journalLine(entry, m_seq, when, m_payloadLimit));
}

void Journal::event(const QString &peer, const QString &note)
{
    JournalEntry entry;
    entry.peer = peer;
    entry.direction = QStringLiteral("event");
    entry.note = note;
    write(entry);
}

} // namespace lab
