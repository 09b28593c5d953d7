// Scan replies come from anyone on the network; the names they list become file names.
#include "link/scanreply.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const kora::link::ScanReply reply = kora::link::parseScanReply(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (reply.files.size() > kora::link::kMaxScanFiles)
        std::abort();
    for (const kora::link::ScanFile &f : reply.files) {
        // Whatever was accepted stays inside the data folder and is a real MD5.
        if (!kora::link::isSafeFileName(f.name) || f.name.contains(QLatin1Char('/')) || f.name.contains(QLatin1String(".."))
            || f.md5.size() != 32 || f.md5 != f.md5.toLower() || f.name == QLatin1String("kvm.jui"))
            std::abort();
    }
    if (reply.holdsProject() && reply.kind != kora::link::ScanReply::Nodes2)
        std::abort();
    return 0;
}
