#pragma once
// Small file helpers shared by the controller's concerns.
#include <QString>

namespace kora::platform {

// Lower-case hex MD5 of a file's whole content; empty when it cannot be read.
QString fileMd5(const QString &path);

} // namespace kora::platform
