#pragma once
// Records of the project model. The device and design loaders fill them; the controller
// object owns the lists and empties them on every new login.
#include <QString>
#include <QStringList>

namespace kora {

struct PageRecord {
    QString name;
    QString id;
};

struct UserRecord {
    QString name;
    QString password; // as the package stores it
    QStringList pageIds; // the pages this user may open, in menu order
};

struct SignalRecord {
    QString name;
    QString ip;
    bool star = false;
};

} // namespace kora
