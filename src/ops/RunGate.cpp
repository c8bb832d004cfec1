#include "ops/RunGate.h"

namespace ops {

bool RunGate::Enter()
{
    inside_.fetch_add(1);
    if (!shut_.load())
        return true;
    Leave();
    return false;
}

void RunGate::Leave()
{
    if (inside_.fetch_sub(1) == 1 && shut_.load()) {
        std::lock_guard<std::mutex> lock(mutex_);
        cv_.notify_all();
    }
}

void RunGate::Open()
{
    shut_.store(false);
}

void RunGate::Shut()
{
    shut_.store(true);
}

void RunGate::WaitUntilNoneInside()
{
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return inside_.load() == 0; });
}

} // namespace ops
