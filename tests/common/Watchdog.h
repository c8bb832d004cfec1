// Ends a test run that would otherwise hang until the ctest time-out. A watchdog is armed around
// a wait the test cannot bound by itself (a modal run, a close that waits inside program code for
// a thread, a join); when the wait has not finished in time it prints which test waited for what
// and ends the process with status 3. Any thread may own one; GoogleTest only, no Qt.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// Seconds one wait may take: far beyond any wait that ends, short of the suite's time-out.
constexpr int kWatchdogSeconds = 20;
// Seconds a whole test may take under the watchdog the test main arms for every test.
constexpr int kTestWatchdogSeconds = 60;

class Watchdog {
public:
    // Ends the process unless destroyed within `seconds`. `what` completes "waiting for ...".
    explicit Watchdog(std::string what, int seconds = kWatchdogSeconds);
    // When the time is up, first runs `rescue` on the watchdog's thread (answering a held box,
    // say) so that the test can go on and fail by itself (fired() tells); ends the process only
    // when the test is still not done `seconds` later.
    Watchdog(std::string what, int seconds, std::function<void()> rescue);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    // The next wait under the same watchdog: a new description and a fresh time limit.
    void Rearm(std::string what, int seconds = kWatchdogSeconds);
    bool fired() const; // the rescue has run

private:
    void Watch(); // the watchdog's thread

    const std::string test_; // the test that armed it
    const std::function<void()> rescue_;
    std::thread thread_;       // runs Watch(); started by the constructor, joined by the destructor
    mutable std::mutex mutex_; // guards everything below
    std::condition_variable cv_;
    std::string what_;
    int seconds_;
    std::chrono::steady_clock::time_point armed_; // when the present wait began
    std::chrono::steady_clock::time_point deadline_;
    bool disarmed_ = false;
    bool fired_ = false;
};

// Arms a watchdog of kTestWatchdogSeconds around every test of this program (test main, after
// InitGoogleTest), so that a hang nobody foresaw still ends within a minute.
void WatchEveryTest();
// The running test's own watchdog, for a test that runs long by design: re-arms it per step.
// Test thread only; does nothing when WatchEveryTest was not called.
void RearmTestWatchdog(std::string what, int seconds = kTestWatchdogSeconds);

} // namespace testing_support
