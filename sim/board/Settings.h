// Machine-wide settings of the simulator: installed boards, rates, step mode, counters.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace sim {

constexpr uint32_t kMaxBoards = 16;
constexpr double kDefaultFrameRate = 30.0;
constexpr double kLiveFrameRate = 30000.0 / 1001.0; // 29.97

class Settings {
public:
    static Settings &instance();

    void reset();
    void setInstalled(uint32_t index, bool on);
    void setDuplicated(uint32_t index, bool on);
    bool installed(uint32_t index);
    bool duplicated(uint32_t index);

    void setFrameRate(double fps);
    void setLineRate(double lps); // < 0: follow the frame rate
    double frameRate();
    double lineRate();
    void setLiveRate(double fps); // <= 0: the default again
    double liveRate();

    std::atomic<uint64_t> hookCalls{0};

private:
    std::mutex mutex_; // guards everything below
    bool installed_[kMaxBoards]{};
    bool duplicated_[kMaxBoards]{};
    double frameRate_ = kDefaultFrameRate;
    double lineRate_ = -1.0;
    double liveRate_ = kLiveFrameRate;
};

// Step mode: capture events wait for permission; tests wait until allowed events are done.
class StepGate {
public:
    static StepGate &instance();

    void reset();
    void setOn(bool on);
    bool on();
    void allow(int events);
    // Engine thread: waits for one permitted event, until `stop` becomes true (checked under the
    // gate's lock; whoever sets the condition calls wake()) or the deadline passes. A taken event
    // counts as in flight until done() or giveBack().
    enum class Take { Taken, Stopped, TimedOut };
    Take take(const std::function<bool()> &stop,
              const std::chrono::steady_clock::time_point *deadline);
    void giveBack(); // a taken event that could not be used
    void wake();
    // The event taken by take() is over (hook returned or nothing was delivered).
    void done();
    // Waits until nothing is in flight and either no permission is left or nothing could use it.
    bool waitIdle(uint32_t timeoutMs, const std::function<bool()> &anyActive);

private:
    std::mutex mutex_; // guards on_, allowed_, inFlight_
    std::condition_variable cv_;
    bool on_ = false;
    int64_t allowed_ = 0;
    int64_t inFlight_ = 0;
};

} // namespace sim
