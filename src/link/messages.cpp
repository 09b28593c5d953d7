#include "link/messages.h"

#include <QJsonDocument>
#include <QTextCodec>

namespace kora::link {

QByteArray textCommand(const QString &name, const QStringList &fields, QTextCodec *codec)
{
    QString text = QLatin1Char('{') + name;
    for (const QString &field : fields)
        text += QLatin1Char(';') + field;
    text += QLatin1Char('}');
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

QByteArray requestEnvelope(const QString &request, const QJsonObject &data)
{
    QJsonObject o{{QStringLiteral("request"), request}};
    if (!data.isEmpty())
        o.insert(QStringLiteral("data"), data);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray responseEnvelope(const QString &response, const QJsonObject &data, const QString &code, const QString &msg)
{
    const QJsonObject o{{QStringLiteral("response"), response}, {QStringLiteral("code"), code},
                        {QStringLiteral("msg"), msg}, {QStringLiteral("data"), data}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray nodeEnvelope(const QString &function, const QJsonObject &value)
{
    const QJsonObject o{{QStringLiteral("Type"), QStringLiteral("System")}, {QStringLiteral("Function"), function},
                        {QStringLiteral("Value"), value}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString deviceAddress(const QString &address)
{
    return address.section(QLatin1Char('-'), 0, 0);
}

} // namespace kora::link
