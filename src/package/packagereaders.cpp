#include "package/packagereaders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QtEndian>
#include <cmath>

namespace kora::package {

QSize chooseDesignSize(const QByteArray &descriptor, float aspect)
{
    const QJsonArray candidates = QJsonDocument::fromJson(descriptor).object().value(QStringLiteral("client.ui")).toArray();
    QSize chosen;
    float best = 0;
    for (const QJsonValue &candidate : candidates) {
        const QJsonObject resolution = candidate.toObject().value(QStringLiteral("resolution")).toObject();
        const int w = resolution.value(QStringLiteral("w")).toInt();
        const int h = resolution.value(QStringLiteral("h")).toInt();
        // A zero or negative side would divide by zero or name no design file.
        if (w <= 0 || h <= 0 || w > 100000 || h > 100000)
            continue;
        const float difference = std::fabs(aspect - float(w) / float(h));
        if (!chosen.isValid() || difference < best) {
            chosen = QSize(w, h);
            best = difference;
        }
    }
    return chosen;
}

QList<QByteArray> cutPictureContainer(const QByteArray &data)
{
    QList<QByteArray> pictures;
    qint64 offset = 0;
    while (offset + 4 <= data.size()) {
        const quint32 length = qFromLittleEndian<quint32>(data.constData() + offset);
        // Lengths of 2^31 and more read as 0 where they come from, as in the fragment header.
        const qint64 l = length >= 0x80000000u ? 0 : qint64(length);
        if (offset + 4 + l > data.size())
            break;
        pictures.append(data.mid(int(offset + 4), int(l)));
        offset += 4 + l;
    }
    return pictures;
}

namespace {

// Values of `key` at depth 0 in text order, at most `limit` of them.
QStringList valuesAtTop(const QString &text, const QString &key, int limit)
{
    QStringList values;
    int depth = 0;
    for (const QString &line : text.split(QStringLiteral("\r\n"))) {
        if (line.contains(QLatin1Char('{'))) {
            ++depth;
            continue;
        }
        if (line.contains(QLatin1Char('}'))) {
            depth = qMax(0, depth - 1);
            continue;
        }
        if (depth != 0)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq) == key) {
            values.append(line.section(QLatin1Char('='), 1, 1));
            if (values.size() == limit)
                break;
        }
    }
    return values;
}

} // namespace

QString blockValue(const QString &text, const QString &key)
{
    return valuesAtTop(text, key, 1).value(0);
}

QStringList blockValues(const QString &text, const QString &key)
{
    return valuesAtTop(text, key, -1);
}

} // namespace kora::package
