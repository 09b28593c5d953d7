#pragma once
// "signal.ini": the starred signals, one "Star" array entry with key "ip" per signal.
#include <QString>
#include <QStringList>

namespace kora {

QStringList loadStarredAddresses(const QString &path);
bool saveStarredAddresses(const QString &path, const QStringList &addresses);

} // namespace kora
