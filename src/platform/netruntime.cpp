#include "platform/netruntime.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace kora::platform {
namespace {
std::atomic<bool> g_started{false};

void stopNetworking()
{
#ifdef _WIN32
    WSACleanup();
#endif
    g_started = false;
}
} // namespace

bool startNetworking()
{
    if (g_started.exchange(true))
        return true;
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0) {
        g_started = false;
        return false;
    }
#endif
    std::atexit(stopNetworking);
    return true;
}

bool networkingStarted()
{
    return g_started;
}

} // namespace kora::platform
