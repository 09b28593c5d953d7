// Design commands come from designed buttons and from the controller: whatever the bytes,
// the split and the interpreter agree with each other, and a lock command built from the
// parsed wall reads back as exactly that wall.
#include "commands/designcommands.h"
#include "quietlogs.h"


#include <cstdlib>

using namespace kora::commands;
using Action = DesignCommand::Action;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QStringList parts = commandParts(bytes);
    if (!parts.isEmpty() && (!bytes.startsWith('{') || !bytes.endsWith('}') || bytes.size() > kMaxCommandBytes))
        std::abort();
    for (const QString &part : parts) {
        if (part.isEmpty() || part.contains(QLatin1Char(';')))
            std::abort();
    }

    const DesignCommand c = interpretDesignCommand(parts);
    if (c.toPages) {
        if (c.func.isEmpty() || c.func != parts.first())
            std::abort();
        if (c.params != parts && c.params != parts.mid(1))
            std::abort();
    } else if (!c.func.isEmpty() || !c.params.isEmpty()) {
        std::abort();
    }
    if (c.params.size() > parts.size())
        std::abort();
    if (!c.selectWall.isEmpty() && (parts.size() < 2 || c.selectWall != parts.at(1)))
        std::abort();
    if (parts.isEmpty() && (c.action != Action::None || c.toPages))
        std::abort();

    switch (c.action) {
    case Action::SetVariable:
        if (parts.size() < 3 || c.name != parts.at(1) || c.value != parts.at(2))
            std::abort();
        break;
    case Action::PanelSleep:
    case Action::PanelLock: {
        if (parts.size() != 3 || c.wall != parts.at(1) || c.on != (parts.at(2) == QLatin1String("1")))
            std::abort();
        const QByteArray lock = lockCommand(c.wall, c.on);
        if (!lock.isEmpty()) {
            // Latin-1 both ways: the parsed parts must come back unchanged.
            if (!lock.startsWith("{SetLockFrame;") || !lock.endsWith('}'))
                std::abort();
            const QStringList back = QString::fromLatin1(lock.constData() + 1, lock.size() - 2).split(QLatin1Char(';'));
            const QStringList expected = c.on ? QStringList{QStringLiteral("SetLockFrame"), c.wall, QStringLiteral("-1")}
                                              : QStringList{QStringLiteral("SetLockFrame"), c.wall};
            if (back != expected)
                std::abort();
        }
        break;
    }
    case Action::StackIndex:
        if (parts.size() != 3 || c.name != parts.at(1))
            std::abort();
        break;
    case Action::IpcMove:
    case Action::IpcZoom:
    case Action::IpcPresets:
        if (c.numbers.size() != parts.size() - 1)
            std::abort();
        break;
    case Action::GetStatus:
    case Action::GetWindows:
    case Action::ClearWall:
        if (c.selectWall.isEmpty())
            std::abort();
        break;
    case Action::None:
    case Action::GetClocks:
        break;
    }
    return 0;
}
