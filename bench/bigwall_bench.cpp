// bigwall_bench: a background on a 5 x 4 wall of the lab (outputs .45 to .64), uploaded by the
// client's BackgroundUpload from start to the last output's base map, against the wire's own
// floor: per output the pause after the upload command and 10 ms per chunk between its two
// copies. Prints each run and the median ratio.
//   bigwall_bench DESTINATION_NET (e.g. 10.77.1) CLIENT_IP [RUNS (5)] [PIECE_KB (120)]
#include "upload/background.h"
#include "upload/uploader.h"
#include "upload/uploadprotocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kora;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bigwall_bench DESTINATION_NET CLIENT_IP [RUNS] [PIECE_KB]\n");
        return 2;
    }
    const QString net = QString::fromLatin1(argv[1]);
    const QString clientIp = QString::fromLatin1(argv[2]);
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    const int pieceKb = argc > 4 ? std::max(1, atoi(argv[4])) : 120;
    constexpr int kOutputs = 20;

    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        QList<upload::BackgroundPiece> pieces;
        qint64 floorMs = 0;
        for (int i = 0; i < kOutputs; ++i) {
            // Sizes vary as a real picture's pieces do.
            const int size = pieceKb * 1024 * (80 + int(QRandomGenerator::global()->bounded(41))) / 100;
            QByteArray bytes(size, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(QRandomGenerator::global()->generate());
            pieces.append({upload::backgroundTarget(QStringLiteral("%1.%2(0)").arg(net).arg(45 + i)), QSize(1920, 1080), bytes});
            floorMs += upload::kUnicastPauseMs + qint64(upload::chunkCount(size)) * upload::kCopyGapMs;
        }
        upload::UploadThread uploads;
        uploads.bindTo(clientIp);
        upload::BackgroundUpload backgrounds(uploads);
        int done = 0;
        QObject::connect(&backgrounds, &upload::BackgroundUpload::progress, [&done](int current, int) { done = current; });
        QElapsedTimer took;
        took.start();
        backgrounds.start(QStringLiteral("5"), pieces);
        while (done < kOutputs && took.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double ms = took.nsecsElapsed() / 1e6;
        if (done < kOutputs) {
            std::printf("run %d: only %d of %d outputs done\n", run + 1, done, kOutputs);
            return 1;
        }
        ratios.push_back(ms / double(floorMs));
        std::printf("run %d: %d outputs in %.0f ms, floor %lld ms, ratio %.3f\n", run + 1, kOutputs, ms,
                    static_cast<long long>(floorMs), ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("median ratio of %d runs: %.3f\n", runs, ratios[ratios.size() / 2]);
    return 0;
}
