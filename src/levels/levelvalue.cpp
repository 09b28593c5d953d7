#include "levels/levelvalue.h"

#include "controls/controlcommands.h"

#include <QStringList>
#include <cmath>
#include <limits>

namespace kora::levels {

Cut cutFor(const QString &replyTemplate, const QString &key)
{
    const int at = key.isEmpty() ? -1 : replyTemplate.indexOf(key);
    if (at < 0)
        return {};
    return {at, replyTemplate.size() - at - key.size()};
}

bool isHexType(const QString &type)
{
    return type.compare(QLatin1String("HEX"), Qt::CaseInsensitive) == 0;
}

namespace {

// What stays between prefix and suffix; empty when they overlap.
QString middle(const QString &text, Cut cut)
{
    const int length = text.size() - cut.prefix - cut.suffix;
    if (cut.prefix < 0 || cut.suffix < 0 || length <= 0)
        return QString();
    return text.mid(cut.prefix, length);
}

} // namespace

Reading readText(const QByteArray &datagram, Cut cut)
{
    const QString text = middle(QString::fromLatin1(datagram), cut);
    bool ok = false;
    const double number = text.toDouble(&ok);
    int value = 0;
    // Truncation of a double outside the int range is undefined: such replies read 0.
    if (ok && std::isfinite(number) && std::trunc(number) >= double(std::numeric_limits<int>::min())
        && std::trunc(number) <= double(std::numeric_limits<int>::max()))
        value = int(std::trunc(number));
    return {value, text};
}

Reading readHex(const QByteArray &datagram, Cut cut)
{
    const QString digits = middle(QString::fromLatin1(datagram.toHex()), cut);
    // The digits come from the datagram's own hex text, so they are always valid. Only the
    // low 16 bits count: the last four digits, whatever the length of the number.
    int value = 0;
    if (!digits.isEmpty()) {
        const quint16 low = quint16(digits.right(4).toUInt(nullptr, 16));
        value = qint16(quint16((low << 8) | (low >> 8)));
    }
    return {value, QString::number(value)};
}

QByteArray requestPayload(const QString &data, bool hex)
{
    return hex ? controls::decodeHexText(data) : data.toLatin1();
}

QString primingRequest(const QString &data)
{
    if (!data.contains(QLatin1String("{GetAoData;")))
        return QString();
    QStringList fields = data.split(QLatin1Char(';'));
    fields[1] = QStringLiteral("0");
    return fields.join(QLatin1Char(';'));
}

Schedule scheduleFor(int timeMs)
{
    if (timeMs < 1)
        return {100, true};
    return {timeMs, false};
}

} // namespace kora::levels
