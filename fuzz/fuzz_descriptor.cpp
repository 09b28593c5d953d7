// The project descriptor (".ds") and "pic.dat" come from the network.
#include "package/packagereaders.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QSize chosen = kora::package::chooseDesignSize(bytes, 16.f / 9);
    if (chosen.isValid() && (chosen.width() <= 0 || chosen.height() <= 0))
        std::abort();
    qint64 total = 0;
    for (const QByteArray &picture : kora::package::cutPictureContainer(bytes))
        total += 4 + picture.size();
    if (total > qint64(size))
        std::abort();
    return 0;
}
