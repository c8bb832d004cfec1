#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace testing_support {

namespace {

std::string RunningTest()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr)
        return "(outside any test)";
    return std::string(info->test_suite_name()) + "." + info->name();
}

} // namespace

Watchdog::Watchdog(std::string what, int seconds) : Watchdog(std::move(what), seconds, nullptr) {}

Watchdog::Watchdog(std::string what, int seconds, std::function<void()> rescue)
    : test_(RunningTest()), rescue_(std::move(rescue)), what_(std::move(what)), seconds_(seconds),
      armed_(std::chrono::steady_clock::now()), deadline_(armed_ + std::chrono::seconds(seconds))
{
    thread_ = std::thread([this] { Watch(); });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        disarmed_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void Watchdog::Rearm(std::string what, int seconds)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = std::move(what);
        seconds_ = seconds;
        armed_ = std::chrono::steady_clock::now();
        deadline_ = armed_ + std::chrono::seconds(seconds);
    }
    cv_.notify_all();
}

bool Watchdog::fired() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
}

// The watchdog's own thread: sleeps until the deadline (which Rearm may move), then rescues
// once or ends the process.
void Watchdog::Watch()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto deadline = deadline_;
        cv_.wait_until(lock, deadline, [&] { return disarmed_ || deadline_ != deadline; });
        if (disarmed_)
            return;
        if (deadline_ != deadline || std::chrono::steady_clock::now() < deadline_)
            continue; // re-armed, or woken early
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::steady_clock::now() - armed_)
                                .count();
        if (rescue_ && !fired_) {
            fired_ = true;
            std::fprintf(stderr, "[ WATCHDOG ] %s: still waiting after %lld s for %s; rescuing\n",
                         test_.c_str(), static_cast<long long>(waited), what_.c_str());
            deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_);
            lock.unlock();
            rescue_();
            lock.lock();
            continue;
        }
        std::fflush(stdout);
        std::fprintf(stderr,
                     "[ WATCHDOG ] %s: still waiting after %lld s for %s; ending the test run\n",
                     test_.c_str(), static_cast<long long>(waited), what_.c_str());
        std::fflush(stderr);
        std::_Exit(3);
    }
}

namespace {

Watchdog *g_testWatchdog = nullptr; // the running test's watchdog; test thread only

class WatchEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override
    {
        dog_ = std::make_unique<Watchdog>("the test to end (no narrower watchdog covered the wait)",
                                          kTestWatchdogSeconds);
        g_testWatchdog = dog_.get();
    }
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        g_testWatchdog = nullptr;
        dog_.reset();
    }
    std::unique_ptr<Watchdog> dog_;
};

} // namespace

void WatchEveryTest()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new WatchEachTest);
}

void RearmTestWatchdog(std::string what, int seconds)
{
    if (g_testWatchdog != nullptr)
        g_testWatchdog->Rearm(std::move(what), seconds);
}

} // namespace testing_support
