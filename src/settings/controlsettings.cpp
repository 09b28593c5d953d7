#include "settings/controlsettings.h"

#include "cipher/storagecipher.h"

#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>

namespace kora {

void loadControlSettings(const QString &path, ControlSettings &s)
{
    if (!QFileInfo::exists(path)) {
        s.username.clear();
        s.password.clear();
        s.flgRemb = false;
        s.minSnap = QSize(256, 144);
        s.maxSnap = QSize(640, 360);
        return;
    }
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Local"));
    s.localIp = ini.value(QStringLiteral("localIp")).toString();
    s.downIp = ini.value(QStringLiteral("downIp")).toString();
    s.serverIp = ini.value(QStringLiteral("serverIp")).toString();
    s.username = ini.value(QStringLiteral("username")).toString();
    s.password = decipherPassword(ini.value(QStringLiteral("password")).toByteArray());
    s.flgRemb = ini.value(QStringLiteral("flgRemb")).toBool();
    s.multicast = ini.value(QStringLiteral("multicast")).toBool();
    s.mode = ini.value(QStringLiteral("mode")).toInt();
    s.minSnap = ini.value(QStringLiteral("minSnap")).toSize();
    s.maxSnap = ini.value(QStringLiteral("maxSnap")).toSize();
    s.loginfail = ini.value(QStringLiteral("loginfail")).toInt();
    s.logintime = ini.value(QStringLiteral("logintime")).toLongLong();
    s.windowFlag = ini.contains(QStringLiteral("windowFlag"))
                       ? ini.value(QStringLiteral("windowFlag")).toInt()
                       : 0;
    s.enableLog = ini.value(QStringLiteral("enableLog")).toBool();
    ini.endGroup();
}

bool saveControlSettings(const QString &path, const ControlSettings &s)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.clear();
    ini.beginGroup(QStringLiteral("Local"));
    ini.setValue(QStringLiteral("picMd5"), s.picMd5);
    ini.setValue(QStringLiteral("localIp"), s.localIp);
    ini.setValue(QStringLiteral("serverIp"), s.serverIp);
    ini.setValue(QStringLiteral("downIp"), s.downIp);
    ini.setValue(QStringLiteral("username"), s.username);
    ini.setValue(QStringLiteral("password"), encipherPassword(s.password));
    ini.setValue(QStringLiteral("flgRemb"), s.flgRemb);
    ini.setValue(QStringLiteral("multicast"), s.multicast);
    ini.setValue(QStringLiteral("mode"), s.mode);
    ini.setValue(QStringLiteral("minSnap"), s.minSnap);
    ini.setValue(QStringLiteral("maxSnap"), s.maxSnap);
    ini.setValue(QStringLiteral("loginfail"), s.loginfail);
    ini.setValue(QStringLiteral("logintime"), s.logintime);
    ini.setValue(QStringLiteral("windowFlag"), s.windowFlag);
    ini.setValue(QStringLiteral("enableLog"), s.enableLog);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QByteArray encipherPassword(const QString &password)
{
    return encipherForStorage(password.toLatin1()).toHex();
}

QString decipherPassword(const QByteArray &hex)
{
    if (hex.isEmpty())
        return QString();
    const QByteArray plain = decipherFromStorage(QByteArray::fromHex(hex));
    // Stored as Latin-1; older files may hold UTF-8. Read UTF-8 when it is valid UTF-8,
    // else Latin-1, so a password with an accented letter comes back as it was typed.
    QTextCodec::ConverterState state;
    const QString utf8 = QTextCodec::codecForName("UTF-8")->toUnicode(plain.constData(), plain.size(), &state);
    return state.invalidChars == 0 ? utf8 : QString::fromLatin1(plain);
}

} // namespace kora
