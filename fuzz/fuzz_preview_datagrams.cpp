// Preview stream datagrams come from anyone who sends to the group: the input is read as a
// series of datagrams, each prefixed by a 2-byte length (little-endian), put together into
// frames and scanned for keyframes as the decoder does.
#include "datagrams.h"
#include "video/previewassembler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::video;
    constexpr int kMaxFrame = 255 * (kMaxDatagram - kHeaderBytes);
    PreviewAssembler a;
    quint64 gaps = 0;
    forEachDatagram(data, size, [&](const QByteArray &datagram) {
        const PreviewAssembler::Result r = a.add(datagram);
        if ((r.complete || r.gap) && !r.stream)
            std::abort();
        if (!r.stream && r.refused == PreviewAssembler::Refused::None)
            std::abort();
        gaps += r.gap ? 1 : 0;
        if (a.gaps() != gaps)
            std::abort();
        if (r.complete) {
            const QByteArray frame = a.takeFrame();
            if (frame.size() > kMaxFrame)
                std::abort();
            const bool key = isKeyframe(frame, a.frameKind() == FrameKind::H265);
            if (key && frame.size() < 5) // a start code, a header byte and one more at least
                std::abort();
        }
    });
    const QByteArray whole(reinterpret_cast<const char *>(data), int(size));
    isKeyframe(whole, false);
    isKeyframe(whole, true);
    if (size >= 8) {
        const QSize source(data[0] << 8 | data[1], data[2] << 8 | data[3]);
        const QSize shown(data[4] << 8 | data[5], data[6] << 8 | data[7]);
        const QSize out = previewOutputSize(source, shown);
        if (out != source && out != shown)
            std::abort();
    }
    return 0;
}
