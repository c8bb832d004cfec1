// Many open / start / stop / close cycles with random parameters and moments, on a board that
// delivers by itself. Meant for the thread sanitizer build; watchdogs fail any hang.
#include "ScanToolFixture.h"

#include "tools/DumpViewDlg.h"

#include <random>

using namespace scantest;

TEST_F(ScanToolTest, StressCyclesWithRandomParametersAndMoments)
{
    SimSetStepMode(0);
    SimSetFrameRate(400);
    SimSetLineRate(100000);
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    const int cycles = 120;
    int closes = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        // The test's watchdog limits each cycle, not the whole run (long under the sanitizers).
        testing_support::RearmTestWatchdog("stress cycle " + std::to_string(cycle) + " to end");
        if (!scan.IsWindow())
            Open();
        fw::test::SelectIndex(scan, IDC_SCAN_UNIT, pick(0, 1));
        fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, pick(0, 2));
        Type(IDC_LINES_PER_FRAME, std::to_string(pick(1, 300)));
        Type(IDC_PIXELS_PER_LINE, std::to_string(pick(1, 700)));
        Type(IDC_LINE_INT_INTERVAL, std::to_string(pick(0, 64)));
        Type(IDC_REQUEST_COUNT, std::to_string(pick(0, 4)));
        Type(IDC_START_COUNT, std::to_string(pick(0, 3)));
        Type(IDC_HOOK_SLEEP, std::to_string(pick(0, 3)));
        Click(pick(0, 1) ? IDC_BUFFER_AP : IDC_BUFFER_DRIVER);
        Click(pick(0, 1) ? IDC_HOOK_ISSUE_ON : IDC_HOOK_ISSUE_OFF);
        Click(pick(0, 3) ? IDC_ISSUE_BEFORE_START : IDC_ISSUE_AFTER_START);
        Click(IDC_START);
        fw::PumpEventsFor(pick(0, 40));
        switch (pick(0, 5)) {
        case 0:
            Click(IDC_FRAME_STOP);
            break;
        case 1:
            Click(IDC_LINE_STOP);
            break;
        case 2:
            Click(IDC_BUFFER_DRIVER); // the AP buffer goes while requests may point into it
            fw::PumpEventsFor(pick(0, 20));
            Click(IDC_FRAME_STOP);
            break;
        case 3:
            Click(IDC_FRAME_STOP);
            fw::test::WhenShown(res::IDD_DUMP_VIEW, [](fw::Dialog &dump) {
                fw::test::Click(dump, res::dumpview::IDC_SHOW);
                fw::test::PressEscape(dump);
            });
            if (!Click(IDC_DUMP_VIEW))
                fw::test::ClearWhenShown();
            break;
        default:
            ++closes;
            if (pick(0, 1))
                Click(fw::IDOK);
            else
                PressEscape();
            break;
        }
        fw::PumpEventsFor(pick(0, 10));
        if (scan.IsWindow() && !scan.IsDlgItemEnabled(IDC_START)) {
            ++closes;
            WindDown(); // a stop that failed: start over
        }
    }
    WindDown();
    fw::PumpEventsFor(20);
    EXPECT_GE(menu.closed.size(), std::size_t(closes)); // every close told the menu
    EXPECT_EQ(g_pRectScanDlg.load(), nullptr);
    EXPECT_FALSE(ScanToolBusy());
    EXPECT_GT(SimHookCalls(), 0u);
}
