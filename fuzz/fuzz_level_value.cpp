// Level replies and echo replies come from anyone: cuts in bounds, text and HEX values in range, only true echoes.
// Input: reply template, form feed, key, form feed, reply bytes.
#include "levels/icmpecho.h"
#include "levels/levelvalue.h"

#include <cmath>
#include <cstdlib>

using namespace kora::levels;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int first = input.indexOf('\f');
    const int second = first < 0 ? -1 : input.indexOf('\f', first + 1);
    const QString templ = QString::fromLatin1(first < 0 ? input : input.left(first));
    const QString key = first < 0 ? QString() : QString::fromLatin1(input.mid(first + 1, second < 0 ? -1 : second - first - 1));
    const QByteArray reply = second < 0 ? input : input.mid(second + 1);

    const Cut cut = cutFor(templ, key);
    if (cut.prefix < 0 || cut.suffix < 0 || cut.prefix + cut.suffix > templ.size())
        std::abort();
    if (templ.contains(key) && !key.isEmpty() && cut.prefix + key.size() + cut.suffix != templ.size())
        std::abort();

    const Reading text = readReply(reply, false, cut);
    if (text.text.size() > reply.size())
        std::abort();
    bool ok = false;
    const double number = text.text.toDouble(&ok);
    const bool inRange = ok && std::isfinite(number) && std::trunc(number) >= -2147483648.0 && std::trunc(number) <= 2147483647.0;
    if (inRange ? text.value != int(std::trunc(number)) : text.value != 0)
        std::abort();

    const Reading hex = readReply(reply, true, cut);
    if (hex.value < -32768 || hex.value > 32767 || hex.text != QString::number(hex.value))
        std::abort();

    primingRequest(templ);
    // The reply bytes as an ICMP message, with and without an IP header in front.
    isEchoReply(reply, true, 0x4242, 7);
    if (isEchoReply(reply, false, 0x4242, 7)
        && (reply.size() < 8 || reply[0] != 0 || reply.mid(4, 4) != QByteArray::fromHex("42420007")))
        std::abort();
    // Our own request is never taken for its reply.
    if (isEchoReply(echoRequest(0x4242, 7), false, 0x4242, 7) || internetChecksum(echoRequest(quint16(size), 7)) != 0)
        std::abort();
    return 0;
}
