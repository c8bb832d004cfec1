#include "check/Interrupt.h"

#include <atomic>
#include <csignal>

namespace check {
namespace {

std::atomic<int> g_signal{0};      // the first signal; set by the signal handler, lock-free
std::atomic<bool> g_holding{false}; // reports being written; read by the signal handler
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void OnSignal(int signal)
{
    int none = 0;
    if (g_signal.compare_exchange_strong(none, signal) || g_holding.load())
        return;
    // A second signal while the checks run: the default way out, at once.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGHUP, SIGTERM})
        sigaddset(&action.sa_mask, s);
    action.sa_flags = 0;
    for (int s : {SIGINT, SIGHUP, SIGTERM})
        sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() { return g_signal.load() != 0; }
int InterruptSignal() { return g_signal.load(); }

const char *SignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    case SIGTERM: return "SIGTERM";
    default: return "signal";
    }
}

void HoldSignals(bool hold) { g_holding.store(hold); }
void RequestInterrupt(int signal) { g_signal.store(signal); }
void ClearInterrupt()
{
    g_signal.store(0);
    g_holding.store(false);
}

} // namespace check
