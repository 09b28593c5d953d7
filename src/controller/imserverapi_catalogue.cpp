// The signal catalogue the pages ask for: groups, multi-signals, search, favourites and the
// role's permissions. The rules are in catalogue/catalogue.h; this file logs and persists.
#include "controller/imserverapi.h"

#include "catalogue/catalogue.h"
#include "log/categories.h"
#include "log/trace.h"

using namespace kora;

namespace {
QVariantList variants(const QList<int> &ints)
{
    QVariantList out;
    for (int i : ints)
        out.append(i);
    return out;
}
} // namespace

QVariant ImServerApi::getSignalNum(int group) const
{
    const QList<int> positions = catalogue::signalPositions(catalogueLists(), group);
    KTRACE(lcApi) << group << positions;
    return QVariant::fromValue(variants(positions));
}

QVariant ImServerApi::getMultiSignalNum(int group) const
{
    const QList<int> positions = catalogue::multiSignalPositions(catalogueLists(), group);
    KTRACE(lcApi) << group << positions;
    return QVariant::fromValue(variants(positions));
}

QVariantList ImServerApi::getSignalNumByName(const QString &str) const
{
    const QVariantList result = catalogue::positionsByName(catalogueLists(), str);
    KTRACE(lcApi) << str << str.toLatin1().toHex() << result;
    return result;
}

QStringList ImServerApi::getSignalNames(int group) const
{
    const QStringList names = catalogue::groupSignalNames(catalogueLists(), group);
    KTRACE(lcApi) << group << names;
    return names;
}

QString ImServerApi::getSignalGroupName(int index) const
{
    const QString name = catalogue::groupName(catalogueLists(), index);
    KTRACE(lcApi) << index << name;
    return name;
}

QVariant ImServerApi::searchSignal(const QStringList &groups, const QString &str) const
{
    const QList<int> found = catalogue::searchSignal(catalogueLists(), groups, str);
    KTRACE(lcApi) << groups << str << found;
    return QVariant::fromValue(variants(found));
}

QVariant ImServerApi::searchSignalOfGroup(const QString &group, const QString &str) const
{
    return QVariant::fromValue(variants(catalogue::searchSignalOfGroup(catalogueLists(), group, str)));
}

void ImServerApi::setSignalStar(const QString &ip, bool star)
{
    const int index = catalogue::signalIndexOf(m_project.devices.signalList, ip);
    if (index >= 0)
        m_project.devices.signalList[size_t(index)].star = star;
    emit callQmlRefeshSignalStar(catalogue::favouriteNodes(catalogueLists()));
    SaveSignalConfig();
}

bool ImServerApi::isStar(const QString &ip) const
{
    const int index = catalogue::signalIndexOf(m_project.devices.signalList, ip);
    return index >= 0 && m_project.devices.signalList[size_t(index)].star;
}

bool ImServerApi::checkPermission(const QString &panel_id) const
{
    const QStringList pages = m_project.currentUser ? m_project.currentUser->pageIds : QStringList();
    KINFO(lcApi) << pages << panel_id;
    return pages.contains(panel_id);
}

bool ImServerApi::checkSignalPermission(const QString &group_name) const
{
    KTRACE(lcApi) << (m_project.currentUser ? m_project.currentUser->signalGroups : QStringList()) << group_name;
    return design::checkSignalPermission(m_project.user(), group_name);
}

QJsonArray ImServerApi::serverRefreshTreeModel(const QJsonArray &treeArray) const
{
    const QJsonArray tree = catalogue::refreshTreeModel(catalogueLists(), treeArray);
    KTRACE(lcApi) << tree;
    return tree;
}
