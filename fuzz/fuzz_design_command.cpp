// Design commands come from buttons and the controller: clean parts, wall and names from them, locks round-trip.
#include "commands/designcommands.h"
#include "quietlogs.h"

#include <cstdlib>

using namespace kora::commands;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QStringList parts = commandParts(bytes);
    for (const QString &part : parts) {
        if (part.isEmpty() || part.contains(QLatin1Char(';')))
            std::abort();
    }
    const DesignCommand c = interpretDesignCommand(parts);
    if ((c.toPages && c.func != parts.value(0)) || c.params.size() > parts.size())
        std::abort();
    if (!c.selectWall.isEmpty() && c.selectWall != parts.value(1))
        std::abort();
    if (c.action == DesignCommand::Action::PanelLock) {
        const QByteArray lock = lockCommand(c.wall, c.on);
        const QByteArray expected = "{SetLockFrame;" + c.wall.toLatin1() + (c.on ? ";-1}" : "}");
        if (!lock.isEmpty() && lock != expected)
            std::abort();
    }
    return 0;
}
