// button_latency: from a designed button's invocation (or a KVM pointer move) to the
// datagram's arrival at the equipment, against a bare sendto of the same kind of bytes from
// the same process, interleaved.
//   button_latency receive PORT COUNT OUT       (device side: timestamps each arrival into OUT)
//   button_latency send IP PORT COUNT IN [kvm]  (client side: presses or moves, then reads IN)
// Both sides read the same realtime clock, so arrival minus invocation is the latency. Run by
// scripts/bench-button and scripts/bench-kvm inside the lab network.
#include "app/client.h"
#include "devices/devicecommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
qint64 nowMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

int receive(quint16 port, int count, const char *out)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        std::perror("bind");
        return 1;
    }
    timeval timeout{20, 0}; // the sender never takes this long between presses
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    QFile file(QString::fromLocal8Bit(out));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    char buffer[256];
    for (int i = 0; i < count; ++i) {
        const ssize_t n = recv(fd, buffer, sizeof buffer - 1, 0);
        const qint64 at = nowMicros();
        if (n <= 0)
            break;
        // In hex: a KVM packet holds any byte.
        file.write(QByteArray(buffer, int(n)).toHex() + ' ' + QByteArray::number(at) + '\n');
    }
    file.close();
    QFile::rename(file.fileName(), file.fileName() + ".done");
    close(fd);
    return 0;
}

int send(const QString &ip, quint16 port, int count, const QString &in, bool kvm)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    kora::app::Client api; // not logged in: a designed button needs no login
    QTest::qWait(300);

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, ip.toLatin1().constData(), &to.sin_addr);

    // By the bytes' hex: which were bare, and when each left.
    std::map<QByteArray, std::pair<bool, qint64>> sent;
    for (int i = 0; i < count; ++i) {
        // A seat without a signal record takes the port-80 layout; even x bare, odd x the client's.
        const QByteArray bare = kvm ? kora::devices::mousePacket(QString(), 1, 2 * i, 0) : "B" + QByteArray::number(i);
        sent[bare.toHex()] = {true, nowMicros()};
        sendto(fd, bare.constData(), size_t(bare.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        QThread::usleep(500);

        if (kvm) {
            sent[kora::devices::mousePacket(QString(), 1, 2 * i + 1, 0).toHex()] = {false, nowMicros()};
            api.serverKVMMouseEvent(ip, 1, 2 * i + 1, 0, 0);
        } else {
            const QByteArray pressed = "K" + QByteArray::number(i);
            const QStringList block{QStringLiteral("IP=%1\r\nPort=%2\r\nTcp=0\r\nHex=0\r\nData=%3")
                                        .arg(ip).arg(port).arg(QString::fromLatin1(pressed))};
            sent[pressed.toHex()] = {false, nowMicros()};
            api.ServerButtonCmd(block);
        }
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }
    close(fd);

    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(in + ".done") && wait.elapsed() < 30000)
        QTest::qWait(50);
    QFile file(in + ".done");
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no arrivals recorded\n");
        return 1;
    }
    std::vector<double> bareMs, buttonMs;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        const auto it = parts.size() == 2 ? sent.find(parts[0]) : sent.end();
        if (it == sent.end())
            continue;
        (it->second.first ? bareMs : buttonMs).push_back((parts[1].toLongLong() - it->second.second) / 1000.0);
    }
    const char *what = kvm ? "kvm move" : "button";
    std::printf("%ss: %d each; arrived: bare %zu, client %zu\n", what, count, bareMs.size(), buttonMs.size());
    std::printf("bare sendto:   median %.3f ms, p99 %.3f ms\n", percentile(bareMs, 0.5), percentile(bareMs, 0.99));
    std::printf("%-13s  median %.3f ms, p99 %.3f ms\n", kvm ? "kvm move:" : "button press:", percentile(buttonMs, 0.5),
                percentile(buttonMs, 0.99));
    std::printf("median difference: %.3f ms (target: within 1 ms)\n", percentile(buttonMs, 0.5) - percentile(bareMs, 0.5));
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc == 5 && QByteArray(argv[1]) == "receive")
        return receive(quint16(atoi(argv[2])), atoi(argv[3]), argv[4]);
    const bool kvm = argc == 7 && QByteArray(argv[6]) == "kvm";
    if ((argc != 6 && !kvm) || QByteArray(argv[1]) != "send") {
        std::fprintf(stderr, "usage: button_latency receive PORT COUNT OUT | send IP PORT COUNT IN [kvm]\n");
        return 2;
    }
    QApplication app(argc, argv);
    return send(QString::fromLatin1(argv[2]), quint16(atoi(argv[3])), atoi(argv[4]), QString::fromLocal8Bit(argv[5]), kvm);
}
