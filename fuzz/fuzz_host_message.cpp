// Host messages come from any computer on the network. Whatever the datagram, parsing stays
// in bounds; and read as a list of (id, pid) byte pairs, the input is a node list that the
// tree building must keep whole: every node exactly once, under a node with its parent id
// or at the top level only when no such node outside its own subtree exists.
#include "commands/hostmessages.h"
#include "quietlogs.h"

#include <QVector>

#include <cstdlib>

using namespace kora::commands;

namespace {

constexpr int kIds = 33; // "0" ... "32": few enough that ids repeat and cycles are common
constexpr int kMaxPairs = 512;

// Every node once, with its parent; without recursion, trees can be one long chain.
struct Placed {
    const FileInfo *node;
    const FileInfo *parent;
    int root;
};

QVector<Placed> walk(const QList<FileInfo> &roots)
{
    QVector<Placed> placed;
    for (int r = 0; r < roots.size(); ++r) {
        QVector<Placed> open{{&roots.at(r), nullptr, r}};
        while (!open.isEmpty()) {
            const Placed p = open.takeLast();
            placed.append(p);
            for (const FileInfo &child : p.node->children)
                open.append({&child, p.node, r});
        }
    }
    return placed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const HostMessage m = parseHostMessage(bytes);
    if (m.kind == HostMessage::Kind::Failed && m.code == 0)
        std::abort();
    if (m.kind != HostMessage::Kind::Tree && !m.tree.isEmpty())
        std::abort();
    if (walk(m.tree).size() > kMaxTreeNodes)
        std::abort();

    QList<FileInfo> list;
    for (int i = 0; i + 1 < int(size) && list.size() < kMaxPairs; i += 2) {
        FileInfo node;
        node.id = QString::number(data[i] % kIds);
        node.pid = QString::number(data[i + 1] % kIds);
        node.name = QString::number(list.size());
        list.append(node);
    }
    const int count = list.size();
    buildHostFileTree(list);

    const QVector<Placed> placed = walk(list);
    if (placed.size() != count)
        std::abort();
    QVector<bool> seen(count, false);
    QVector<int> holders(kIds, 0);
    QVector<QVector<int>> holdersInTree(list.size(), QVector<int>(kIds, 0));
    for (const Placed &p : placed) {
        const int index = p.node->name.toInt();
        if (index < 0 || index >= count || seen[index])
            std::abort();
        seen[index] = true;
        if (p.parent && p.parent->id != p.node->pid)
            std::abort();
        if (p.parent && p.node->pid == QLatin1String("0"))
            std::abort();
        ++holders[p.node->id.toInt()];
        ++holdersInTree[p.root][p.node->id.toInt()];
    }
    for (int r = 0; r < list.size(); ++r) {
        const FileInfo &root = list.at(r);
        if (root.pid == QLatin1String("0"))
            continue;
        const int pid = root.pid.toInt();
        if (holders[pid] > holdersInTree[r][pid])
            std::abort();
    }
    return 0;
}
