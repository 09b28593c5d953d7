#pragma once
// "control.ini": the local settings and the remembered account, group "Local",
// written through QSettings' INI format so other tools can read the same file.
#include <QByteArray>
#include <QSize>
#include <QString>

namespace kora {

struct ControlSettings {
    QString picMd5;      // written only; the value in use is computed at start-up
    QString localIp;
    QString serverIp;    // empty: no controller, commands go to the devices directly
    QString downIp;
    QString username;
    QString password;    // clear text in memory, enciphered hex on disk
    bool flgRemb = false;
    bool multicast = true;
    int mode = 0;
    QSize minSnap;
    QSize maxSnap;
    int loginfail = 0;
    qint64 logintime = 0; // seconds since 1970-01-01 00:00 UTC
    int windowFlag = 0;   // 1: ordinary window decorations, anything else frameless
    bool enableLog = false;
};

// Applies the file at `path` onto `s`. Without a file only the account and the snapshot
// sizes are reset (so the address found at start-up and multicast=true survive); with a
// file every key is read without a default, a missing key giving the empty value of its type.
void loadControlSettings(const QString &path, ControlSettings &s);

// Rewrites the file completely with the 15 keys. Returns false when it could not be written.
bool saveControlSettings(const QString &path, const ControlSettings &s);

// The remembered password: Latin-1 bytes, padded, AES-256-ECB under the settings key, lower hex.
QByteArray encipherPassword(const QString &password);
QString decipherPassword(const QByteArray &hex);

} // namespace kora
