// "config_host.cfg" comes from the network (GBK block text).
#include "package/legacyconfig.h"

#include <QTextCodec>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const kora::package::LegacyConfig c = kora::package::parseLegacyConfig(gbk ? gbk->toUnicode(bytes) : QString::fromLatin1(bytes));
    for (const kora::SignalGroupRecord &g : c.groups) {
        for (int i : g.signalIndexes)
            if (i < 0 || size_t(i) >= c.signalList.size())
                std::abort();
        for (int i : g.multiSignalIndexes)
            if (i < 0 || size_t(i) >= c.multiSignals.size())
                std::abort();
    }
    for (const kora::MultiSignalRecord &m : c.multiSignals)
        if (m.ids.size() != m.mainUrls.size() || m.ids.size() != m.subUrls.size())
            std::abort();
    if (c.users.size() != c.roles.size())
        std::abort();
    return 0;
}
