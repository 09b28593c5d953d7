#include "platform/files.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

namespace {
// Atomic where the platform allows: an existing target is replaced in one step.
bool renameOver(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}
} // namespace

bool replaceFileContent(const QString &path, const QByteArray &data, QString *error)
{
    QTemporaryFile file(path + QStringLiteral(".part-XXXXXX"));
    if (!file.open() || file.write(data) != data.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    file.close();
    if (!renameOver(file.fileName(), path)) {
        if (error)
            *error = QStringLiteral("cannot rename the new file into place");
        return false; // the temporary file is removed with `file`
    }
    file.setAutoRemove(false); // it is `path` now
    return true;
}

} // namespace kora::platform
