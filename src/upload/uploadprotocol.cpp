#include "upload/uploadprotocol.h"

#include "link/messages.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextCodec>
#include <QtEndian>
#include <cstring>

namespace kora::upload {

namespace {

QByteArray command(const QString &wallId, const QString &fileName, const QString &dataAddress)
{
    const QString data = QStringLiteral("%1,%2,%3").arg(dataAddress).arg(kDataPort).arg(kHeaderBytes + kChunkBytes);
    return link::textCommand(QStringLiteral("UploadFile"), {wallId, fileName, data}, QTextCodec::codecForName("UTF-8"));
}

} // namespace

quint32 chunkCount(qint64 size)
{
    if (size <= 0)
        return 0;
    return quint32((size + kChunkBytes - 1) / kChunkBytes);
}

QByteArray dataDatagram(const QByteArray &file, quint32 index)
{
    const quint32 count = chunkCount(file.size());
    if (index >= count)
        return {};
    const int from = int(index) * kChunkBytes;
    const int length = qMin(kChunkBytes, file.size() - from);
    QByteArray datagram(kHeaderBytes + length, Qt::Uninitialized);
    qToLittleEndian<quint32>(count, datagram.data());
    qToLittleEndian<quint32>(index, datagram.data() + 4);
    memcpy(datagram.data() + kHeaderBytes, file.constData() + from, size_t(length));
    return datagram;
}

QByteArray uploadCommand(const QString &wallId, const QString &fileName)
{
    return command(wallId, fileName, QStringLiteral("0.0.0.0"));
}

QByteArray multicastUploadCommand(const QString &wallId, const QString &fileName)
{
    return command(wallId, fileName, QLatin1String(link::kWallGroup));
}

BackgroundTarget backgroundTarget(const QString &outputText)
{
    BackgroundTarget target{outputText, QStringLiteral("setBaseMap"), QStringLiteral("bk.jpg")};
    if (outputText.contains(QLatin1String("(0)"))) {
        target.address = outputText.section(QLatin1Char('('), 0, 0);
    } else if (outputText.contains(QLatin1String("(1)"))) {
        target.address = outputText.section(QLatin1Char('('), 0, 0);
        target.function = QStringLiteral("setBaseMap2");
        target.fileName = QStringLiteral("bk2.jpg");
    }
    return target;
}

QByteArray baseMapRequest(const BackgroundTarget &target, const QSize &size)
{
    const QJsonArray whole{0, 0, size.width(), size.height()};
    const QJsonObject value{{QStringLiteral("model"), QStringLiteral("picture")},
                            {QStringLiteral("picture_path"), target.fileName},
                            {QStringLiteral("picture_size"), whole},
                            {QStringLiteral("picture_crop"), whole}};
    return link::nodeEnvelope(target.function, value);
}

} // namespace kora::upload
