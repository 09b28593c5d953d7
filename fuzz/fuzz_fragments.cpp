// Fragment datagrams come from the network.
#include "datagrams.h"
#include "download/fragments.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kora::download::FragmentAssembler a;
    forEachDatagram(data, size, [&](const QByteArray &datagram) {
        a.add(datagram);
        if (a.held() > a.total())
            std::abort();
        if (a.isComplete()) {
            a.take();
            if (a.total() != 0 || a.held() != 0) // taking a file starts the next one afresh
                std::abort();
        }
    });
    const QByteArray missing = a.missingList();
    if (a.total() && !a.isComplete() && missing.isEmpty())
        std::abort();
    return 0;
}
