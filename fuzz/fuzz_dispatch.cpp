// Replies on the command socket come from anyone on the network: whatever arrives, the
// dispatcher stays within its bounds, names only known walls and keeps its matrix table.
#include "dispatch/replies.h"

#include <QHostAddress>
#include <QJsonArray>

#include <cmath>
#include <cstdlib>

using namespace kora::dispatch;

namespace {

const QStringList kWalls{"1", "2"};

bool finite(const QVariant &value)
{
    bool ok = false;
    const double d = value.toString().toDouble(&ok);
    return ok && std::isfinite(d);
}

void checkWindow(const QVariantMap &window)
{
    for (const char *key : {"src_ip", "url", "x", "y", "w", "h", "type"}) {
        if (!window.contains(QLatin1String(key)))
            std::abort();
    }
    for (const char *key : {"x", "y", "w", "h"}) {
        if (!finite(window.value(QLatin1String(key))))
            std::abort();
    }
}

void check(const QList<Action> &actions, const State &before, const State &after)
{
    if (after.matrixPresets.keys() != before.matrixPresets.keys())
        std::abort();
    int blocks = 0;
    for (const Action &a : actions) {
        switch (a.kind) {
        case Kind::AddBlock:
            ++blocks;
            checkWindow(a.map);
            [[fallthrough]];
        case Kind::ClearBlock:
            if (!kWalls.contains(a.wallId) && a.wallId != QLatin1String(kAnyWall))
                std::abort();
            break;
        case Kind::AddScenes:
            if (a.ids.size() != a.names.size() || a.ids.size() > kMaxScenesPerMessage)
                std::abort();
            [[fallthrough]];
        case Kind::GetWindowsSoon:
        case Kind::GetScenesSoon:
        case Kind::RefreshScene:
        case Kind::CycleGroups:
            if (!kWalls.contains(a.wallId))
                std::abort();
            break;
        case Kind::SendGetWindows100:
            if (QHostAddress(a.wallId).protocol() != QAbstractSocket::IPv4Protocol)
                std::abort();
            break;
        case Kind::ScenesMsg: {
            const QJsonArray scenes = a.object.value(QLatin1String("scene_array")).toArray();
            if (scenes.size() > kMaxScenesPerMessage || !kWalls.contains(a.object.value(QLatin1String("panel_id")).toString()))
                std::abort();
            int windows = 0;
            for (const QJsonValue &scene : scenes) {
                const QJsonArray sceneBlocks = scene.toObject().value(QLatin1String("scene_blocks")).toArray();
                windows += sceneBlocks.size();
                for (const QJsonValue &b : sceneBlocks)
                    checkWindow(b.toObject().toVariantMap());
            }
            if (windows > kMaxWindowsPerReply)
                std::abort();
            break;
        }
        case Kind::SignalTree:
        case Kind::SignalTreePage:
        case Kind::SnapUrls:
            if (a.list.size() > kMaxTreeEntries)
                std::abort();
            for (const QVariant &entry : a.list) {
                if (entry.toMap().value(QStringLiteral("id")).toString().isEmpty())
                    std::abort();
            }
            break;
        default:
            break;
        }
    }
    if (blocks > kMaxWindowsPerReply)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<kora::SignalRecord> signalList{
        {"Input 1", "10.0.0.30", false, "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "", ""}};
    static const Context context = [] {
        Context c;
        c.signalList = &signalList;
        c.walls = {{"1", {"10.0.0.20", "10.0.0.21"}}, {"2", {"10.0.0.24-1"}}};
        c.selPanel = "1";
        c.localIp = "10.0.0.1";
        return c;
    }();
    const State initial{{{"mx", {"Morning*&_0_1"}}, {"my", {}}}};

    const QByteArray datagram(reinterpret_cast<const char *>(data), int(size));
    for (const char *sender : {"10.0.0.24", "10.0.0.1"}) {
        State state = initial;
        const QList<Action> actions = dispatchDatagram(datagram, QLatin1String(sender), context, state);
        check(actions, initial, state);
        // Nothing but the datagram and the state decides: the same input gives the same actions.
        State again = initial;
        if (dispatchDatagram(datagram, QLatin1String(sender), context, again) != actions)
            std::abort();
    }
    return 0;
}
