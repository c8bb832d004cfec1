// Helpers for the live display tests: a fixture that runs the dialog modally with an action
// inside, journal filters and a watchdog that ends a wait that would otherwise hang.
#pragma once

#include "common/BoardSession.h"
#include "display/NtscViewDlg.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "overlayctl.h"
#include "res/Resources.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace ntsc_test {

using namespace res::ntsc;

constexpr std::uint32_t kFrameBytes = CNtscViewDlg::kFrameBytes;

class NtscViewTest : public testing_support::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        OverlaySimReset();
    }
    void TearDown() override
    {
        SimSetStepMode(0);
        DialogTest::TearDown();
        OverlaySimReset();
    }
    // Runs the dialog modally; the action runs inside the modal run, then Escape closes it
    // (unless the action has closed it already).
    void Run(const std::function<void(CNtscViewDlg &)> &action)
    {
        CNtscViewDlg dlg;
        dlg.m_hBoard = board->handle();
        fw::test::WhenShown(res::IDD_NTSC_VIEW, [&](fw::Dialog &) {
            action(dlg);
            if (dlg.IsModalRunning())
                fw::test::PressEscape(dlg);
        });
        dlg.DoModal();
        EXPECT_EQ(g_pNtscViewDlg.load(), nullptr);
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &box : sinks.boxes->boxes())
            texts.push_back(box.text);
        return texts;
    }
};

// Journal entries from `from` on.
inline std::vector<SimCall> JournalFrom(std::size_t from)
{
    std::vector<SimCall> all = testing_support::Journal();
    if (from >= all.size())
        return {};
    return std::vector<SimCall>(all.begin() + std::ptrdiff_t(from), all.end());
}

inline std::size_t CountOp(const std::vector<SimCall> &calls, int op)
{
    std::size_t n = 0;
    for (const SimCall &c : calls)
        n += c.op == op ? 1 : 0;
    return n;
}

// Calls `onTimeout` from another thread when not disarmed within `seconds`, so a test that
// would deadlock fails instead.
class Watchdog {
public:
    Watchdog(int seconds, std::function<void()> onTimeout)
        : thread_([this, seconds, onTimeout = std::move(onTimeout)] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return disarmed_; })) {
                  fired_ = true;
                  lock.unlock();
                  onTimeout();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            disarmed_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    bool fired()
    {
        std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    std::mutex mutex_; // guards disarmed_, fired_
    std::condition_variable cv_;
    bool disarmed_ = false;
    bool fired_ = false;
    std::thread thread_;
};

} // namespace ntsc_test
