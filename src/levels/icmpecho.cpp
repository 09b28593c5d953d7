#include "levels/icmpecho.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QDeadlineTimer>
#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kora::levels {

quint16 internetChecksum(const QByteArray &bytes)
{
    quint32 sum = 0;
    const int n = bytes.size();
    for (int i = 0; i + 1 < n; i += 2)
        sum += (quint32(quint8(bytes[i])) << 8) | quint8(bytes[i + 1]);
    if (n % 2)
        sum += quint32(quint8(bytes[n - 1])) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

QByteArray echoRequest(quint16 identifier, quint16 sequence)
{
    QByteArray packet(kEchoSize, '\0');
    packet[0] = 8; // echo request; code 0
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xff);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xff);
    std::memcpy(packet.data() + 8, "FlushHip", 8);
    const quint16 sum = internetChecksum(packet);
    packet[2] = char(sum >> 8);
    packet[3] = char(sum & 0xff);
    return packet;
}

quint16 echoIdentifier(quint64 threadId)
{
    return quint16(threadId + (threadId >> 16));
}

quint16 nextEchoSequence()
{
    static std::atomic<quint16> counter{0};
    return ++counter;
}

bool isEchoReply(const QByteArray &packet, bool withIpHeader, quint16 identifier, quint16 sequence)
{
    int at = 0;
    if (withIpHeader) {
        if (packet.isEmpty() || (quint8(packet[0]) >> 4) != 4)
            return false;
        at = (quint8(packet[0]) & 0x0f) * 4;
        if (at < 20)
            return false;
    }
    if (packet.size() < at + 8)
        return false;
    const auto word = [&packet, at](int i) { return quint16((quint8(packet[at + i]) << 8) | quint8(packet[at + i + 1])); };
    return packet[at] == 0 && packet[at + 1] == 0 && word(4) == identifier && word(6) == sequence;
}

#ifdef Q_OS_UNIX
namespace {

void logNoSocketOnce(int error)
{
    static std::atomic_flag logged = ATOMIC_FLAG_INIT;
    if (!logged.test_and_set())
        KWARN(lcLevels) << "no ICMP socket (raw:" << std::strerror(error)
                        << "; datagram: not allowed by net.ipv4.ping_group_range?); every ping reports 0";
}

// A datagram ICMP socket takes the identifier from its bound port; when ours is taken the
// kernel picks one, which the reply then carries.
int openDatagram(quint16 *identifier)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return fd;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(*identifier);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        local.sin_port = 0;
        ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
    }
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) == 0)
        *identifier = ntohs(local.sin_port);
    return fd;
}

} // namespace

int ping(const QHostAddress &address, quint16 identifier, quint16 sequence, int timeoutMs, EchoSocket prefer,
         EchoSocket *used)
{
    if (used)
        *used = EchoSocket::None;
    bool ok = false;
    const quint32 target = address.toIPv4Address(&ok);
    if (!ok)
        return 0;

    int fd = -1;
    int rawError = EPERM;
    EchoSocket kind = EchoSocket::Raw;
    if (prefer == EchoSocket::Raw) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        rawError = errno;
    }
    if (fd < 0) {
        kind = EchoSocket::Datagram;
        fd = openDatagram(&identifier);
    }
    if (fd < 0) {
        logNoSocketOnce(rawError);
        return 0;
    }
    if (used)
        *used = kind;

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target);
    const QByteArray request = echoRequest(identifier, sequence);
    int reached = 0;
    if (::sendto(fd, request.constData(), size_t(request.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to)
        == request.size()) {
        // A raw socket sees every ICMP message of the host: read until ours or the deadline.
        const QDeadlineTimer deadline(timeoutMs);
        char buffer[1500];
        while (!reached) {
            pollfd p{fd, POLLIN, 0};
            const int left = int(deadline.remainingTime());
            if (left <= 0 || ::poll(&p, 1, left) <= 0)
                break;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length);
            if (n < 0)
                break;
            if (from.sin_addr.s_addr == to.sin_addr.s_addr
                && isEchoReply(QByteArray(buffer, int(n)), kind == EchoSocket::Raw, identifier, sequence))
                reached = 1;
        }
    }
    ::close(fd);
    return reached;
}
#else
int ping(const QHostAddress &, quint16, quint16, int, EchoSocket, EchoSocket *used)
{
    if (used)
        *used = EchoSocket::None;
    KWARN(lcLevels) << "ICMP echo is not built for this platform; ping reports 0";
    return 0;
}
#endif

} // namespace kora::levels
