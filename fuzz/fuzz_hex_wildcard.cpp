// Hex text yields one byte per pair; wildcard substitution never grows past the payload limit.
// Input: text, then form-feed pieces of "key=reference", "docker:key=value" and "name=value" lines.
#include "controls/controlcommands.h"
#include "quietlogs.h"

#include <algorithm>
#include <cstdlib>

using namespace kora::controls;

namespace {
QList<QPair<QString, QString>> pairs(const QString &piece)
{
    QList<QPair<QString, QString>> out;
    for (const QString &line : piece.split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0)
            out.append({line.left(eq), line.mid(eq + 1)});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList pieces = input.split(QLatin1Char('\f'));
    const QString &text = pieces.first();

    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const QByteArray bytes = decodeHexText(text);
    if (bytes.size() != (digits.size() + 1) / 2)
        std::abort();

    QJsonObject wildcard;
    for (const auto &[key, reference] : pairs(pieces.value(1)))
        wildcard.insert(key, reference);
    Values values;
    for (const auto &[reference, value] : pairs(pieces.value(2)))
        values.dockers[reference.section(QLatin1Char(':'), 0, 0)].insert(reference.section(QLatin1Char(':'), 1), value);
    for (const auto &[name, value] : pairs(pieces.value(3)))
        values.variables.insert(name, value);

    bool ok = false;
    const QString result = substituteWildcards(text, wildcard, values, &ok);
    if (!ok && !result.isEmpty())
        std::abort();
    if (ok && result.size() > std::max(text.size(), kMaxPayload))
        std::abort();
    // Nothing to replace leaves the text as it is.
    if (wildcard.isEmpty() && values.variables.isEmpty() && (!ok || result != text))
        std::abort();
    return 0;
}
