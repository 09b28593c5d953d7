// Host messages come from anyone; the input as (id, pid) pairs is a node list the tree keeps whole, each once.
#include "commands/hostmessages.h"
#include "quietlogs.h"

#include <QVector>

#include <cstdlib>

using namespace kora::commands;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const HostMessage m = parseHostMessage(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (m.kind != HostMessage::Kind::Tree && !m.tree.isEmpty())
        std::abort();
    QList<FileInfo> list;
    for (size_t i = 0; i + 1 < size && list.size() < 512; i += 2) {
        FileInfo node;
        node.id = QString::number(data[i] % 33); // few ids: repeats and cycles are common
        node.pid = QString::number(data[i + 1] % 33);
        node.name = QString::number(list.size());
        list.append(node);
    }
    const int count = list.size();
    buildHostFileTree(list);
    // Walked without recursion: a tree can be one long chain.
    QVector<bool> seen(count, false);
    QVector<QPair<const FileInfo *, const FileInfo *>> open;
    for (const FileInfo &root : list)
        open.append({&root, nullptr});
    int placed = 0;
    while (!open.isEmpty()) {
        const auto [node, parent] = open.takeLast();
        const int index = node->name.toInt();
        if (seen[index] || (parent && parent->id != node->pid))
            std::abort();
        seen[index] = true;
        ++placed;
        for (const FileInfo &child : node->children)
            open.append(qMakePair<const FileInfo *, const FileInfo *>(&child, node));
    }
    if (placed != count)
        std::abort();
    return 0;
}
