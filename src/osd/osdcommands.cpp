#include "osd/osdcommands.h"

#include "link/messages.h"

#include <QFontMetrics>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSize>
#include <QTextCodec>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace kora::osd {

namespace {

QTextCodec *utf8()
{
    return QTextCodec::codecForName("UTF-8");
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString flag(const QVariant &value)
{
    return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
}

QString text(const QVariantMap &map, const char *key)
{
    return map.value(QLatin1String(key)).toString();
}

QString numberText(const QVariantMap &map, const char *key)
{
    return QString::number(number(map.value(QLatin1String(key))));
}

// The wall's grid, columns by rows; empty when the design gave none.
QSize grid(const design::WallRecord &wall)
{
    const QSize size = wall.description.value(QStringLiteral("splitSize")).toSize();
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    return size;
}

void copyKeys(const QVariantMap &from, QJsonObject &to, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const auto it = from.constFind(QLatin1String(key));
        if (it != from.constEnd())
            to.insert(QLatin1String(key), QJsonValue::fromVariant(it.value()));
    }
}

} // namespace

int number(const QVariant &value)
{
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0;
    // Out-of-range values would be undefined as int; no wall comes near these.
    return int(std::lround(qBound(-1e9, v, 1e9)));
}

QVariantMap boundedSubtitle(const QVariantMap &osdMap, bool *changed)
{
    QVariantMap out = osdMap;
    bool any = false;
    for (const auto &[key, bound] : {std::pair{"height", kMaxSubtitleHeight}, std::pair{"width", kMaxSubtitleWidth}}) {
        const auto it = osdMap.constFind(QLatin1String(key));
        if (it == osdMap.constEnd())
            continue;
        const int v = number(it.value());
        if (v < 0 || v > bound) {
            out.insert(QLatin1String(key), qBound(0, v, bound));
            any = true;
        }
    }
    if (changed)
        *changed = any;
    return out;
}

QString textFormRefusal(const QVariantMap &osdMap)
{
    if (text(osdMap, "string").contains(QLatin1Char('"')))
        return QStringLiteral("The subtitle text may not hold a double quote (\").");
    return {};
}

QString decoderColour(const QString &colour)
{
    return QStringLiteral("#FF") + colour.mid(1);
}

int evenWidth(int measuredWidth)
{
    return measuredWidth % 2 == 0 ? measuredWidth : measuredWidth + 1;
}

int textWidth(const QFont &font, const QString &text)
{
    return evenWidth(QFontMetrics(font).horizontalAdvance(text));
}

int middleX(int wallWidth, int textWidth)
{
    return (wallWidth - textWidth) / 2;
}

QFont dialogFont(const QVariantMap &osdMap)
{
    const QVariant font = osdMap.value(QStringLiteral("font"));
    return font.canConvert<QFont>() ? font.value<QFont>() : QFont();
}

int subtitleX(const QVariantMap &osdMap, Form form, int wallWidth)
{
    if (form == Form::Image && osdMap.value(QStringLiteral("middle")).toBool())
        return middleX(wallWidth, textWidth(dialogFont(osdMap), text(osdMap, "string")));
    return number(osdMap.value(QStringLiteral("x")));
}

std::optional<RowPlacement> placeInRows(const QList<int> &rowHeights, int y)
{
    for (int row = 0; row < rowHeights.size(); ++row) {
        if (y <= rowHeights[row])
            return RowPlacement{row, y};
        y -= rowHeights[row];
    }
    return std::nullopt;
}

QList<int> rowHeights(const design::WallRecord &wall)
{
    const QSize g = grid(wall);
    QList<int> heights;
    for (int row = 0; row < g.height(); ++row) {
        const QRect first = wall.cellRects.value(row * g.width());
        if (first.isNull())
            break;
        heights.append(first.height());
    }
    return heights;
}

QStringList rowDecoders(const design::WallRecord &wall, int row)
{
    const QSize g = grid(wall);
    QStringList decoders;
    if (row < 0 || row >= g.height())
        return decoders;
    for (int column = 0; column < g.width(); ++column) {
        const QString address = wall.decoderAddresses.value(row * g.width() + column);
        if (!address.isEmpty())
            decoders.append(address);
    }
    return decoders;
}

std::optional<Placement> placeSubtitle(const design::WallRecord &wall, int y)
{
    const std::optional<RowPlacement> place = placeInRows(rowHeights(wall), y);
    if (!place)
        return std::nullopt;
    return Placement{*place, rowDecoders(wall, place->row)};
}

QByteArray imageSubtitleCommand(const QString &wallId, const QVariantMap &osdMap, int x, int rowY)
{
    const QStringList where{QString::number(x), QString::number(rowY), numberText(osdMap, "height")};
    const QStringList look{flag(osdMap.value(QStringLiteral("transparent"))), text(osdMap, "bkCol"),
                           text(osdMap, "time"), text(osdMap, "move")};
    return link::textCommand(QStringLiteral("SubtitleOsd"),
                             {wallId, where.join(QLatin1Char(',')), look.join(QLatin1Char(','))}, utf8());
}

QByteArray textSubtitleCommand(const QString &wallId, const QVariantMap &osdMap, int x, int rowY)
{
    const QStringList where{QString::number(x), QString::number(rowY), numberText(osdMap, "width"),
                            numberText(osdMap, "height"), QStringLiteral("-1")};
    const QStringList look{flag(osdMap.value(QStringLiteral("transparent"))), decoderColour(text(osdMap, "bkCol")),
                           text(osdMap, "time"), quoted(text(osdMap, "move"))};
    const QStringList content{quoted(text(osdMap, "string")), decoderColour(text(osdMap, "fontCol")),
                              text(osdMap, "fontSize"),
                              quoted(osdMap.value(QStringLiteral("bold")).toBool() ? QStringLiteral("bold") : QString())};
    return link::textCommand(
        QStringLiteral("SubtitleOsd"),
        {wallId, where.join(QLatin1Char(',')), look.join(QLatin1Char(',')), content.join(QLatin1Char(','))}, utf8());
}

QByteArray subtitleCommand(Form form, const QString &wallId, const QVariantMap &osdMap, int x, int rowY)
{
    return form == Form::Image ? imageSubtitleCommand(wallId, osdMap, x, rowY)
                               : textSubtitleCommand(wallId, osdMap, x, rowY);
}

QByteArray closeSubtitleCommand(const QString &wallId)
{
    return link::textCommand(QStringLiteral("SubtitleOsd"), {wallId});
}

QString subtitleState(Form form, const QString &wallId, const QVariantMap &osdMap, bool enable)
{
    QJsonObject state{{QStringLiteral("obj"), QStringLiteral("osd")},
                      {QStringLiteral("uuid"), wallId},
                      {QStringLiteral("enable"), enable}};
    copyKeys(osdMap, state,
             {"string", "fontCol", "x", "y", "bkCol", "height", "transparent", "move", "time", "suspend"});
    if (form == Form::Image) {
        copyKeys(osdMap, state, {"middle"});
        if (osdMap.contains(QStringLiteral("font"))) {
            const QFont font = dialogFont(osdMap);
            state.insert(QStringLiteral("fontfamily"), font.family());
            state.insert(QStringLiteral("fontsize"), font.pointSize());
        }
    } else {
        copyKeys(osdMap, state, {"width", "bold", "fontSize"});
    }
    return quoted(QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact)));
}

QByteArray inputLabelCommand(const QVariantMap &osdMap)
{
    const QJsonObject value{{QStringLiteral("channel"), QStringLiteral("chn0")},
                            {QStringLiteral("osd_enable"), number(osdMap.value(QStringLiteral("enable")))},
                            {QStringLiteral("osd_name"), text(osdMap, "str")},
                            {QStringLiteral("osd_color"), text(osdMap, "font_col")},
                            {QStringLiteral("osd_x"), number(osdMap.value(QStringLiteral("x")))},
                            {QStringLiteral("osd_y"), number(osdMap.value(QStringLiteral("y")))},
                            {QStringLiteral("osd_size"), number(osdMap.value(QStringLiteral("font_size")))},
                            {QStringLiteral("osd_mode"), 0}};
    return link::nodeEnvelope(QStringLiteral("setOsd"), value);
}

QString clockContent(const QString &content)
{
    QString out = content;
    out.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    for (const QChar lineBreak : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        out.replace(lineBreak, QLatin1String("\\n"));
    return out;
}

QString clockRefusal(const QVariantList &clocks)
{
    static const QString kCannotCarry = QStringLiteral(",;{}\"");
    for (int i = 0; i < clocks.size(); ++i) {
        const QVariantMap clock = clocks.at(i).toMap();
        for (const char *key : {"content", "xPos", "yPos", "w", "h", "bkClr", "fontClr", "fontSize"}) {
            for (const QChar c : text(clock, key)) {
                if (kCannotCarry.contains(c))
                    return QStringLiteral("Clock %1: its %2 may not hold %3").arg(i + 1).arg(QLatin1String(key)).arg(c);
            }
        }
    }
    return {};
}

QByteArray clockCommand(const QString &wallId, const QVariantList &clocks)
{
    QStringList fields{wallId};
    for (const QVariant &entry : clocks) {
        const QVariantMap clock = entry.toMap();
        const QStringList values{text(clock, "xPos"),   text(clock, "yPos"),
                                 text(clock, "w"),      text(clock, "h"),
                                 clockContent(text(clock, "content")), text(clock, "bkClr"),
                                 text(clock, "fontClr"), text(clock, "fontSize"),
                                 QStringLiteral("\"normal\"")};
        fields.append(values.join(QLatin1Char(',')));
    }
    return link::textCommand(QStringLiteral("ClockOsd"), fields, utf8());
}

QByteArray clockQuery(const QString &wallId)
{
    return link::textCommand(QStringLiteral("GetClockOsd"), {wallId});
}

} // namespace kora::osd
