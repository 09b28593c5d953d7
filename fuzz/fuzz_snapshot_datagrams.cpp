// Snapshot datagrams come from the network: the input is a series of datagrams, each with a
// 2-byte length before it. Complete pictures go through the JPEG path and the mosaic cut as
// the reader does it; the last bytes also serve as a snapshot address and an image id.
#include "quietlogs.h"
#include "video/myimageprovider.h"
#include "video/snapshotstream.h"

#include <cstdlib>

using namespace kora::video;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SnapshotAssembler assembler;
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = size_t(data[at]) | size_t(data[at + 1]) << 8;
        at += 2;
        const size_t take = length < size - at ? length : size - at;
        const QByteArray datagram(reinterpret_cast<const char *>(data + at), int(take));
        at += take;
        if (assembler.push(datagram) != SnapshotAssembler::Result::Complete)
            continue;
        if (assembler.picture().size() > kMaxSnapshotBytes)
            std::abort();
        const QImage picture = decodeJpeg(assembler.picture(), QSize(320, 180));
        if (picture.width() > 320 || picture.height() > 180)
            std::abort();
        for (const QRect &cell : mosaicCells(picture.size(), 1 + int(take % 9), take % 2 ? 9 : 4)) {
            if (!picture.isNull() && !picture.rect().contains(cell) && !cell.isEmpty())
                std::abort();
        }
    }
    const QString tail = QString::fromLatin1(reinterpret_cast<const char *>(data + (size > 64 ? size - 64 : 0)),
                                             int(size > 64 ? 64 : size));
    const SnapshotAddress a = parseSnapshotAddress(tail);
    if (a.valid && a.rtspUrl.isEmpty() && (a.port == 0 || a.slot >= kMosaicSlots))
        std::abort();
    parseImageId(tail);
    return 0;
}
