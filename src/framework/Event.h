// Kernel stand-ins: unnamed auto-reset events with wait-for-any.
#pragma once

#include <initializer_list>

namespace fw {

class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent &) = delete;
    AutoResetEvent &operator=(const AutoResetEvent &) = delete;

    void Set();
    void Reset();
    bool Wait(int timeoutMs = -1); // true when signalled (and consumed), false on time-out

private:
    friend int WaitForAny(std::initializer_list<AutoResetEvent *>, int);
    bool signalled_ = false; // guarded by the events' shared mutex
};

// Waits until one of the events is signalled; consumes that signal and returns its index,
// the lowest signalled one first. -1 on time-out. timeoutMs -1: no limit.
int WaitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs = -1);

} // namespace fw
