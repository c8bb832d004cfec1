#include "EventQueue.h"

namespace sim {

void EventQueue::push(Event e)
{
    std::lock_guard lock(mutex_);
    events_.push_back(e);
    cv_.notify_all();
}

void EventQueue::clear()
{
    std::lock_guard lock(mutex_);
    events_.clear();
}

void EventQueue::stop()
{
    std::lock_guard lock(mutex_);
    events_.clear();
    stopped_ = true;
    cv_.notify_all();
}

std::optional<EventQueue::Event> EventQueue::wait()
{
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return stopped_ || !events_.empty(); });
    if (events_.empty())
        return std::nullopt; // stopping and nothing left
    const Event e = events_.front();
    events_.pop_front();
    return e;
}

} // namespace sim
