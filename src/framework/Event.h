// Kernel stand-ins: unnamed auto-reset events with wait-for-any.
#pragma once

#include <initializer_list>

namespace fw {

class AutoResetEvent {
public:
    // Who waits for the event. Any: a pumping wait on the UI thread may look at it, so Set
    // wakes such waits too. WorkersOnly: only worker threads wait for it (WaitForAny, Wait), so
    // Set leaves the UI thread asleep; for an event set at frame rate.
    enum class Waiters { Any, WorkersOnly };

    explicit AutoResetEvent(Waiters waiters = Waiters::Any) : waiters_(waiters) {}
    AutoResetEvent(const AutoResetEvent &) = delete;
    AutoResetEvent &operator=(const AutoResetEvent &) = delete;

    void Set();
    void Reset();
    bool Wait(int timeoutMs = -1); // true when signalled (and consumed), false on time-out

private:
    friend int WaitForAny(std::initializer_list<AutoResetEvent *>, int);
    const Waiters waiters_;
    bool signalled_ = false; // guarded by the events' shared mutex
};

// Waits until one of the events is signalled; consumes that signal and returns its index,
// the lowest signalled one first. -1 on time-out. timeoutMs -1: no limit.
int WaitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs = -1);

} // namespace fw
