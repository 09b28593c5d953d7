#include "dispatch/tokenizer.h"

namespace kora::dispatch {

QString innerText(const QString &reply)
{
    if (reply.size() < 2 || !reply.startsWith(QLatin1Char('{')) || !reply.endsWith(QLatin1Char('}')))
        return {};
    // mid() of an empty range is an empty, not a null, string: "{}" is a reply without name.
    return reply.mid(1, reply.size() - 2);
}

QStringList replyFields(const QString &reply)
{
    const QString inner = innerText(reply);
    if (inner.isNull())
        return {};
    return inner.split(QLatin1Char(';'));
}

QStringList splitOutsideBraces(const QString &text, QChar separator, bool *balanced)
{
    QStringList pieces;
    int depth = 0;
    bool ok = true;
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}')) {
            if (depth == 0)
                ok = false; // a stray "}" is kept as text; the split goes on at depth 0
            else
                --depth;
        } else if (c == separator && depth == 0) {
            pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    if (depth != 0)
        ok = false;
    if (balanced)
        *balanced = ok;
    return pieces;
}

QString unquotePayload(const QString &text)
{
    const QChar quote(QLatin1Char('"'));
    if (text.size() >= 3 && text.at(0) == quote && text.at(text.size() - 2) == quote)
        return text.mid(1, text.size() - 3);
    return text;
}

QStringList subValues(const QString &field) { return field.split(QLatin1Char(',')); }

QStringList keyParts(const QString &key) { return key.split(QLatin1Char('_')); }

QVariantMap keyValueLines(const QString &text)
{
    QVariantMap map;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const int first = line.indexOf(QLatin1Char('='));
        if (first < 0) {
            map.insert(line, QString());
            continue;
        }
        const int second = line.indexOf(QLatin1Char('='), first + 1);
        map.insert(line.left(first), line.mid(first + 1, second < 0 ? -1 : second - first - 1));
    }
    return map;
}

} // namespace kora::dispatch
