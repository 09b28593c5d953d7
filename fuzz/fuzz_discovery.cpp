// Discovery messages come from anyone on the group.
#include "discovery/ssdpthread.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::discovery;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (bool onSearchSocket : {false, true}) {
        const Message m = classify(bytes, onSearchSocket);
        if (m.kind == Kind::Other && !m.object.isEmpty())
            std::abort();
        if (m.kind == Kind::Answer && !onSearchSocket)
            std::abort();
        const int delay = answerDelayMs(0xffffffffu, m.object.value(QStringLiteral("mx")).toInt());
        if (delay < 0 || delay >= 120000)
            std::abort();
        uuidFromUsn(m.object.value(QStringLiteral("usn")).toString());
    }
    return 0;
}
