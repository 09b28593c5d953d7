#pragma once
// Small file helpers shared by the controller's concerns.
#include <QByteArray>
#include <QString>

namespace kora::platform {

// Lower-case hex MD5 of a file's whole content; empty when it cannot be read.
QString fileMd5(const QString &path);

} // namespace kora::platform

namespace kora::platform {

// Writes `data` to a temporary file beside `path` and renames it over `path`, so a crash or
// a full disk never leaves half a file under that name. Not synced to disk: the cached
// project files are checked against their MD5 before every use, and a file damaged by a
// power loss is fetched again. False (and `error`) when anything failed; `path` is unchanged then.
bool replaceFileContent(const QString &path, const QByteArray &data, QString *error);

} // namespace kora::platform
