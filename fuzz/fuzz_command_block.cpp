// Command blocks come from editable project files: no packet oversized or without destination, waits bounded.
// Input: form-feed separated blocks (matrix crosspoint in pieces 2 and 3); byte 0 picks a slider value.
#include "controls/controlcommands.h"
#include "quietlogs.h"

#include <QHostAddress>

#include <cstdlib>
#include <limits>

using namespace kora::controls;

namespace {
void check(const QList<Packet> &packets)
{
    for (const Packet &p : packets) {
        if (p.data.size() > kMaxPayload || p.delayMs < 0 || p.delayMs > kMaxDelayMs)
            std::abort();
        if (p.transport != Transport::Internal
            && (p.port == 0 || QHostAddress(p.ip).protocol() != QAbstractSocket::IPv4Protocol || p.ip == QLatin1String("0.0.0.0")))
            std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const double values[] = {200.0, -200.7, 65794.0, 1e300, std::numeric_limits<double>::quiet_NaN(), 0.0};
    QStringList blocks = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)).split(QLatin1Char('\f'));
    while (blocks.size() > 8)
        blocks.removeLast();
    const double value = values[size ? data[0] % 6 : 0];
    check(buttonPackets(blocks));
    check(sliderPackets(blocks.first(), value));
    check(matrixPackets(blocks.first(), blocks.value(1), blocks.value(2)));
    if (sliderHex(value).size() != 4)
        std::abort();
    return 0;
}
