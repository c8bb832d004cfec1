// Shared set-up for the scan tool tests: a stand-in main menu window that records
// WM_TOOL_CLOSED, the scan tool opened on a fresh simulated board, and helpers that step the
// board and let the UI thread catch up.
#pragma once

#include "common/BoardSession.h"
#include "app/BoardCallbacks.h"
#include "session/ToolProtocol.h"
#include "framework/Event.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scantest {

using namespace res::rectscan;

// Fails the whole run when a test hangs (a deadlock would otherwise wait for the ctest limit).
class Watchdog {
public:
    explicit Watchdog(int seconds, const char *what) : what_(what)
    {
        thread_ = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                std::fprintf(stderr, "watchdog: %s hung\n", what_);
                std::_Exit(3);
            }
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    const char *what_;
    std::mutex mutex_; // guards done_
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Receives the tools' close notifications, as the main menu does.
class MenuStub : public fw::Dialog {
public:
    MenuStub() : fw::Dialog(res::IDD_MAIN_MENU)
    {
        OnMessage(WM_TOOL_CLOSED, [this](std::uintptr_t w, std::intptr_t) {
            closed.push_back(unsigned(w));
            return std::intptr_t(1);
        });
    }
    std::vector<unsigned> closed;
};

class ScanToolTest : public testing_support::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        SimSetStepMode(1);
        menu.Create();
        Open();
    }
    void TearDown() override
    {
        scan.WindDown();
        menu.DestroyWindow();
        DialogTest::TearDown();
    }

    void Open()
    {
        scan.m_hBoard = board->handle();
        scan.m_hScanEvent = &scanEvent;
        scan.m_hMenuWnd = menu.GetSafeHwnd();
        ASSERT_TRUE(scan.Create());
    }
    // A fresh board and a fresh window on the same tool object.
    void Reopen()
    {
        scan.WindDown();
        board.reset(); // the old session resets the simulator when it goes
        board = std::make_unique<testing_support::BoardSession>();
        SimSetStepMode(1);
        SimJournalClear();
        Open();
    }

    bool Click(int id) { return fw::test::Click(scan, id); }
    void Type(int id, std::string_view text) { fw::test::Type(scan, id, text); }
    std::string Log() const { return scan.GetDlgItemText(IDC_LOG); }

    // Lets n deliveries happen and waits, pumping, until they have left the hook and the UI
    // thread has taken what they handed over.
    void Step(int n)
    {
        SimStep(n);
        std::atomic<bool> idle{false};
        std::thread waiter([&] {
            SimWaitIdle(20000);
            idle = true;
        });
        EXPECT_TRUE(fw::test::WaitUntil([&] { return idle.load(); }, 25000))
            << "hook calls " << SimHookCalls() << ", scan running " << SimScanRunning() << ", log:\n"
            << Log();
        EXPECT_TRUE(SimScanRunning() || SimHookCalls() != 0)
            << "no scan ran; boxes: " << sinks.boxes->count()
            << (sinks.boxes->count() ? " first: " + sinks.boxes->boxes()[0].text : std::string());
        waiter.join();
        Settle();
    }
    // Long enough for a queued wake and a paced picture refresh.
    static void Settle() { fw::PumpEventsFor(60); }

    // Runs fn on a thread of its own, as the board library runs its callbacks, pumping meanwhile.
    static void OnLibraryThread(const std::function<void()> &fn)
    {
        std::atomic<bool> done{false};
        std::thread t([&] {
            fn();
            done = true;
        });
        EXPECT_TRUE(fw::test::WaitUntil([&] { return done.load(); }, 20000));
        t.join();
        Settle();
    }

    MenuStub menu;
    fw::AutoResetEvent scanEvent;
    CRectScanDlg scan;
};

} // namespace scantest
