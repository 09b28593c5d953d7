#include "platform/files.h"

#include <QCryptographicHash>
#include <QFile>

namespace kora::platform {

QString fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace kora::platform
