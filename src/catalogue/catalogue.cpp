#include "catalogue/catalogue.h"

#include <QJsonObject>

namespace kora::catalogue {

const QString kFavourites = QStringLiteral("收藏");

namespace {

const SignalGroupRecord *groupAt(const Lists &l, int group)
{
    return group >= 0 && size_t(group) < l.groups.size() ? &l.groups[size_t(group)] : nullptr;
}

const SignalRecord *signalAt(const Lists &l, int index)
{
    return index >= 0 && size_t(index) < l.signalList.size() ? &l.signalList[size_t(index)] : nullptr;
}

const SignalRecord *signalWithIp(const Lists &l, const QString &ip)
{
    return signalAt(l, signalIndexOf(l.signalList, ip));
}

// A field of each signal of a group, in group order; positions the list lacks are skipped.
template <typename Field>
QStringList groupField(const Lists &l, int group, Field field)
{
    QStringList out;
    if (const SignalGroupRecord *g = groupAt(l, group)) {
        for (int index : g->signalIndexes) {
            if (const SignalRecord *s = signalAt(l, index))
                out.append(field(*s));
        }
    }
    return out;
}

QVariantList entryList(const SignalGroupRecord &g)
{
    QVariantList out;
    for (const SignalGroupRecord::Member &m : g.members)
        out.append(QVariantMap{{QStringLiteral("type"), m.type}, {QStringLiteral("index"), m.index}});
    return out;
}

// Appends the matching signals of a group, each once.
void searchGroup(const Lists &l, const SignalGroupRecord &g, const QString &text, QList<int> &found)
{
    for (int index : g.signalIndexes) {
        const SignalRecord *s = signalAt(l, index);
        if (s && s->name.contains(text) && !found.contains(index))
            found.append(index);
    }
}

QJsonObject node(const QString &text, int index, int type)
{
    return {{QStringLiteral("text"), text},
            {QStringLiteral("isoption"), false},
            {QStringLiteral("index"), index},
            {QStringLiteral("type"), type}};
}

} // namespace

QList<int> signalPositions(const Lists &l, int group)
{
    const SignalGroupRecord *g = groupAt(l, group);
    return g ? g->signalIndexes : QList<int>();
}

QList<int> multiSignalPositions(const Lists &l, int group)
{
    const SignalGroupRecord *g = groupAt(l, group);
    return g ? g->multiSignalIndexes : QList<int>();
}

QVariantList positionsByName(const Lists &l, const QString &name)
{
    QVariantList out;
    if (name == kFavourites) {
        for (size_t i = 0; i < l.signalList.size(); ++i) {
            if (l.signalList[i].star)
                out.append(int(i));
        }
        return out;
    }
    for (const SignalGroupRecord &g : l.groups) {
        if (g.name == name)
            return entryList(g);
    }
    return out;
}

QVariantMap signalMessage(const Lists &l, int index)
{
    const SignalRecord *s = signalAt(l, index);
    if (!s)
        return {};
    return {{QStringLiteral("ip"), s->ip}, {QStringLiteral("url"), s->mainUrl},
            {QStringLiteral("url2"), s->subUrl}, {QStringLiteral("name"), s->name}};
}

QVariantMap multiSignalMessage(const Lists &l, int index)
{
    if (index < 0 || size_t(index) >= l.multiSignals.size())
        return {};
    const MultiSignalRecord &m = l.multiSignals[size_t(index)];
    return {{QStringLiteral("name"), m.name}, {QStringLiteral("col"), m.columns}, {QStringLiteral("row"), m.rows},
            {QStringLiteral("ip"), m.ids}, {QStringLiteral("url"), m.mainUrls}, {QStringLiteral("url2"), m.subUrls}};
}

QStringList groupSignalIps(const Lists &l, int group)
{
    return groupField(l, group, [](const SignalRecord &s) { return s.ip; });
}

QStringList groupSignalNames(const Lists &l, int group)
{
    return groupField(l, group, [](const SignalRecord &s) { return s.name; });
}

QStringList groupSignalUrls(const Lists &l, int group)
{
    return groupField(l, group, [](const SignalRecord &s) { return s.mainUrl; });
}

QString subUrlOf(const Lists &l, const QString &ip)
{
    const SignalRecord *s = signalWithIp(l, ip);
    return s ? s->subUrl : QString();
}

QString groupName(const Lists &l, int index)
{
    const SignalGroupRecord *g = groupAt(l, index);
    return g ? g->name : QString();
}

QString signalNameOf(const Lists &l, const QString &ip)
{
    const SignalRecord *s = signalWithIp(l, ip);
    return s ? s->name : QString();
}

QList<int> searchSignal(const Lists &l, const QStringList &groups, const QString &text)
{
    QList<int> found;
    for (const QString &group : groups) {
        bool ok = false;
        const SignalGroupRecord *g = groupAt(l, group.toInt(&ok));
        if (ok && g)
            searchGroup(l, *g, text, found);
    }
    return found;
}

QList<int> searchSignalOfGroup(const Lists &l, const QString &group, const QString &text)
{
    QList<int> found;
    for (const SignalGroupRecord &g : l.groups) {
        if (g.name == group)
            searchGroup(l, g, text, found);
    }
    return found;
}

int signalIndexOf(const std::vector<SignalRecord> &signalList, const QString &ip)
{
    for (size_t i = 0; i < signalList.size(); ++i) {
        if (signalList[i].ip == ip)
            return int(i);
    }
    return -1;
}

QJsonArray favouriteNodes(const Lists &l)
{
    QJsonArray out;
    for (size_t i = 0; i < l.signalList.size(); ++i) {
        if (l.signalList[i].star)
            out.append(node(l.signalList[i].name, int(i), 0));
    }
    return out;
}

QJsonArray refreshTreeModel(const Lists &l, const QJsonArray &tree)
{
    QJsonArray out = tree;
    for (int i = 0; i < out.size(); ++i) {
        QJsonObject top = out.at(i).toObject();
        const QString text = top.value(QLatin1String("text")).toString();
        if (text == kFavourites) {
            top.insert(QStringLiteral("subnodes"), favouriteNodes(l));
        } else {
            const SignalGroupRecord *group = nullptr;
            for (const SignalGroupRecord &g : l.groups) {
                if (g.name == text) {
                    group = &g;
                    break;
                }
            }
            if (!group)
                continue;
            QJsonArray subnodes;
            for (const SignalGroupRecord::Member &m : group->members) {
                if (m.type == 0 && signalAt(l, m.index))
                    subnodes.append(node(l.signalList[size_t(m.index)].name, m.index, 0));
                else if (m.type == 1 && m.index >= 0 && size_t(m.index) < l.multiSignals.size())
                    subnodes.append(node(l.multiSignals[size_t(m.index)].name, m.index, 1));
                else
                    subnodes.append(QJsonObject()); // an entry the lists do not have
            }
            top.insert(QStringLiteral("subnodes"), subnodes);
        }
        out.replace(i, top);
    }
    return out;
}

QStringList starredAddresses(const std::vector<SignalRecord> &signalList)
{
    QStringList out;
    for (const SignalRecord &s : signalList) {
        if (s.star)
            out.append(s.ip);
    }
    return out;
}

} // namespace kora::catalogue
