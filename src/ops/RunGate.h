// The door between the board library's callback threads and a window-less run: callbacks come in
// only while the run is open and are counted in and out, so that the run can shut the door, wait
// until no callback is inside, and only then touch what the callbacks wrote or free the buffers
// they may hold a pointer into.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ops {

class RunGate {
public:
    // Callback threads. Enter answers false when the gate is shut (then no Leave follows).
    bool Enter();
    void Leave();

    // The run's thread.
    void Open();
    void Shut();
    void WaitUntilNoneInside();

private:
    // Sequentially consistent: a callback that counted itself in after Shut sees the gate shut,
    // and one that counted itself in before is seen by the wait.
    std::atomic<uint32_t> inside_{0};
    std::atomic<bool> shut_{true};
    std::mutex mutex_;           // guards nothing but the wake-up below (no lost notification)
    std::condition_variable cv_; // the last callback left a shut gate
};

// Enters on construction, leaves on destruction when it got in.
class RunGateVisit {
public:
    explicit RunGateVisit(RunGate &gate) : gate_(gate), inside_(gate.Enter()) {}
    ~RunGateVisit()
    {
        if (inside_)
            gate_.Leave();
    }
    RunGateVisit(const RunGateVisit &) = delete;
    RunGateVisit &operator=(const RunGateVisit &) = delete;
    bool inside() const { return inside_; }

private:
    RunGate &gate_;
    const bool inside_;
};

} // namespace ops
