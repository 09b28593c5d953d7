#pragma once
// Splitting rules of the controller's text replies, kept in one place so every reply
// handler cuts its fields the same way.
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kora::dispatch {

// The text between the enclosing braces of a reply, "{GetWindows;1}" -> "GetWindows;1";
// a null string when the text does not start with "{" and end with "}".
QString innerText(const QString &reply);

// The fields of a reply: its inner text split at ";" with empty fields kept. Empty list
// when the reply is not enclosed in braces.
QStringList replyFields(const QString &reply);

// Splits at every `separator` outside braces (nesting counted). A separator ends the piece
// before it, so a trailing separator adds no empty piece; empty pieces between two
// separators are kept. `balanced` (when given) becomes false when a "}" closes nothing or a
// "{" is still open at the end; the pieces are then only a best effort.
QStringList splitOutsideBraces(const QString &text, QChar separator, bool *balanced = nullptr);

// A status payload as stored by the client: a double quote, the JSON, a double quote, and
// the reply's closing brace. When `text` is at least 3 characters long, starts with a double
// quote and its next-to-last character is one, returns it without the first character and
// the last two; otherwise returns it unchanged.
QString unquotePayload(const QString &text);

// The ","-separated values of one field, empty values kept.
QStringList subValues(const QString &field);

// The "_"-separated parts of a status key, "S_uuid_5" -> {"S", "uuid", "5"}.
QStringList keyParts(const QString &key);

// "key=value" lines, empty lines skipped: key = the text before the first "=", value = the
// text between the first and the second "=" (empty without one). A later line wins.
QVariantMap keyValueLines(const QString &text);

} // namespace kora::dispatch
