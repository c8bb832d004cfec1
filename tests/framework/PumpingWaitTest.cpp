// The UI thread's pumping wait sleeps until something happens and looks at its condition when
// the thread that changed it says so. Each case runs with notifications as the only early wake
// (fw::test::NotifiedWakesOnly); its watchdog ends a wait that a missing notification would
// leave asleep, and the case fails.
#include "framework/Event.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

// Runs change() on its own thread once the UI thread has looked at the condition twice, that
// is, when it is about to sleep or asleep.
class LateChange {
public:
    explicit LateChange(std::function<void()> change)
        : thread_([this, change = std::move(change)] {
              while (looks_.load() < 2)
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              std::this_thread::sleep_for(std::chrono::milliseconds(20));
              change();
          })
    {
    }
    ~LateChange() { thread_.join(); }
    void looked() { ++looks_; } // UI thread, from the condition

private:
    std::atomic<int> looks_{0};
    std::thread thread_;
};

} // namespace

TEST(PumpingWait, WakesWhenAnotherThreadNotifiesItsCondition)
{
    fw::test::NotifiedWakesOnly wakes;
    std::atomic<bool> flag{false};
    LateChange change([&] {
        flag = true;
        fw::NotifyUiWaiters();
    });
    EXPECT_TRUE(fw::PumpingWaitUntil([&] {
        change.looked();
        return flag.load();
    }));
    EXPECT_FALSE(wakes.watchdogFired());
}

TEST(PumpingWait, SettingAnEventWakesAWaitOnIt)
{
    fw::test::NotifiedWakesOnly wakes;
    fw::AutoResetEvent event;
    LateChange change([&] { event.Set(); });
    EXPECT_TRUE(fw::PumpingWaitUntil([&] {
        change.looked();
        return event.Wait(0);
    }));
    EXPECT_FALSE(wakes.watchdogFired());
}

TEST(PumpingWait, RunWhilePumpingReturnsWhenItsCallEnds)
{
    fw::test::NotifiedWakesOnly wakes;
    std::atomic<bool> ran{false};
    fw::RunWhilePumping([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ran = true;
    });
    EXPECT_TRUE(ran.load());
    EXPECT_FALSE(wakes.watchdogFired());
}

// Waits that end by themselves never wait for a notification: one round of events, a time-out,
// a pause, and work queued for the UI thread.
TEST(PumpingWait, RoundsTimeOutsAndQueuedWorkNeedNoNotification)
{
    fw::test::NotifiedWakesOnly wakes;
    int rounds = 0;
    EXPECT_TRUE(fw::PumpingWaitUntil([&] { return rounds++ > 0; }));
    EXPECT_FALSE(fw::PumpingWaitUntil([] { return false; }, 30));
    fw::PumpEventsFor(30);

    std::atomic<bool> ranOnUi{false};
    LateChange change([&] { fw::PostToUi([&] { ranOnUi = true; }); });
    EXPECT_TRUE(fw::PumpingWaitUntil([&] {
        change.looked();
        return ranOnUi.load();
    }));
    EXPECT_FALSE(wakes.watchdogFired());
}
