#include "settings/store.h"

#include "log/categories.h"
#include "log/trace.h"
#include "platform/files.h"
#include "settings/signalstars.h"

#include <QCryptographicHash>
#include <QDir>

namespace kora::settings {

Store::Store(const QString &root)
    : m_dataDir(root + QStringLiteral("/data"))
    , m_imageDir(root + QStringLiteral("/image"))
    , m_logDir(root + QStringLiteral("/log"))
{
    for (const QString &dir : {m_dataDir, m_imageDir, m_logDir}) {
        if (!QDir().mkpath(dir))
            KWARN(lcSettings) << "cannot create" << dir;
    }
}

void Store::load()
{
    values.picMd5 = platform::fileMd5(dataFile(QStringLiteral("pic.dat")));
    if (values.picMd5.isEmpty())
        values.picMd5 = QString::fromLatin1(QCryptographicHash::hash(QByteArray(), QCryptographicHash::Md5).toHex());
    loadControlSettings(dataFile(QStringLiteral("control.ini")), values);
}

bool Store::save() const
{
    const QString path = dataFile(QStringLiteral("control.ini"));
    if (saveControlSettings(path, values))
        return true;
    KWARN(lcSettings) << "cannot write" << path;
    return false;
}

QStringList Store::starred() const
{
    return loadStarredAddresses(dataFile(QStringLiteral("signal.ini")));
}

bool Store::saveStarred(const QStringList &addresses) const
{
    const QString path = dataFile(QStringLiteral("signal.ini"));
    if (saveStarredAddresses(path, addresses))
        return true;
    KWARN(lcSettings) << "cannot write" << path;
    return false;
}

bool Store::clear() const
{
    bool cleared = true;
    for (const QString &path : {m_dataDir, m_logDir, m_imageDir}) {
        QDir dir(path);
        if (dir.exists() && !dir.removeRecursively()) {
            KWARN(lcSettings) << "cannot remove" << path;
            cleared = false;
        }
    }
    return cleared;
}

} // namespace kora::settings
