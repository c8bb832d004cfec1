// Shared set-up for the scan tool tests: a stand-in main menu window that records
// WM_TOOL_CLOSED, the scan tool opened on a fresh simulated board, and helpers that step the
// board and let the UI thread catch up.
#pragma once

#include "common/BoardSession.h"
#include "common/Watchdog.h"
#include "app/BoardCallbacks.h"
#include "session/ToolProtocol.h"
#include "framework/Event.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolLink.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace scantest {

using namespace res::rectscan;
using testing_support::Watchdog;

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
        WindDown();
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
        WindDown();
        {
            Watchdog watchdog("the board to close before the tool is opened again");
            board.reset(); // the old session resets the simulator when it goes
        }
        board = std::make_unique<testing_support::BoardSession>();
        SimSetStepMode(1);
        SimJournalClear();
        Open();
    }

    // The handlers wait inside the program (a close for the hook and the worker, a dump view's
    // modal run), so each click runs under a watchdog.
    bool Click(int id)
    {
        Watchdog watchdog("the scan tool to handle a click on control " + std::to_string(id));
        return fw::test::Click(scan, id);
    }
    // The tool's whole close sequence, which waits for the hook and the worker.
    void WindDown()
    {
        Watchdog watchdog("the scan tool's wind-down (its close sequence) to end");
        scan.WindDown();
    }
    void PressEscape()
    {
        Watchdog watchdog("the scan tool to handle Escape");
        fw::test::PressEscape(scan);
    }
    void PressCloseBox()
    {
        Watchdog watchdog("the scan tool to handle its close box");
        fw::test::PressCloseBox(scan);
    }
    void Type(int id, std::string_view text) { fw::test::Type(scan, id, text); }
    std::string Log() const { return scan.GetDlgItemText(IDC_LOG); }

    // Lets n deliveries happen and waits, pumping, until they have left the hook and the UI
    // thread has taken what they handed over.
    void Step(int n)
    {
        SimStep(n);
        std::atomic<bool> idle{false};
        std::thread waiter([&] {
            SimWaitIdle(10000);
            idle = true;
        });
        EXPECT_TRUE(fw::test::WaitUntil([&] { return idle.load(); }, 12000))
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
        Watchdog watchdog("a callback run on a library thread to return");
        std::atomic<bool> done{false};
        std::thread t([&] {
            fn();
            done = true;
        });
        EXPECT_TRUE(fw::test::WaitUntil([&] { return done.load(); }, 10000))
            << "the callback has not returned";
        t.join();
        Settle();
    }

    MenuStub menu;
    fw::AutoResetEvent scanEvent;
    CRectScanDlg scan;
};

} // namespace scantest
