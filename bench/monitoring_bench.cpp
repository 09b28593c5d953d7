// Client CPU of node monitoring and level listening against kora-lab: 20 watched nodes
// (polled every 5 s) and 10 level listeners polling every 200 ms, against the same process
// doing nothing for the same time, measured in one run. Prints the added CPU as a share of
// one core, median of the rounds.
//   monitoring_bench CLIENT_IP DEVICE_NET (e.g. 10.77.1) [SECONDS (10)] [ROUNDS (3)]
#include "levels/listenthread.h"
#include "nodes/qnodequery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds per second while the event loop runs for `ms`.
double cpuShare(int ms)
{
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: monitoring_bench CLIENT_IP DEVICE_NET [SECONDS] [ROUNDS]\n");
        return 2;
    }
    const QHostAddress client(QString::fromLatin1(argv[1]));
    const QString net = QString::fromLatin1(argv[2]);
    const int ms = (argc > 3 ? std::atoi(argv[3]) : 10) * 1000;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;
    int values = 0, answers = 0;

    std::vector<double> idle, busy;
    for (int round = 0; round < rounds; ++round) {
        idle.push_back(cpuShare(ms));

        QNodeControl nodes(client);
        QObject::connect(&nodes, &QNodeControl::querySysMsg, [&answers] { ++answers; });
        // The lab's eight decoders and twelve encoders (.30 to .41).
        for (int host = 20; host < 28; ++host)
            nodes.insertMemToQuery(net + QLatin1Char('.') + QString::number(host), 1);
        for (int host = 30; host < 42; ++host)
            nodes.insertMemToQuery(net + QLatin1Char('.') + QString::number(host), 0);
        kora::levels::Listeners listeners;
        QObject::connect(&listeners, &kora::levels::Listeners::value, [&values] { ++values; });
        for (int i = 0; i < 10; ++i) {
            const QString channel = QString::number(i + 1);
            listeners.add(QStringLiteral("level-%1").arg(i),
                          {{"ip", net + QStringLiteral(".8")}, {"port", 9000}, {"data", "{GetLevel;" + channel + "}"}, {"time", 200}},
                          {{"port", 9020 + i}, {"type", "ASCII"}, {"data", "{Level;" + channel + ";$L}"}, {"key", "$L"},
                           {"protocol", "Udp"}});
        }
        busy.push_back(cpuShare(ms));
        listeners.stopAll();
        nodes.shutdown();
    }
    const double added = median(busy) - median(idle);
    std::printf("idle: %.3f%% of a core; with 20 watched nodes and 10 listeners at 200 ms: %.3f%%; added %.3f%% "
                "(target under 2%%); medians of %d rounds of %d s\n",
                median(idle) * 100, median(busy) * 100, added * 100, rounds, ms / 1000);
    std::printf("level values received: %d; node answers: %d\n", values, answers);
    return values > 0 && answers > 0 ? 0 : 1;
}
