// The door between the board library's callback threads and whatever they call into (a tool, a
// window-less run, the checker's sink): callbacks come in only while the door is open and are
// counted in and out, so that the owner can shut it, wait until no callback is inside, and only
// then touch what the callbacks wrote or free what they may hold a pointer into.
//
// How the owner waits is handed in: on the UI thread a wait that keeps pumping events (a callback
// may be waiting for the UI thread in a box or a send), elsewhere the gate's condition variable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace ops {

struct GateWaiting {
    // Returns once done() answers true; called on the owner's thread.
    std::function<void(const std::function<bool()> &done)> wait;
    // Any thread: the condition of a wait may have changed.
    std::function<void()> wake;
};

class Gate {
public:
    Gate() = default;                 // waits on its own condition variable
    explicit Gate(GateWaiting waiting); // waits as handed in (both members set)
    Gate(const Gate &) = delete;
    Gate &operator=(const Gate &) = delete;

    // Callback threads. Enter answers false when the gate is shut (then no Leave follows).
    bool Enter();
    void Leave();

    // The owner's thread.
    void Open();
    void Shut();
    // After Shut: returns once no callback is inside.
    void WaitUntilNoneInside();

    bool IsOpen() const { return !shut_.load(); }
    bool Busy() const { return inside_.load() != 0; } // any thread

private:
    // Sequentially consistent: a callback that counted itself in after Shut sees the gate shut,
    // and one that counted itself in before is seen by the wait.
    std::atomic<std::uint32_t> inside_{0};
    std::atomic<bool> shut_{true};
    GateWaiting waiting_;        // empty: the condition variable below
    std::mutex mutex_;           // guards nothing but the wake-up below (no lost notification)
    std::condition_variable cv_; // the last callback left a shut gate
};

// Enters on construction, leaves on destruction when it got in.
class GateVisit {
public:
    explicit GateVisit(Gate &gate) : gate_(gate), inside_(gate.Enter()) {}
    ~GateVisit()
    {
        if (inside_)
            gate_.Leave();
    }
    GateVisit(const GateVisit &) = delete;
    GateVisit &operator=(const GateVisit &) = delete;
    bool inside() const { return inside_; }

private:
    Gate &gate_;
    const bool inside_;
};

} // namespace ops
