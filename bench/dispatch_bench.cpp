// dispatch_bench [RUNS]: replies per second through the controller's reply handling (parse,
// model changes, signals connected to nothing) over a mix of 100,000 replies shaped like a
// busy installation's, against a bare split of the same texts at ";" in the same run.
// The controller binds its sockets and announces itself, so this runs inside the lab
// network (scripts/bench-dispatch).
#include "app/client.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kReplies = 100000;

struct Reply {
    QByteArray bytes;
    QString sender;
    const char *family;
};

QByteArray windowItem(int n, bool withId)
{
    QByteArray item = "10.1.0." + QByteArray::number(30 + n % 32) + ",udp://239.10.1." + QByteArray::number(30 + n % 32)
                      + ":5000," + QByteArray::number(n % 4 * 1920) + ',' + QByteArray::number(n / 4 % 4 * 1080)
                      + ",1920,1080";
    return withId ? item + ',' + QByteArray::number(n) + "_0" : item;
}

QByteArray windowList(const QByteArray &head, int count, int seed)
{
    QByteArray text = head;
    for (int i = 0; i < count; ++i)
        text += ';' + windowItem(seed + i, (seed + i) % 3 == 0);
    return text;
}

// One hundred replies in the proportions a wall screen sees: mostly window lists and
// control states, some acknowledgements, scene lists, clocks, encoder reports, a
// signal-tree page and a few replies that mean nothing to the client.
std::vector<Reply> mix()
{
    const QString decoder = QStringLiteral("10.1.0.20"), controller = QStringLiteral("10.1.0.2"),
                  encoder = QStringLiteral("10.1.0.30");
    std::vector<Reply> hundred;
    for (int i = 0; i < 30; ++i)
        hundred.push_back({'{' + windowList("GetWindows;1", 1 + i % 16, i) + '}', decoder, "window lists"});
    for (int i = 0; i < 5; ++i) {
        hundred.push_back({"{SetWindows;1}", decoder, "acknowledgements"});
        hundred.push_back({"{ResizeWindows;1}", decoder, "acknowledgements"});
        hundred.push_back({"{CallScene;1;scene" + QByteArray::number(i) + '}', decoder, "acknowledgements"});
    }
    for (int i = 0; i < 5; ++i) {
        QByteArray names = "{GetSceneNames;1";
        for (int s = 0; s < 10; ++s)
            names += ";scene" + QByteArray::number(s) + ",Scene " + QByteArray::number(s);
        hundred.push_back({names + '}', decoder, "scene names"});
        QByteArray scenes = "{GetScenes;1";
        for (int s = 0; s < 3; ++s)
            scenes += ";scene" + QByteArray::number(s) + ",Scene " + QByteArray::number(s) + ",{dock=1;0;"
                      + windowList("0", 4, s).mid(2) + '}';
        hundred.push_back({scenes + '}', decoder, "scene messages"});
    }
    for (int i = 0; i < 5; ++i) {
        hundred.push_back({"{SetStatus;B_button" + QByteArray::number(i) + "_1}", controller, "control states"});
        hundred.push_back({"{SetStatus;S_slider" + QByteArray::number(i) + "_" + QByteArray::number(i * 20) + '}', controller, "control states"});
        hundred.push_back({"{GetClientInfo;B_button" + QByteArray::number(i) + "_0}", controller, "control states"});
        hundred.push_back({"{GetClientInfo;S_slider" + QByteArray::number(i) + "_50}", controller, "control states"});
    }
    const QByteArray osd = QJsonDocument(QJsonObject{{"obj", "osd"}, {"id", "1"}, {"text", "Shift A"}, {"size", 32}})
                               .toJson(QJsonDocument::Compact);
    for (int i = 0; i < 5; ++i)
        hundred.push_back({"{GetClientInfo;\"" + osd + "\"}", controller, "control states"});
    for (int i = 0; i < 5; ++i)
        hundred.push_back({"{GetClockOsd;1;10,10,300,60,Day\\nTime,#000000,#ffffff,24;400,10,300,60,UTC,#000000,#ffffff,24}",
                           controller, "clocks"});
    for (int i = 0; i < 10; ++i)
        hundred.push_back({"[venc]\nip=10.1.0.30\nresolution=1920x1080\nfps=60\nbitrate=8000\naudio=on\n", encoder, "encoder reports"});
    QJsonArray entries;
    for (int s = 1; s <= 4; ++s)
        entries.append(QJsonObject{{"id", QString::number(s)}, {"name", QStringLiteral("Camera %1").arg(s)},
                                   {"url0", QStringLiteral("rtsp://10.1.0.%1/main").arg(40 + s)},
                                   {"url1", QStringLiteral("rtsp://10.1.0.%1/sub").arg(40 + s)},
                                   {"snapUrl", QStringLiteral("10.1.0.%1:19997").arg(40 + s)}, {"path", "Cameras"}});
    const QJsonObject page{{"code", 0}, {"response", "GetSignalResourcesTreePage"},
                           {"data", QJsonObject{{"total", 1}, {"index", 1}, {"list", entries}}}};
    hundred.push_back({QJsonDocument(page).toJson(QJsonDocument::Compact), controller, "signal tree"});
    hundred.push_back({"{Heartbeat;1}", controller, "dropped"});
    hundred.push_back({"{GetWindows;1;bad,geometry,x,y,w,h}", decoder, "dropped"});
    hundred.push_back({"{GetScenes;1;s,n,{{{}", decoder, "dropped"});
    hundred.push_back({"{GetWindows;9;" + windowItem(0, false) + '}', decoder, "dropped"}); // a wall the client does not know

    std::vector<Reply> all;
    all.reserve(kReplies);
    while (int(all.size()) < kReplies)
        all.insert(all.end(), hundred.begin(), hundred.end());
    all.resize(kReplies);
    return all;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "kora.*=false"); // the malformed replies of the mix would each log a line
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    kora::app::Client api;

    // The context of a logged-in client with one 2x2 wall and the encoders' signals.
    std::vector<kora::SignalRecord> signalList;
    for (int n = 30; n < 62; ++n) {
        kora::SignalRecord s;
        s.ip = QStringLiteral("10.1.0.%1").arg(n);
        s.mainUrl = QStringLiteral("udp://239.10.1.%1:5000").arg(n);
        s.subUrl = QStringLiteral("udp://239.10.2.%1:5000").arg(n);
        signalList.push_back(s);
    }
    kora::dispatch::Context context;
    context.signalList = &signalList;
    context.walls.append({QStringLiteral("1"), {"10.1.0.20", "10.1.0.21", "10.1.0.22", "10.1.0.23"}});
    context.selPanel = QStringLiteral("1");
    context.localIp = QStringLiteral("10.1.0.1");
    context.signalSources = QStringList{QStringLiteral("10.1.0.2")}; // the controller: its signal lists are taken

    qint64 fields = 0;
    // Replies per second (median of the runs) of the bare split and of the handling.
    auto measure = [&](const std::vector<Reply> &replies) {
        std::vector<double> handled, bare;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            for (const Reply &r : replies)
                fields += QString::fromUtf8(r.bytes).split(QLatin1Char(';'), Qt::KeepEmptyParts).size();
            bare.push_back(replies.size() / (clock.nsecsElapsed() / 1e9));
            clock.restart();
            for (const Reply &r : replies)
                api.handleReply(r.bytes, r.sender, context);
            handled.push_back(replies.size() / (clock.nsecsElapsed() / 1e9));
        }
        return std::make_pair(median(bare), median(handled));
    };

    const std::vector<Reply> replies = mix();
    const auto [b, h] = measure(replies);
    std::printf("replies: %d, runs: %d\n", kReplies, runs);
    std::printf("bare split at ';': %.0f replies/s (median)\n", b);
    std::printf("reply handling:    %.0f replies/s (median)\n", h);
    std::printf("ratio: %.2fx the bare split's time (target at most 5)\n", b / h);
    std::printf("by family (share of the mix, ratio):\n");
    QStringList families;
    for (const Reply &r : replies) {
        if (!families.contains(QLatin1String(r.family)))
            families.append(QLatin1String(r.family));
    }
    for (const QString &family : families) {
        std::vector<Reply> subset;
        for (const Reply &r : replies) {
            if (family == QLatin1String(r.family))
                subset.push_back(r);
        }
        const auto [fb, fh] = measure(subset);
        std::printf("  %-18s %5.1f%%  %6.2fx\n", qPrintable(family), 100.0 * subset.size() / replies.size(), fb / fh);
    }
    std::printf("(fields split: %lld)\n", static_cast<long long>(fields));
    return 0;
}
