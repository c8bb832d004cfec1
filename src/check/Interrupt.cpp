#include "check/Interrupt.h"

#include <atomic>
#include <csignal>

namespace check {
namespace {

std::atomic<int> g_interrupted{0}; // set by the signal handler; lock-free
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int) { g_interrupted.store(1); }

} // namespace

void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // a second signal takes the default way out
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted.load() != 0; }
void RequestInterrupt() { g_interrupted.store(1); }
void ClearInterrupt() { g_interrupted.store(0); }

} // namespace check
