#include "platform/system/ProcessSignals.h"

#include <atomic>
#include <csignal>

#include <sys/types.h>
#include <unistd.h>

namespace QuillPlatform {

namespace {

std::atomic<bool> g_close{false};
std::atomic<bool> g_raise{false};
static_assert(std::atomic<bool>::is_always_lock_free, "flags are set from signal handlers");

void OnCloseSignal(int) { g_close.store(true, std::memory_order_relaxed); }
void OnRaiseSignal(int) { g_raise.store(true, std::memory_order_relaxed); }

void Install(int sig, void (*fn)(int))
{
    struct sigaction sa {};
    sa.sa_handler = fn;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
}

} // namespace

void InstallRequestSignals()
{
    Install(SIGINT, OnCloseSignal);
    Install(SIGTERM, OnCloseSignal);
    Install(SIGHUP, OnCloseSignal);
    Install(SIGUSR1, OnRaiseSignal);
}

bool ConsumeCloseRequest() { return g_close.exchange(false, std::memory_order_relaxed); }
bool ConsumeRaiseRequest() { return g_raise.exchange(false, std::memory_order_relaxed); }
bool SendTerminationSignal() { return kill(getpid(), SIGTERM) == 0; }
void RequestClose() { g_close.store(true); }
void RequestRaise() { g_raise.store(true); }

} // namespace QuillPlatform
