#include "log/trace.h"

namespace kora {

QString qualifiedFunctionName(const char *prettyFunction)
{
    const QString text = QString::fromLatin1(prettyFunction);
    // The name ends at the parameter list: the first '(' outside template brackets,
    // except for "operator()" whose own parentheses belong to the name.
    int depth = 0;
    int end = text.size();
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('<')) {
            ++depth;
        } else if (c == QLatin1Char('>')) {
            depth = qMax(0, depth - 1);
        } else if (c == QLatin1Char('(') && depth == 0) {
            if (text.midRef(0, i).endsWith(QLatin1String("operator")))
                continue;
            end = i;
            break;
        }
    }
    // The return type ends at the last blank outside template brackets.
    int start = 0;
    depth = 0;
    for (int i = 0; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('<'))
            ++depth;
        else if (c == QLatin1Char('>'))
            depth = qMax(0, depth - 1);
        else if (c == QLatin1Char(' ') && depth == 0)
            start = i + 1;
    }
    QString name = text.mid(start, end - start);
    while (name.startsWith(QLatin1Char('*')) || name.startsWith(QLatin1Char('&')))
        name.remove(0, 1);
    return name;
}

QString tracePrefix(const char *prettyFunction, int line, const QTime &now)
{
    return QStringLiteral("[%1 %2 %3]")
        .arg(now.toString(QStringLiteral("hh:mm:ss:zzz")), qualifiedFunctionName(prettyFunction))
        .arg(line);
}

} // namespace kora
