#include "ops/Gate.h"

#include <utility>

namespace ops {

Gate::Gate(GateWaiting waiting) : waiting_(std::move(waiting)) {}

bool Gate::Enter()
{
    inside_.fetch_add(1);
    if (!shut_.load())
        return true;
    Leave();
    return false;
}

// Only a wait looks at the count, and only after the gate is shut: waking on every callback
// would cost the hook dearly while the owner waits for something else.
void Gate::Leave()
{
    if (inside_.fetch_sub(1) != 1 || !shut_.load())
        return;
    if (waiting_.wake) {
        waiting_.wake();
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    cv_.notify_all();
}

void Gate::Open()
{
    shut_.store(false);
}

void Gate::Shut()
{
    shut_.store(true);
}

void Gate::WaitUntilNoneInside()
{
    if (waiting_.wait) {
        waiting_.wait([this] { return !Busy(); });
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return !Busy(); });
}

} // namespace ops
