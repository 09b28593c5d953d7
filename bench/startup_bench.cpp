// startup_bench KORA BASELINE RUNS
// Starts each program RUNS times, alternating, each in a fresh working directory, and
// measures the time from process start to its "first frame" line on stderr and the peak
// resident memory one second later (the login page, for the client). Prints medians and
// the ratio of the client to the baseline, a bare Qt Quick window started the same way.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Sample {
    double startMs = -1;
    double peakMb = -1;
};

double peakResidentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

Sample runOnce(const QString &program)
{
    Sample sample;
    QTemporaryDir dir;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, QStringList());
    if (!process.waitForStarted(5000))
        return sample;
    QByteArray err;
    while (timer.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(50);
        err += process.readAllStandardError();
        if (err.contains("first frame")) {
            sample.startMs = double(timer.nsecsElapsed()) / 1e6;
            break;
        }
    }
    if (sample.startMs >= 0) {
        QThread::msleep(1000);
        sample.peakMb = peakResidentMb(process.processId());
    } else {
        std::fprintf(stderr, "%s: no first frame; stderr:\n%s\n", qPrintable(program), err.constData());
    }
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
    return sample;
}

double median(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench KORA BASELINE [RUNS]\n");
        return 2;
    }
    const QString kora = QString::fromLocal8Bit(argv[1]);
    const QString baseline = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;

    runOnce(baseline); // warm the file cache for both, unmeasured
    runOnce(kora);
    std::vector<double> koraMs, koraMb, baseMs, baseMb;
    for (int i = 0; i < runs; ++i) {
        const Sample b = runOnce(baseline);
        const Sample k = runOnce(kora);
        baseMs.push_back(b.startMs);
        baseMb.push_back(b.peakMb);
        koraMs.push_back(k.startMs);
        koraMb.push_back(k.peakMb);
        std::printf("run %d: baseline %.0f ms %.1f MB, kora %.0f ms %.1f MB\n", i + 1, b.startMs,
                    b.peakMb, k.startMs, k.peakMb);
    }
    const double kms = median(koraMs), bms = median(baseMs), kmb = median(koraMb), bmb = median(baseMb);
    std::printf("start-up to first frame, median of %d: kora %.0f ms, baseline %.0f ms, ratio %.2f (target < 1500 ms)\n",
                runs, kms, bms, bms > 0 ? kms / bms : 0.0);
    std::printf("peak memory at the login page, median of %d: kora %.1f MB, baseline %.1f MB, ratio %.2f (target < 120 MB)\n",
                runs, kmb, bmb, bmb > 0 ? kmb / bmb : 0.0);
    return kms > 0 ? 0 : 1;
}
