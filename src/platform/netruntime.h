#pragma once
// The socket runtime of the platform. Windows needs WSAStartup(2.2) before the first
// socket and WSACleanup at exit; POSIX systems need nothing, so these are no-ops there.
namespace kora::platform {

// Started once before main (static initialisation); cleanup is registered with atexit.
bool startNetworking();
bool networkingStarted();

} // namespace kora::platform
