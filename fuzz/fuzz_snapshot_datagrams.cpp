// Snapshot datagrams (length-prefixed, any order) go through JPEG and mosaic paths; the tail is also an address.
#include "datagrams.h"
#include "quietlogs.h"
#include "video/myimageprovider.h"
#include "video/snapshotstream.h"

#include <cstdlib>

using namespace kora::video;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SnapshotAssembler assembler;
    size_t last = 0;
    forEachDatagram(data, size, [&](const QByteArray &datagram) {
        last = size_t(datagram.size());
        if (assembler.push(datagram) != SnapshotAssembler::Result::Complete)
            return;
        if (assembler.picture().size() > kMaxSnapshotBytes || datagram.size() < kSnapshotHeader)
            std::abort();
        const QImage picture = decodeJpeg(assembler.picture(), QSize(320, 180));
        if (picture.width() > 320 || picture.height() > 180)
            std::abort();
        for (const QRect &cell : mosaicCells(picture.size(), 1 + int(last % 9), last % 2 ? 9 : 4)) {
            if (!picture.isNull() && !picture.rect().contains(cell) && !cell.isEmpty())
                std::abort();
        }
    });
    const QString tail = QString::fromLatin1(reinterpret_cast<const char *>(data + (size > 64 ? size - 64 : 0)),
                                             int(size > 64 ? 64 : size));
    const SnapshotAddress a = parseSnapshotAddress(tail);
    if (a.valid && a.rtspUrl.isEmpty() && (a.port == 0 || a.slot >= kMosaicSlots))
        std::abort();
    parseImageId(tail);
    return 0;
}
