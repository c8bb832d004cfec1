#include "framework/Event.h"

#include "framework/UiThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace fw {
namespace {
// One lock and one condition for all events: waits on several events at once stay simple, and
// the program has only a handful of events.
std::mutex &eventMutex() // guards every AutoResetEvent::signalled_
{
    static std::mutex m;
    return m;
}
std::condition_variable &eventCondition()
{
    static std::condition_variable c;
    return c;
}
} // namespace

void AutoResetEvent::Set()
{
    {
        std::lock_guard lock(eventMutex());
        signalled_ = true;
    }
    eventCondition().notify_all();
    if (waiters_ == Waiters::Any)
        NotifyUiWaiters(); // a pumping wait may be looking at this event
}

void AutoResetEvent::Reset()
{
    std::lock_guard lock(eventMutex());
    signalled_ = false;
}

bool AutoResetEvent::Wait(int timeoutMs)
{
    return WaitForAny({this}, timeoutMs) == 0;
}

int WaitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs)
{
    std::unique_lock lock(eventMutex());
    auto firstSignalled = [&]() -> int {
        int index = 0;
        for (AutoResetEvent *e : events) {
            if (e->signalled_) {
                e->signalled_ = false;
                return index;
            }
            ++index;
        }
        return -1;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int index = firstSignalled();
        if (index >= 0)
            return index;
        if (timeoutMs < 0) {
            eventCondition().wait(lock);
        } else if (eventCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            return firstSignalled();
        }
    }
}

} // namespace fw
