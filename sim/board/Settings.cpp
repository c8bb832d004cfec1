#include "Settings.h"

#include <chrono>

namespace sim {

Settings &Settings::instance()
{
    static Settings settings;
    static std::once_flag once;
    std::call_once(once, [] { settings.reset(); });
    return settings;
}

void Settings::reset()
{
    std::lock_guard lock(mutex_);
    for (uint32_t i = 0; i < kMaxBoards; ++i) {
        installed_[i] = (i == 0);
        duplicated_[i] = false;
    }
    frameRate_ = kDefaultFrameRate;
    lineRate_ = -1.0;
    liveRate_ = kLiveFrameRate;
    hookCalls = 0;
}

void Settings::setInstalled(uint32_t index, bool on)
{
    std::lock_guard lock(mutex_);
    if (index < kMaxBoards)
        installed_[index] = on;
}

void Settings::setDuplicated(uint32_t index, bool on)
{
    std::lock_guard lock(mutex_);
    if (index < kMaxBoards)
        duplicated_[index] = on;
}

bool Settings::installed(uint32_t index)
{
    std::lock_guard lock(mutex_);
    return index < kMaxBoards && installed_[index];
}

bool Settings::duplicated(uint32_t index)
{
    std::lock_guard lock(mutex_);
    return index < kMaxBoards && duplicated_[index];
}

void Settings::setFrameRate(double fps)
{
    std::lock_guard lock(mutex_);
    frameRate_ = fps > 0 ? fps : 0.0;
}

void Settings::setLineRate(double lps)
{
    std::lock_guard lock(mutex_);
    lineRate_ = lps;
}

double Settings::frameRate()
{
    std::lock_guard lock(mutex_);
    return frameRate_;
}

double Settings::lineRate()
{
    std::lock_guard lock(mutex_);
    return lineRate_;
}

void Settings::setLiveRate(double fps)
{
    std::lock_guard lock(mutex_);
    liveRate_ = fps > 0 ? fps : kLiveFrameRate;
}

double Settings::liveRate()
{
    std::lock_guard lock(mutex_);
    return liveRate_;
}

StepGate &StepGate::instance()
{
    static StepGate gate;
    return gate;
}

void StepGate::reset()
{
    std::lock_guard lock(mutex_);
    on_ = false;
    allowed_ = 0;
    inFlight_ = 0;
    cv_.notify_all();
}

void StepGate::setOn(bool on)
{
    std::lock_guard lock(mutex_);
    on_ = on;
    if (!on)
        allowed_ = 0;
    cv_.notify_all();
}

bool StepGate::on()
{
    std::lock_guard lock(mutex_);
    return on_;
}

void StepGate::allow(int events)
{
    std::lock_guard lock(mutex_);
    if (events > 0)
        allowed_ += events;
    cv_.notify_all();
}

StepGate::Take StepGate::take(const std::function<bool()> &stop,
                              const std::chrono::steady_clock::time_point *deadline)
{
    std::unique_lock lock(mutex_);
    auto ready = [&] { return stop() || !on_ || allowed_ > 0; };
    if (deadline != nullptr) {
        if (!cv_.wait_until(lock, *deadline, ready))
            return Take::TimedOut;
    } else {
        cv_.wait(lock, ready);
    }
    if (stop())
        return Take::Stopped;
    if (on_)
        --allowed_;
    ++inFlight_;
    return Take::Taken;
}

void StepGate::giveBack()
{
    std::lock_guard lock(mutex_);
    if (inFlight_ > 0)
        --inFlight_;
    if (on_)
        ++allowed_;
    cv_.notify_all();
}

void StepGate::wake()
{
    std::lock_guard lock(mutex_);
    cv_.notify_all();
}

void StepGate::done()
{
    std::lock_guard lock(mutex_);
    if (inFlight_ > 0)
        --inFlight_;
    cv_.notify_all();
}

bool StepGate::waitIdle(uint32_t timeoutMs, const std::function<bool()> &anyActive)
{
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (inFlight_ == 0 && (allowed_ == 0 || !anyActive()))
            return true;
        // anyActive() reads board state that does not notify this gate: poll it now and then.
        if (cv_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                        std::chrono::milliseconds(5))) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= deadline)
            return inFlight_ == 0 && (allowed_ == 0 || !anyActive());
    }
}

} // namespace sim
