#pragma once
// Reachability of designed equipment by ICMP echo ("ping" as a docker's request).
//
// A raw socket needs CAP_NET_RAW. Without it Linux still lets a process ping through a
// datagram ICMP socket when its group is inside net.ipv4.ping_group_range; the kernel then
// writes the identifier itself (the socket's bound "port") and hands back the ICMP message
// without the IP header. When neither socket can be made the answer is 0 and one line says why.
#include <QByteArray>
#include <QHostAddress>

namespace kora::levels {

constexpr int kEchoSize = 40;         // 8 bytes header, "FlushHip", 24 zero bytes
constexpr int kEchoTimeoutMs = 500;

// The Internet checksum: one's-complement sum of the 16-bit big-endian words (an odd last
// byte padded with zero), folded and inverted.
quint16 internetChecksum(const QByteArray &bytes);

// An echo request (type 8, code 0) with its checksum filled in.
QByteArray echoRequest(quint16 identifier, quint16 sequence);

// The identifier a listener's thread uses: the low 16 bits of id + (id >> 16).
quint16 echoIdentifier(quint64 threadId);

// A process-wide sequence number, one per request.
quint16 nextEchoSequence();

// True when `packet` is the echo reply (type 0, code 0) to our request. A raw socket hands
// over the IP header in front of the ICMP message (`withIpHeader`); a datagram socket does not.
bool isEchoReply(const QByteArray &packet, bool withIpHeader, quint16 identifier, quint16 sequence);

enum class EchoSocket { Raw, Datagram, None };

// Sends one echo request to `address` and waits up to `timeoutMs` for its reply: 1 when it
// came, 0 otherwise. `prefer` Datagram skips the raw socket (tests of the fallback); `used`
// tells which socket it was.
int ping(const QHostAddress &address, quint16 identifier, quint16 sequence, int timeoutMs = kEchoTimeoutMs,
         EchoSocket prefer = EchoSocket::Raw, EchoSocket *used = nullptr);

} // namespace kora::levels
