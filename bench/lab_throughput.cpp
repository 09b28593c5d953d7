// lab_throughput: how fast kora-lab serves a package, against a plain sendto loop of the
// same fragment datagrams, both measured at a bare receiver on the client side.
//   --receive --package DIR --host IP --device-ns NS --self PATH [--rounds N]   (client side)
//   --send --package DIR --to IP                                               (device side)
// Time of a burst = first to last datagram at the receiver, summed over the files.
#include "peers/scannode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kFragment = 7000;

struct Burst {
    qint64 nanos = 0;
    qint64 bytes = 0;
    int datagrams = 0;
};

// Receives until `expected` datagrams came or 500 ms passed without any.
Burst receive(QUdpSocket &socket, int expected)
{
    Burst burst;
    QElapsedTimer clock;
    qint64 first = -1, last = -1;
    QElapsedTimer quiet;
    quiet.start();
    clock.start();
    while (burst.datagrams < expected && quiet.elapsed() < 500) {
        if (!socket.waitForReadyRead(50))
            continue;
        while (socket.hasPendingDatagrams()) {
            const qint64 size = socket.pendingDatagramSize();
            socket.receiveDatagram();
            last = clock.nsecsElapsed();
            if (first < 0)
                first = last;
            burst.bytes += size;
            ++burst.datagrams;
        }
        quiet.restart();
    }
    burst.nanos = first < 0 ? 0 : last - first;
    return burst;
}

int fragmentsOf(const lab::PackageFile &f) { return qMax(1, (f.bytes.size() + kFragment - 1) / kFragment); }

int sendLoop(const QList<lab::PackageFile> &files, const QString &to)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    int buffer = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(54322);
    ::inet_pton(AF_INET, to.toLatin1().constData(), &address.sin_addr);
    for (const lab::PackageFile &f : files) {
        // Composed first, like the lab does, so only the sending is compared.
        const quint32 total = quint32(fragmentsOf(f));
        std::vector<QByteArray> datagrams;
        for (quint32 n = 0; n < total; ++n)
            datagrams.push_back(lab::composeFragment(total, n, f.bytes.mid(int(n) * kFragment, kFragment)));
        for (const QByteArray &d : datagrams)
            ::sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::usleep(300000); // the receiver closes each file's burst on its own
    }
    ::close(fd);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    auto value = [&](const QString &key) { const int i = a.indexOf(key); return i > 0 && i + 1 < a.size() ? a.at(i + 1) : QString(); };
    QList<lab::PackageFile> files;
    QString error;
    if (!lab::loadPackage(value("--package"), files, &error)) {
        std::fprintf(stderr, "lab_throughput: %s\n", qPrintable(error));
        return 2;
    }
    if (a.contains("--send"))
        return sendLoop(files, value("--to"));

    QUdpSocket receiver, command;
    receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024 * 1024);
    if (!receiver.bind(QHostAddress::AnyIPv4, 54322, QUdpSocket::ShareAddress) || !command.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        std::fprintf(stderr, "lab_throughput: cannot bind\n");
        return 2;
    }
    receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024 * 1024);
    const QHostAddress host(value("--host"));
    const QString self = value("--self");
    const QString client = value("--client");
    const int rounds = qMax(1, value("--rounds").toInt());
    qint64 packageBytes = 0;
    int expected = 0;
    for (const lab::PackageFile &f : files) {
        packageBytes += f.bytes.size();
        expected += fragmentsOf(f);
    }
    std::vector<double> labMs, loopMs;
    int labLost = 0, loopLost = 0;
    for (int round = 0; round < rounds; ++round) {
        Burst lab;
        for (const lab::PackageFile &f : files) {
            command.writeDatagram("{DownloadFile;1;" + f.name.toUtf8() + ';' + client.toLatin1() + ",54322,7000,1000}", host, 41234);
            const Burst b = receive(receiver, fragmentsOf(f));
            lab.nanos += b.nanos;
            lab.bytes += b.bytes;
            lab.datagrams += b.datagrams;
        }
        QProcess sender;
        sender.start(QStringLiteral("ip"), {"netns", "exec", value("--device-ns"), self, "--send", "--package", value("--package"), "--to", client});
        Burst loop;
        for (const lab::PackageFile &f : files) {
            const Burst b = receive(receiver, fragmentsOf(f));
            loop.nanos += b.nanos;
            loop.bytes += b.bytes;
            loop.datagrams += b.datagrams;
        }
        sender.waitForFinished(30000);
        labMs.push_back(lab.nanos / 1e6);
        loopMs.push_back(loop.nanos / 1e6);
        labLost += expected - lab.datagrams;
        loopLost += expected - loop.datagrams;
        std::printf("round %d: kora-lab %.1f ms (%d of %d datagrams), sendto loop %.1f ms (%d of %d)\n", round + 1,
                    lab.nanos / 1e6, lab.datagrams, expected, loop.nanos / 1e6, loop.datagrams, expected);
        std::fflush(stdout);
    }
    const double l = median(labMs), b = median(loopMs);
    std::printf("serving %.1f MB in %d files, median of %d: kora-lab %.1f ms (%.0f MB/s), sendto loop %.1f ms (%.0f MB/s), "
                "ratio %.2f (target within 1.30); datagrams not received: kora-lab %d, loop %d\n",
                packageBytes / 1e6, int(files.size()), rounds, l, packageBytes / 1e3 / qMax(l, 0.001), b,
                packageBytes / 1e3 / qMax(b, 0.001), b > 0 ? l / b : 0.0, labLost, loopLost);
    return 0;
}
