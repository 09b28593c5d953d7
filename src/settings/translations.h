#pragma once
// The translation table of the user interface and the named-block syntax of
// "config_host.cfg" (NAME{ ... } blocks, nesting counted).
#include <QMap>
#include <QString>
#include <QStringList>

namespace kora {

using TranslationTable = QMap<QString, QString>;

// Contents of the top-level blocks called `name`, in text order. A block opens only where
// the name starts the text or a line; braces of other blocks are counted, not taken.
QStringList extractNamedBlocks(const QString &text, const QString &name);

// "key=value" lines; the value is everything after the first "=", a line without "="
// is a key with an empty value, empty lines are skipped, later keys win.
TranslationTable parseTranslationTable(const QString &text);

// Fills `table` from dataDir + "/config_host.cfg" (its first "Language" block) or, when
// that file cannot be opened, from dataDir + "/language.txt". Both are GBK.
void loadTranslationTable(const QString &dataDir, TranslationTable &table);

// The translation of `text`, or `text` itself when there is no non-empty entry.
QString translate(const TranslationTable &table, const QString &text);

} // namespace kora
