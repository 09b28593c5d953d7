// The scene message is the most nested reply: brace split and scene parser stay in bounds.
#include "dispatch/replies.h"
#include "dispatch/tokenizer.h"

#include <QJsonArray>

#include <cstdlib>

using namespace kora::dispatch;

namespace {
// A piece of a balanced split never closes more braces than it opened.
bool balancedPiece(const QString &piece)
{
    int depth = 0;
    for (const QChar c : piece) {
        if (c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char('}') && --depth < 0)
            return false;
    }
    return depth == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<kora::SignalRecord> signalList{
        {"Input 1", "10.0.0.30", false, "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "", ""}};
    static const Context context = [] {
        Context c;
        c.signalList = &signalList;
        c.walls = {{"1", {"10.0.0.20"}}};
        return c;
    }();

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    bool balanced = false;
    const QStringList pieces = splitOutsideBraces(text, QLatin1Char(';'), &balanced);
    for (const QString &piece : pieces) {
        if (balanced && !balancedPiece(piece))
            std::abort();
    }

    const QJsonObject message = parseSceneMessage(QStringLiteral("1"), text.split(QLatin1Char(';')), context);
    if (!balanced && !message.isEmpty())
        std::abort();
    const QJsonArray scenes = message.value(QLatin1String("scene_array")).toArray();
    if (scenes.size() > kMaxScenesPerMessage)
        std::abort();
    int windows = 0;
    for (const QJsonValue &scene : scenes)
        windows += scene.toObject().value(QLatin1String("scene_blocks")).toArray().size();
    if (windows > kMaxWindowsPerReply)
        std::abort();
    return 0;
}
