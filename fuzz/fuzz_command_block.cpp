// Designed command blocks come from project files anyone may have edited. Whatever the text,
// no packet is oversized, every network packet has a usable destination and port, and the
// waits stay within their bounds. Input: blocks separated by form feeds; for the matrix the
// second and third piece are the crosspoint's values, the first byte picks a slider value, and
// a last piece that is a JSON object is also tried as a button and a slider event.
#include "controls/controlcommands.h"
#include "quietlogs.h"

#include <QJsonDocument>

#include <cmath>
#include <cstdlib>
#include <limits>

using namespace kora::controls;

namespace {

bool dottedQuad(const QString &ip)
{
    const QStringList parts = ip.split(QLatin1Char('.'));
    if (parts.size() != 4 || ip == QLatin1String("0.0.0.0"))
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < 0 || n > 255 || part.isEmpty() || part.size() > 3 || !part.at(0).isDigit())
            return false;
    }
    return true;
}

void check(const QList<Packet> &packets, bool pacedDatagrams)
{
    for (const Packet &p : packets) {
        if (p.data.size() > kMaxPayload || p.delayMs < 0 || p.delayMs > kMaxDelayMs)
            std::abort();
        if (p.transport == Transport::Internal) {
            if (pacedDatagrams || p.ip != QLatin1String("127.0.0.1") || p.port != 0)
                std::abort();
            continue;
        }
        if (p.port == 0 || !dottedQuad(p.ip))
            std::abort();
        if (pacedDatagrams && p.delayMs != 5)
            std::abort();
    }
}

int dataLines(const QStringList &blocks)
{
    int n = 0;
    for (const QString &block : blocks) {
        for (const auto &line : commandLines(block))
            n += line.first == QLatin1String("Data");
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const double sliderValues[] = {200.0, 0.5, -1.0, -200.7, 65794.0, 1e300, -1e300,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(), 0.0};

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    QStringList blocks = text.split(QLatin1Char('\f'));
    while (blocks.size() > 8)
        blocks.removeLast();

    const QList<Packet> button = buttonPackets(blocks);
    check(button, false);
    if (button.size() > dataLines(blocks))
        std::abort();

    const double value = sliderValues[size ? data[0] % (sizeof sliderValues / sizeof *sliderValues) : 0];
    const QList<Packet> slider = sliderPackets(blocks.first(), value);
    check(slider, true);
    for (const Packet &p : slider) {
        if (p.transport != Transport::Udp)
            std::abort();
    }
    if (slider.size() > dataLines({blocks.first()}))
        std::abort();
    const QString hex = sliderHex(value);
    if (hex.size() != 4 || hex != hex.toLower() || decodeHexText(hex).size() != 2)
        std::abort();

    const QList<Packet> matrix = matrixPackets(blocks.first(), blocks.value(1), blocks.value(2));
    check(matrix, true);
    if (matrix.size() > dataLines({blocks.first()}))
        std::abort();

    const QJsonObject event = QJsonDocument::fromJson(blocks.last().toUtf8()).object();
    if (!event.isEmpty()) {
        const Event e = buttonEvent(event.toVariantMap(), {});
        check(e.packets, false);
        if (e.packets.size() > 1 || (!e.packets.isEmpty() && e.kind != Event::Kind::Send) || e.delayMs < 0
            || e.delayMs > kMaxDelayMs)
            std::abort();
        bool storesState = true;
        const QList<Packet> sent = sliderEventPackets(event, value, &storesState);
        check(sent, true);
        if (sent.size() > 1 || (!storesState && !sent.isEmpty()))
            std::abort();
    }
    return 0;
}
