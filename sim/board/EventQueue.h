// Work for a board's event thread: ScanBufferFreeCallback and DspInterruptCallback, in the order
// they were raised. Kept apart from the deliveries so that a message box in one of these
// callbacks does not hold up the hook. Nothing the engine decides depends on this queue, so it
// has a lock of its own: a leaf lock, taken alone or under the board lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace sim {

class EventQueue {
public:
    struct Event {
        enum class Kind { BufferFree, DspInterrupt } kind;
        int32_t value; // bank or DSP status
    };

    void push(Event e);
    void clear();                // reset: raised events are forgotten
    void stop();                 // close: forgotten too, and wait() ends
    std::optional<Event> wait(); // event thread: the next event, none once stopped

private:
    std::mutex mutex_; // guards events_, stopped_
    std::condition_variable cv_;
    std::deque<Event> events_;
    bool stopped_ = false;
};

} // namespace sim
