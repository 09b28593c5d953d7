// Command replies come from anyone: only known walls, bounded, decided by datagram and state alone.
#include "dispatch/replies.h"

#include <cstdlib>

using namespace kora::dispatch;

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
        State state = initial, again = initial;
        const QList<Action> actions = dispatchDatagram(datagram, QLatin1String(sender), context, state);
        if (dispatchDatagram(datagram, QLatin1String(sender), context, again) != actions)
            std::abort();
        if (state.matrixPresets.keys() != initial.matrixPresets.keys() || actions.size() > kMaxWindowsPerReply + 1)
            std::abort();
        for (const Action &a : actions) {
            const bool named = a.wallId == QLatin1String("1") || a.wallId == QLatin1String("2");
            if ((a.kind == Kind::AddBlock || a.kind == Kind::ClearBlock) && !named && a.wallId != QLatin1String(kAnyWall))
                std::abort();
            if ((a.kind == Kind::AddScenes || a.kind == Kind::GetWindowsSoon || a.kind == Kind::RefreshScene) && !named)
                std::abort();
            if (a.ids.size() != a.names.size() || a.ids.size() > kMaxScenesPerMessage || a.list.size() > kMaxTreeEntries)
                std::abort();
        }
    }
    return 0;
}
