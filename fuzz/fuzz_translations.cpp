// "config_host.cfg" and "language.txt" come with the project package from the network.
#include "settings/translations.h"

#include <QTextCodec>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QString text = gbk->toUnicode(reinterpret_cast<const char *>(data), int(size));

    const QStringList blocks = kora::extractNamedBlocks(text, QStringLiteral("Language"));
    int total = 0;
    for (const QString &block : blocks)
        total += block.size();
    if (total > text.size()) // blocks never overlap, so they never add up to more than the text
        std::abort();
    for (const QString &block : blocks) {
        if (!text.contains(block))
            std::abort();
    }

    const kora::TranslationTable table = kora::parseTranslationTable(blocks.isEmpty() ? text : blocks.first());
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        // A key ends at the first "=" of its line ("=x" gives the empty key).
        if (it.key().contains(QLatin1Char('\n')) || it.key().contains(QLatin1Char('=')))
            std::abort();
        if (!it.key().isEmpty() && kora::translate(table, it.key()).isEmpty())
            std::abort();
    }
    return 0;
}
