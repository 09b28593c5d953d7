// download_bench PACKAGE_DIR [RUNS]: the client downloading a package from kora-lab (run on
// the client side of scripts/with-lab), against a bare receive loop of the same datagrams
// in the same run; then the same download with 5% seeded loss; peak resident memory.
#include "app/client.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/labclient.h"

namespace {
using labclient::control;
QString labHost() { return labclient::peerAddress(10); }

struct PackageEntry { QString name; qint64 size; };
QList<PackageEntry> package(const QString &dir)
{
    QList<PackageEntry> files;
    QFile manifest(dir + "/files.txt");
    if (!manifest.open(QIODevice::ReadOnly))
        return files;
    for (const QByteArray &line : manifest.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line.split(' ').value(0));
        if (!name.isEmpty() && name != "kvm.jui")
            files.append({name, QFileInfo(dir + "/" + name).size()});
    }
    return files;
}

// ms from the first file request to the end of the download, through the real client.
double clientDownload()
{
    // On tmpfs where there is one: the figure is the client's, not the writeback of a
    // virtual disk that the runs before left dirty.
    const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/download_bench-XXXXXX"));
    QDir::setCurrent(dir.path());
    kora::app::Client api;
    QElapsedTimer clock;
    qint64 started = -1;
    QObject::connect(&api, &ImServerApi::callDownProgress, [&](const QString &file, float) {
        if (started < 0 && !file.startsWith("Scan"))
            started = clock.elapsed();
    });
    QSignalSpy message(&api, &ImServerApi::callLoginMsgError);
    QSignalSpy login(&api, &ImServerApi::callQmlLogin);
    // The package analysis begins once every file is in: the end of the download.
    qint64 downloaded = -1;
    QObject::connect(&api, &ImServerApi::callQmlLoad, [&] {
        if (downloaded < 0)
            downloaded = clock.elapsed();
    });
    clock.start();
    api.ServerLogin("admin", "Admin#2024", qEnvironmentVariable("KORA_LAB_CLIENT_IP"), QString(), QString());
    while (message.isEmpty() && login.isEmpty() && clock.elapsed() < 120000)
        QTest::qWait(5);
    if (!message.isEmpty())
        std::printf("  (the login ended with: %s)\n", qPrintable(message.last().first().toString()));
    else if (!login.isEmpty() && !login.last().first().toBool())
        std::printf("  (the login failed)\n");
    bool all = !api.download().files().isEmpty();
    for (const auto &f : api.download().files())
        all = all && f.upToDate;
    if (!all)
        return -1;
    // The scan window ends with the first request; its progress signal comes with the first fragments.
    return started < 0 || downloaded < 0 ? -1 : double(downloaded - started);
}

// The same requests answered into a socket that only counts datagrams.
double bareLoop(const QList<PackageEntry> &files)
{
    QUdpSocket receiver, command;
    receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    receiver.bind(QHostAddress::AnyIPv4, 54322, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    command.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    for (const PackageEntry &f : files) {
        const int expected = int(qMax<qint64>(1, (f.size + 6999) / 7000));
        command.writeDatagram("{DownloadFile;1;" + f.name.toUtf8() + ";" + qEnvironmentVariable("KORA_LAB_CLIENT_IP").toLatin1()
                                  + ",54322,7000,1000}", QHostAddress(labHost()), 41234);
        int got = 0;
        QElapsedTimer quiet;
        quiet.start();
        while (got < expected && quiet.elapsed() < 300) {
            if (!receiver.waitForReadyRead(20))
                continue;
            while (receiver.hasPendingDatagrams()) {
                receiver.receiveDatagram(65536);
                ++got;
            }
            last = clock.elapsed();
            quiet.restart();
        }
    }
    return double(last);
}

double peakMb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("KORA_BENCH_TRACE"))
        qputenv("QT_LOGGING_RULES", "kora.*.debug=false");
    QApplication app(argc, argv);
    const QList<PackageEntry> files = package(argc > 1 ? argv[1] : "");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    qint64 total = 0, largest = 0;
    for (const PackageEntry &f : files) {
        total += f.size;
        largest = std::max(largest, f.size);
    }
    std::vector<double> client, bare, lossy, shuffled;
    for (int i = 0; i < runs; ++i) {
        control({{"cmd", "faults"}, {"reset", true}, {"set", QJsonObject{}}});
        client.push_back(clientDownload());
        bare.push_back(bareLoop(files));
        std::printf("run %d: client %.0f ms, bare receive loop %.0f ms\n", i + 1, client.back(), bare.back());
        std::fflush(stdout);
    }
    const double peak = peakMb(); // before the bare loop has run more, the client is the peak
    // 5% loss with 1% duplicates: a burst in order (the gaps are asked for when it ends) and a
    // reordered one (only the silence tells that it ended).
    for (bool reorder : {false, true}) {
        for (int i = 0; i < runs; ++i) {
            control({{"cmd", "faults"}, {"reset", true}, {"set", QJsonObject{{"dropFraction", 0.05}, {"seed", 11 + i}, {"duplicateFraction", 0.01}, {"reorder", reorder}}}});
            (reorder ? shuffled : lossy).push_back(clientDownload());
            std::printf("run %d: client at 5%% loss%s %.0f ms\n", i + 1, reorder ? ", reordered" : "", (reorder ? shuffled : lossy).back());
            std::fflush(stdout);
        }
    }
    const double c = median(client), b = median(bare), l = median(lossy), r = median(shuffled);
    std::printf("package %.1f MB in %d files (largest %.1f MB), median of %d:\n", total / 1e6, int(files.size()), largest / 1e6, runs);
    std::printf("  0%% loss: client %.0f ms, bare receive loop %.0f ms, ratio %.2f (target at most 1.5)\n", c, b, b > 0 ? c / b : 0);
    std::printf("  5%% loss: client %.0f ms, %.2f times the 0%% time (target under 3)\n", l, c > 0 ? l / c : 0);
    std::printf("  5%% loss, reordered: client %.0f ms, %.2f times the 0%% time\n", r, c > 0 ? r / c : 0);
    std::printf("  peak resident memory %.0f MB; limit twice the largest file plus 100 MB = %.0f MB\n", peak, 2 * largest / 1048576.0 + 100);
    return 0;
}
