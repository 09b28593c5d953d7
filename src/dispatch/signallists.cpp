#include "dispatch/signallists.h"

#include <QHash>
#include <QSet>
#include <QVariantMap>

namespace kora::dispatch {

bool changesSignals(Kind kind)
{
    return kind == Kind::SignalTree || kind == Kind::SignalTreePage || kind == Kind::SnapUrls;
}

bool acceptedFrom(Kind kind, const QString &sender, const Context &context)
{
    return !changesSignals(kind) || (!sender.isEmpty() && context.signalSources.contains(sender));
}

SignalMerge mergeSignalList(std::vector<SignalRecord> &signalList, std::vector<SignalGroupRecord> &groups,
                            const QVariantList &entries, bool paged, int *wholeListGroup)
{
    SignalMerge merge;
    // Lookups by hash: a list of thousands against a model of thousands stays linear.
    QHash<QString, int> byId;
    for (size_t i = 0; i < signalList.size(); ++i) {
        if (!byId.contains(signalList[i].ip))
            byId.insert(signalList[i].ip, int(i));
    }
    QHash<QString, int> byName;
    if (paged) {
        for (size_t i = 0; i < groups.size(); ++i) {
            if (!byName.contains(groups[i].name))
                byName.insert(groups[i].name, int(i));
        }
    }
    QHash<int, QSet<int>> members; // of the groups this list touches, made on first touch
    auto addMember = [&](int group, int index) {
        auto found = members.find(group);
        if (found == members.end()) {
            const QList<int> &indexes = groups[size_t(group)].signalIndexes;
            found = members.insert(group, QSet<int>(indexes.cbegin(), indexes.cend()));
        }
        if (found->contains(index))
            return;
        found->insert(index);
        groups[size_t(group)].signalIndexes.append(index);
        groups[size_t(group)].members.append({index, 0});
    };

    if (!paged) {
        int whole = *wholeListGroup;
        if (whole < 0 || size_t(whole) >= groups.size()) {
            whole = -1;
            if (groups.size() < size_t(kMaxGroups)) {
                groups.push_back(SignalGroupRecord{});
                whole = int(groups.size()) - 1;
            }
        } else {
            groups[size_t(whole)] = SignalGroupRecord{}; // a repeated list replaces the last one
        }
        *wholeListGroup = whole;
        merge.group = whole;
    }

    for (const QVariant &v : entries) {
        const QVariantMap entry = v.toMap();
        const QString id = entry.value(QStringLiteral("id")).toString();
        int index = byId.value(id, -1);
        if (index < 0 && signalList.size() >= size_t(kMaxSignals)) {
            ++merge.refused;
            continue;
        }
        int group = merge.group;
        if (paged) {
            const QString path = entry.value(QStringLiteral("path")).toString();
            group = byName.value(path, -1);
            if (group < 0 && groups.size() < size_t(kMaxGroups)) {
                SignalGroupRecord g;
                g.name = path;
                groups.push_back(g);
                group = int(groups.size()) - 1;
                byName.insert(path, group);
            }
        }
        if (group < 0) {
            ++merge.refused;
            continue;
        }
        if (index < 0) {
            SignalRecord s;
            s.ip = id;
            s.name = entry.value(QStringLiteral("name")).toString();
            s.mainUrl = entry.value(QStringLiteral("url0")).toString();
            s.subUrl = entry.value(QStringLiteral("url1")).toString();
            s.snapshotUrl = entry.value(QStringLiteral("snapUrl")).toString();
            signalList.push_back(s);
            index = int(signalList.size()) - 1;
            byId.insert(id, index);
            merge.added.append(index);
        }
        addMember(group, index);
    }
    return merge;
}

} // namespace kora::dispatch
