#include "settings/translations.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QFile>
#include <QTextCodec>

namespace kora {

QStringList extractNamedBlocks(const QString &text, const QString &name)
{
    QStringList blocks;
    int depth = 0;
    int contentStart = 0;
    int lastEnd = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('{')) {
            const int nameStart = i - name.size();
            if (depth == 0 && nameStart >= 0 && text.midRef(nameStart, name.size()) == name
                && (nameStart == 0 || text.at(nameStart - 1) == QLatin1Char('\n'))) {
                contentStart = i + 1;
            }
            ++depth;
        } else if (c == QLatin1Char('}')) {
            // A stray closing brace must not push the depth below zero: every later
            // block would then be missed.
            if (depth == 0)
                continue;
            --depth;
            if (depth == 0 && contentStart > lastEnd) {
                blocks.append(text.mid(contentStart, i - contentStart));
                lastEnd = i;
            }
        }
    }
    return blocks;
}

TranslationTable parseTranslationTable(const QString &text)
{
    TranslationTable table;
    // Lines end in CR LF; a file saved with bare LF is read the same way.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            table.insert(line, QString());
        else
            table.insert(line.left(eq), line.mid(eq + 1));
    }
    return table;
}

void loadTranslationTable(const QString &dataDir, TranslationTable &table)
{
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    QFile config(dataDir + QStringLiteral("/config_host.cfg"));
    if (config.open(QIODevice::ReadOnly)) {
        const QStringList blocks = extractNamedBlocks(gbk->toUnicode(config.readAll()),
                                                      QStringLiteral("Language"));
        if (!blocks.isEmpty())
            table = parseTranslationTable(blocks.first());
        return;
    }
    KTRACE(lcSettings) << "config_host.cfg open fail";
    QFile language(dataDir + QStringLiteral("/language.txt"));
    if (!language.open(QIODevice::ReadOnly)) {
        KTRACE(lcSettings) << "language.txt open fail";
        return;
    }
    table = parseTranslationTable(gbk->toUnicode(language.readAll()));
}

QString translate(const TranslationTable &table, const QString &text)
{
    const QString value = table.value(text);
    return value.isEmpty() ? text : value;
}

} // namespace kora
