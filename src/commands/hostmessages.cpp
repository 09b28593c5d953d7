#include "commands/hostmessages.h"

#include "log/categories.h"
#include "log/trace.h"
#include "model/jsontext.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QPair>
#include <QVector>

#include <cmath>
#include <limits>

namespace kora::commands {

namespace {

QString shown(const QString &text)
{
    return text.size() <= 80 ? text : text.left(80) + QStringLiteral("...");
}

// A number or a numeric text in int range; anything else fails.
bool intOf(const QJsonValue &value, int *out)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d != std::floor(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
            return false;
        *out = int(d);
        return true;
    }
    if (value.isString()) {
        bool ok = false;
        *out = value.toString().toInt(&ok);
        return ok;
    }
    return false;
}

// The forest while it is built: nodes by their position in the flat list, children as
// positions. Nothing is copied until the end, so a long chain costs no more than a flat list.
struct Forest {
    static constexpr int kLookThrough = 64;

    QVector<int> key;                 // id, as a small number
    QVector<int> parentKey;           // pid as an id's number, -1 when no node has that id
    QVector<QVector<int>> holders;    // by id number: the nodes with that id, in list order
    QVector<QVector<int>> children;
    QVector<int> up;                  // towards the top-level node (compressed on the way)
    QVector<int> kept;                // top-level nodes already walked past
    QVector<int> stack;

    int topOf(int x)
    {
        int top = x;
        while (up[top] != top)
            top = up[top];
        while (up[x] != top) {
            const int next = up[x];
            up[x] = top;
            x = next;
        }
        return top;
    }

    // Depth-first from `top`, children before the next node of the same level.
    int firstIn(int top, int want)
    {
        stack.clear();
        stack.append(top);
        while (!stack.isEmpty()) {
            const int x = stack.takeLast();
            if (key[x] == want)
                return x;
            const QVector<int> &under = children[x];
            for (int k = under.size() - 1; k >= 0; --k)
                stack.append(under[k]);
        }
        return -1;
    }

    // The parent of the top-level node `t` while the walk is at it: the top level is `kept`,
    // then `t` itself, then the nodes not walked yet (t + 1 ...). `t` and everything under
    // it are passed over, so nothing is attached under itself.
    int parentOf(int t, int count)
    {
        const int want = parentKey[t];
        if (want < 0)
            return -1;
        // Usually the id is unique and its one holder outside `t` is the answer. With several,
        // or too many to look through (a hostile list can put thousands under `t`), the
        // depth-first walk decides.
        const QVector<int> &named = holders[want];
        int only = -1;
        int candidates = 0;
        for (int k = 0; k < named.size() && k < kLookThrough && candidates < 2; ++k) {
            if (topOf(named[k]) != t) {
                only = named[k];
                ++candidates;
            }
        }
        if (candidates < 2 && named.size() <= kLookThrough)
            return only;
        for (const int top : qAsConst(kept)) {
            const int found = firstIn(top, want);
            if (found >= 0)
                return found;
        }
        for (int top = t + 1; top < count; ++top) {
            const int found = firstIn(top, want);
            if (found >= 0)
                return found;
        }
        return -1;
    }
};

} // namespace

void buildHostFileTree(QList<FileInfo> &list)
{
    const int count = list.size();
    Forest f;
    QHash<QString, int> ids;
    f.key.resize(count);
    for (int i = 0; i < count; ++i) {
        const auto at = ids.constFind(list.at(i).id);
        if (at != ids.constEnd()) {
            f.key[i] = at.value();
        } else {
            f.key[i] = ids.size();
            ids.insert(list.at(i).id, f.key[i]);
            f.holders.append(QVector<int>());
        }
        f.holders[f.key[i]].append(i);
    }
    f.parentKey.resize(count);
    for (int i = 0; i < count; ++i)
        f.parentKey[i] = ids.value(list.at(i).pid, -1);
    f.children.resize(count);
    f.up.resize(count);
    for (int i = 0; i < count; ++i)
        f.up[i] = i;

    // Removing a node from the top level moves the next one into its position, so the walk
    // meets the nodes in list order.
    for (int t = 0; t < count; ++t) {
        const FileInfo &node = list.at(t);
        if (node.pid == QLatin1String("0")) {
            f.kept.append(t);
            continue;
        }
        const int parent = f.parentOf(t, count);
        if (parent < 0) {
            KTRACE(lcApi) << "can not find node parent:id=" + node.id + " pid=" + node.pid + " name=" + node.name;
            f.kept.append(t);
            continue;
        }
        KTRACE(lcApi) << "node" << node.id << "moves under" << list.at(parent).id;
        f.children[parent].append(t);
        f.up[t] = parent;
    }

    // Children before their parents, without recursion; each finished subtree is handed on
    // and released, so nothing is copied deeply. Children the nodes came with stay first.
    QVector<FileInfo> built(count);
    for (int i = 0; i < count; ++i)
        built[i] = list.at(i);
    QList<FileInfo> result;
    QVector<QPair<int, int>> open; // node, next child
    for (const int top : qAsConst(f.kept)) {
        open.append({top, 0});
        while (!open.isEmpty()) {
            const int x = open.last().first;
            const int next = open.last().second;
            if (next < f.children[x].size()) {
                ++open.last().second;
                open.append({f.children[x][next], 0});
                continue;
            }
            open.removeLast();
            for (const int c : qAsConst(f.children[x])) {
                built[x].children.append(built[c]);
                built[c] = FileInfo();
            }
        }
        result.append(built[top]);
        built[top] = FileInfo();
    }
    list = result;
}

HostMessage parseHostMessage(const QByteArray &datagram)
{
    HostMessage m;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(datagram, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        KWARN(lcApi) << "host message is not a JSON object:" << error.errorString() << shown(QString::fromUtf8(datagram));
        return m;
    }
    const QJsonObject object = document.object();
    m.response = jsonText(object.value(QLatin1String("response")));

    // A missing "code" is a success; one that is present but not a readable 0 is not.
    const QJsonValue code = object.value(QLatin1String("code"));
    if (!code.isUndefined() && !code.isNull()) {
        int value = -1;
        if (!intOf(code, &value))
            value = -1;
        if (value != 0) {
            m.kind = HostMessage::Kind::Failed;
            m.code = value;
            m.message = jsonText(object.value(QLatin1String("msg")));
            KWARN(lcApi) << "host answers" << m.response << "with code" << m.code << "msg" << shown(m.message);
            return m;
        }
    }

    const QJsonValue data = object.value(QLatin1String("data"));
    if (m.response == QLatin1String("GetDev")) {
        if (!data.isObject()) {
            KWARN(lcApi) << "host device announcement without a data object";
            return m;
        }
        const QJsonObject dev = data.toObject();
        m.kind = HostMessage::Kind::Device;
        m.devId = jsonText(dev.value(QLatin1String("dev_id")));
        m.devName = jsonText(dev.value(QLatin1String("dev_name")));
        m.devVenc = jsonText(dev.value(QLatin1String("dev_venc")));
        KTRACE(lcApi) << "host device" << m.devId << m.devName << m.devVenc;
        return m;
    }
    if (m.response == QLatin1String("GetDevStructureTree")) {
        if (!data.isArray()) {
            KWARN(lcApi) << "host file tree without a data array";
            return m;
        }
        const QJsonArray nodes = data.toArray();
        if (nodes.size() > kMaxTreeNodes) {
            KWARN(lcApi) << "host file tree refused:" << nodes.size() << "nodes, at most" << kMaxTreeNodes;
            return m;
        }
        QList<FileInfo> list;
        list.reserve(nodes.size());
        int skipped = 0;
        for (const QJsonValue &value : nodes) {
            if (!value.isObject()) {
                ++skipped;
                continue;
            }
            const QJsonObject o = value.toObject();
            FileInfo node;
            node.id = jsonText(o.value(QLatin1String("id")));
            node.pid = jsonText(o.value(QLatin1String("pid")));
            node.name = jsonText(o.value(QLatin1String("name")));
            node.area = jsonText(o.value(QLatin1String("area")));
            if (!intOf(o.value(QLatin1String("type")), &node.type))
                node.type = 0;
            KTRACE(lcApi) << "host file node id" << node.id << "pid" << node.pid << "name" << shown(node.name)
                          << "type" << node.type << "area" << shown(node.area);
            list.append(node);
        }
        if (skipped > 0)
            KWARN(lcApi) << "host file tree:" << skipped << "elements are not objects, left out";
        buildHostFileTree(list);
        KTRACE(lcApi) << "host file tree roots:" << list.size();
        m.kind = HostMessage::Kind::Tree;
        m.tree = list;
        return m;
    }
    m.kind = HostMessage::Kind::Unknown;
    return m;
}

} // namespace kora::commands
