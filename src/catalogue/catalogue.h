#pragma once
// Queries of the signal catalogue: groups, multi-signals, search by name, favourites and the
// role's permissions. Pure functions over the device model's lists; positions are indexes
// into those lists. Positions outside the lists give empty results.
#include "model/records.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

namespace kora::catalogue {

// The virtual group of the starred signals.
extern const QString kFavourites; // "收藏"

struct Lists {
    const std::vector<SignalRecord> &signalList;
    const std::vector<SignalGroupRecord> &groups;
    const std::vector<MultiSignalRecord> &multiSignals;
};

QList<int> signalPositions(const Lists &l, int group);
QList<int> multiSignalPositions(const Lists &l, int group);
QVariantList positionsByName(const Lists &l, const QString &name); // favourites: ints; else the entries
QVariantMap signalMessage(const Lists &l, int index);                // "ip", "url", "url2", "name"
QVariantMap multiSignalMessage(const Lists &l, int index);           // "name", "col", "row", "ip", "url", "url2"
QStringList groupSignalIps(const Lists &l, int group);
QStringList groupSignalNames(const Lists &l, int group);
QStringList groupSignalUrls(const Lists &l, int group);
QString subUrlOf(const Lists &l, const QString &ip);
QString groupName(const Lists &l, int index);
QString signalNameOf(const Lists &l, const QString &ip);
QList<int> searchSignal(const Lists &l, const QStringList &groups, const QString &text);
QList<int> searchSignalOfGroup(const Lists &l, const QString &group, const QString &text);
// The position of the first signal with that address (the signal's identity), or -1.
int signalIndexOf(const std::vector<SignalRecord> &signalList, const QString &ip);
// The favourites' tree nodes, in signal-list order.
QJsonArray favouriteNodes(const Lists &l);
// The tree with its group nodes filled.
QJsonArray refreshTreeModel(const Lists &l, const QJsonArray &tree);
// The addresses of the starred signals, in signal-list order (what "signal.ini" keeps).
QStringList starredAddresses(const std::vector<SignalRecord> &signalList);

} // namespace kora::catalogue
