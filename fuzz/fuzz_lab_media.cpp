// Encoder registrations and stream datagrams come from the network. Byte 0 picks the reader; the rest is a
// registration or length-prefixed datagrams.
#include "media/wire.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), int(size - 1));
    if (data[0] % 3 == 0) {
        lab::Registration r;
        if (lab::parseRegistration(rest, &r) && lab::composeRegistration(r) != rest)
            std::abort(); // a registration understood is one the lab would write the same way
        return 0;
    }
    lab::PreviewAssembler preview;
    lab::SnapshotAssembler snapshot;
    int at = 0;
    while (at + 2 <= rest.size()) {
        const int length = quint8(rest[at]) | quint8(rest[at + 1]) << 8;
        at += 2;
        const QByteArray datagram = rest.mid(at, length);
        at += datagram.size();
        if (data[0] % 3 == 1) {
            lab::PreviewAssembler::Frame frame;
            if (preview.add(datagram, &frame) && frame.data.size() > 255 * 65536)
                std::abort();
        } else {
            QByteArray picture;
            if (snapshot.add(datagram, &picture) && picture.size() > 255 * 65536)
                std::abort();
        }
    }
    return 0;
}
