#include "video/datagramsocket.h"

#include "video/previewassembler.h"

#include <QNetworkInterface>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kora::video {
namespace {
sockaddr_in endpoint(const QHostAddress &address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address.toIPv4Address());
    return a;
}

ip_mreq membership(const QHostAddress &group)
{
    ip_mreq m{};
    m.imr_multiaddr.s_addr = htonl(group.toIPv4Address());
    m.imr_interface.s_addr = htonl(INADDR_ANY);
    return m;
}
} // namespace

DatagramSocket::DatagramSocket(QObject *parent)
    : QObject(parent)
{
}

DatagramSocket::~DatagramSocket()
{
    close();
}

bool DatagramSocket::open(const QHostAddress &address, quint16 port, int receiveBuffer, QString *error)
{
    close();
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };
    if (address.protocol() != QAbstractSocket::IPv4Protocol || port == 0) {
        if (error)
            *error = QStringLiteral("not an IPv4 stream address");
        return false;
    }
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return fail("socket");
    const int yes = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    QHostAddress local = address;
    if (address.isMulticast())
        m_group = address;
    else if (!QNetworkInterface::allAddresses().contains(address))
        local = QHostAddress(QHostAddress::AnyIPv4);
    const sockaddr_in at = endpoint(local, port);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0)
        return fail("bind");
    m_joined = m_group.isNull();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DatagramSocket::readyRead);
    return true;
}

void DatagramSocket::close()
{
    leave();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_group = QHostAddress();
}

bool DatagramSocket::join()
{
    if (m_fd < 0)
        return false;
    if (m_joined)
        return true;
    const ip_mreq m = membership(m_group);
    m_joined = ::setsockopt(m_fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) == 0;
    return m_joined;
}

void DatagramSocket::leave()
{
    if (m_fd < 0 || m_group.isNull() || !m_joined)
        return;
    const ip_mreq m = membership(m_group);
    ::setsockopt(m_fd, IPPROTO_IP, IP_DROP_MEMBERSHIP, &m, sizeof m);
    m_joined = false;
}

int DatagramSocket::read(int max, const std::function<void(const char *, int)> &take)
{
    // Several datagrams a system call: a wake-up costs more than the copying, and a
    // stream's frame arrives as a burst. The buffers serve every socket of the thread.
    constexpr int kPerCall = 16;
    struct Batch {
        QByteArray bytes{kPerCall * (kMaxDatagram + 1), Qt::Uninitialized};
        iovec io[kPerCall];
        mmsghdr headers[kPerCall] = {}; // the kernel writes only msg_len and the flags
        Batch()
        {
            for (int i = 0; i < kPerCall; ++i) {
                io[i] = {bytes.data() + qptrdiff(i) * (kMaxDatagram + 1), size_t(kMaxDatagram + 1)};
                headers[i].msg_hdr.msg_iov = &io[i];
                headers[i].msg_hdr.msg_iovlen = 1;
            }
        }
    };
    thread_local Batch batch;
    int n = 0;
    while (m_fd >= 0 && n < max) {
        const int want = qMin(kPerCall, max - n);
        const int got = ::recvmmsg(m_fd, batch.headers, unsigned(want), MSG_DONTWAIT, nullptr);
        if (got <= 0)
            break; // EAGAIN: nothing more now
        for (int i = 0; i < got && m_fd >= 0; ++i) {
            ++n;
            take(static_cast<const char *>(batch.io[i].iov_base), int(batch.headers[i].msg_len));
        }
        if (got < want)
            break; // drained; the notifier tells of the next
    }
    return n;
}

bool DatagramSocket::send(const QByteArray &data, const QHostAddress &to, quint16 port)
{
    if (m_fd < 0)
        return false;
    const sockaddr_in a = endpoint(to, port);
    return ::sendto(m_fd, data.constData(), size_t(data.size()), 0, reinterpret_cast<const sockaddr *>(&a), sizeof a)
        == data.size();
}

int DatagramSocket::receiveBufferSize() const
{
    int size = 0;
    socklen_t length = sizeof size;
    return m_fd >= 0 && ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 ? size : 0;
}

} // namespace kora::video
