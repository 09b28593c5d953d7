// Status answers come from anyone: the monitor gets finite numbers and short texts.
#include "nodes/sysmsg.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), int(size));
    const std::optional<kora::nodes::SysMsg> msg = kora::nodes::parseSysMsg(datagram);
    if (!msg)
        return 0;
    if (!datagram.startsWith("[sys_msg]"))
        std::abort();
    if (!std::isfinite(msg->cpu) || !std::isfinite(msg->mem) || (msg->memoryTotal == 0 && msg->mem != 0))
        std::abort();
    if (msg->netSpeed.size() > kora::nodes::kMaxText || msg->runingTime.size() > kora::nodes::kMaxText)
        std::abort();
    const QVariantMap status = kora::nodes::statusMap(*msg);
    if (status.size() != 5)
        std::abort();
    return 0;
}
