#pragma once
// What a login reads from the package, for the pages and the senders from then on. The facade
// owns it and declares its concerns after it; the login session fills it; every new login
// starts from an empty one.
#include "model/devicefile.h"
#include "model/records.h"

#include <QMap>
#include <QString>
#include <optional>
#include <vector>

namespace kora {

struct Project {
    DeviceModel devices;                   // outputs, signals, multi-signals, groups, roles, users
    std::optional<UserRecord> currentUser; // the account a login accepted
    QMap<QString, QString> translations;   // the language table (a TranslationTable)
    std::vector<PageRecord> pages;

    const UserRecord *user() const { return currentUser ? &*currentUser : nullptr; }
};

} // namespace kora
