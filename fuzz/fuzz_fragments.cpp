// Fragment datagrams come from the network: the input is read as a series of datagrams,
// each prefixed by a 2-byte length.
#include "download/fragments.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kora::download::FragmentAssembler a;
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = size_t(data[at]) | size_t(data[at + 1]) << 8;
        at += 2;
        const size_t take = length < size - at ? length : size - at;
        a.add(QByteArray(reinterpret_cast<const char *>(data + at), int(take)));
        at += take;
        if (a.held() > a.total())
            std::abort();
        if (a.isComplete()) {
            a.take();
            if (a.total() != 0 || a.held() != 0) // taking a file starts the next one afresh
                std::abort();
        }
    }
    const QByteArray missing = a.missingList();
    if (a.total() && !a.isComplete() && missing.isEmpty())
        std::abort();
    return 0;
}
