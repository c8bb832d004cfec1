// The live display's transfer statistics window, reached by right click on the picture: its
// counts against the frames the display copied and the library's hook calls, frames lost for
// want of a request, and closing it (and the display) while frames arrive.
#include "NtscTestSupport.h"

#include "tools/TransferStatsDlg.h"

#include <atomic>
#include <thread>

using namespace ntsc_test;
using Field = TransferStatsDlg::Field;

namespace {

TransferStatsDlg &OpenFromMenu(CNtscViewDlg &dlg)
{
    EXPECT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_PICTURE, "転送統計..."));
    TransferStatsDlg *window = dlg.TransferStatsWindow();
    EXPECT_NE(window, nullptr);
    return *window;
}

// Lets n live frames happen and waits, pumping, until they have left the hook.
void Step(int n)
{
    SimStep(n);
    std::atomic<bool> idle{false};
    std::thread waiter([&] {
        SimWaitIdle(10000);
        idle = true;
    });
    EXPECT_TRUE(fw::test::WaitUntil([&] { return idle.load(); }, 12000));
    waiter.join();
    fw::PumpEventsFor(60);
}

TEST_F(NtscViewTest, TransferStatisticsCountEveryFrame)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        ASSERT_TRUE(fw::test::Click(dlg, IDC_START));
        TransferStatsDlg &stats = OpenFromMenu(dlg);
        Step(6);
        stats.Refresh(true);
        EXPECT_EQ(dlg.Capture().FramesCopied(), 6u);
        EXPECT_EQ(stats.FieldText(Field::Frames), "6");
        EXPECT_EQ(stats.FieldText(Field::Deliveries), "6");
        EXPECT_EQ(stats.FieldText(Field::Lines), std::to_string(6 * 480));
        EXPECT_EQ(stats.FieldText(Field::LibraryHookCalls), "6");
        EXPECT_EQ(stats.FieldText(Field::NoRequest), "0");
        // Rows of the scan tool's alone are not shown.
        EXPECT_FALSE(stats.HasField(Field::SizeErrors));
        EXPECT_FALSE(stats.HasField(Field::TotalLostRuns));
    });
}

// Every request the display issues is answered but never queued: each frame is lost.
TEST_F(NtscViewTest, TransferStatisticsShowLostFrames)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        SimInjectResult(SIM_OP_ImageRequest, 0, -1);
        ASSERT_TRUE(fw::test::Click(dlg, IDC_START));
        TransferStatsDlg &stats = OpenFromMenu(dlg);
        Step(3);
        stats.Refresh(true);
        EXPECT_EQ(stats.FieldText(Field::Frames), "0");
        EXPECT_EQ(stats.FieldText(Field::NoRequest), "3");
        SimClearInjections();
    });
}

TEST_F(NtscViewTest, TransferStatisticsCloseWhileFramesArrive)
{
    Run([&](CNtscViewDlg &dlg) {
        ASSERT_TRUE(fw::test::Click(dlg, IDC_START));
        TransferStatsDlg &stats = OpenFromMenu(dlg);
        ASSERT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= 3; }, 10000));
        fw::PumpEventsFor(300);
        stats.Refresh(true);
        EXPECT_NE(stats.FieldText(Field::Frames), "0");
        stats.Close();
        fw::PumpEventsFor(100);
        EXPECT_FALSE(stats.IsVisible());
        OpenFromMenu(dlg);
        fw::PumpEventsFor(100);
        // The display closes with its statistics window open and frames still coming.
        fw::test::PressEscape(dlg);
        EXPECT_EQ(dlg.TransferStatsWindow(), nullptr);
    });
}

} // namespace
