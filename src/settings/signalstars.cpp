#include "settings/signalstars.h"

#include <QFileInfo>
#include <QSettings>

namespace kora {

QStringList loadStarredAddresses(const QString &path)
{
    QStringList addresses;
    if (!QFileInfo::exists(path))
        return addresses;
    QSettings ini(path, QSettings::IniFormat);
    const int size = ini.beginReadArray(QStringLiteral("Star"));
    for (int i = 0; i < size; ++i) {
        ini.setArrayIndex(i);
        addresses.append(ini.value(QStringLiteral("ip")).toString());
    }
    ini.endArray();
    return addresses;
}

bool saveStarredAddresses(const QString &path, const QStringList &addresses)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.clear();
    ini.beginWriteArray(QStringLiteral("Star"), addresses.size());
    for (int i = 0; i < addresses.size(); ++i) {
        ini.setArrayIndex(i);
        ini.setValue(QStringLiteral("ip"), addresses.at(i));
    }
    ini.endArray();
    ini.sync();
    return ini.status() == QSettings::NoError;
}

} // namespace kora
