// Stop, close, the exclusive right and the board's event notifications, as a user meets them.
#include "ScanToolFixture.h"

#include "app/BoardCallbacks.h"

#include <QTimer>
#include <gmock/gmock.h>

using namespace scantest;
using testing::EndsWith;
using testing::HasSubstr;
using testing_support::JournalOf;

TEST_F(ScanToolTest, StopResults)
{
    ASSERT_TRUE(Click(IDC_START));
    Type(IDC_STOP_TIMEOUT, "250");

    SimInjectResult(SIM_OP_ScanCancel, 0x120, 1);
    ASSERT_TRUE(Click(IDC_FRAME_STOP));
    EXPECT_TRUE(sinks.boxes->contains("既にキャンセル処理を実行中です。"));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_START));
    SimInjectResult(SIM_OP_ScanCancel, 9, 1);
    ASSERT_TRUE(Click(IDC_LINE_STOP));
    EXPECT_TRUE(sinks.boxes->contains("Scanキャンセルが失敗しました。"));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));
    for (const auto &box : sinks.boxes->boxes())
        EXPECT_EQ(box.icon, fw::MsgIcon::Stop);

    SimInjectResult(SIM_OP_ScanCancel, 0, 1);
    ASSERT_TRUE(Click(IDC_LINE_STOP));
    EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_START));
    EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));
    const auto cancels = JournalOf(SIM_OP_ScanCancel);
    ASSERT_EQ(cancels.size(), 3u);
    EXPECT_EQ(cancels[0].args[0], CANCEL_FRAME);
    EXPECT_EQ(cancels[1].args[0], CANCEL_LINE);
    EXPECT_EQ(cancels[2].args[1], 250u);
    // Stopped: a close issues no further stop.
    WindDown();
    EXPECT_EQ(JournalOf(SIM_OP_ScanCancel).size(), 3u);
}

TEST_F(ScanToolTest, CloseByEveryWayReleasesOnceAndTellsTheMenu)
{
    // "閉じる" during a scan: a frame stop with the time-out of the field goes first.
    ASSERT_TRUE(Click(IDC_START));
    Type(IDC_STOP_TIMEOUT, "77");
    ASSERT_TRUE(Click(fw::IDOK));
    EXPECT_FALSE(scan.IsWindow());
    EXPECT_EQ(g_pRectScanDlg.load(), nullptr);
    const auto cancels = JournalOf(SIM_OP_ScanCancel);
    ASSERT_EQ(cancels.size(), 1u);
    EXPECT_EQ(cancels[0].args[0], CANCEL_FRAME);
    EXPECT_EQ(cancels[0].args[1], 77u);
    fw::PumpEventsFor(20);
    EXPECT_EQ(menu.closed, std::vector<unsigned>{TOOL_RECTSCAN});

    // Esc and the close box close completely too.
    Reopen();
    PressEscape();
    EXPECT_FALSE(scan.IsWindow());
    Reopen();
    PressCloseBox();
    EXPECT_FALSE(scan.IsWindow());
    fw::PumpEventsFor(20);
    EXPECT_EQ(menu.closed.size(), 3u);

    // Nothing is left to reach: the hook only says it was called, scan ends go nowhere.
    sinks.boxes->clear();
    OnLibraryThread([] {
        std::uint8_t line[16] = {};
        ImageTransferHook(HOOK_FLAG_FRAME, 0, 1, HOOK_BUFFER_LIBRARY, line);
        ScanEndCallback(SCAN_END_NORMAL);
    });
    ASSERT_EQ(sinks.boxes->count(), 1u);
    EXPECT_EQ(sinks.boxes->boxes()[0].text, "画像転送完了用Hook関数Call");
    WindDown(); // nothing open: nothing happens
    EXPECT_EQ(menu.closed.size(), 3u);
}

TEST_F(ScanToolTest, CloseWaitsForAHookHeldInItsBoxWithoutDeadlock)
{
    Watchdog watchdog("the close and the hook held in its box to end");
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
    ASSERT_TRUE(Click(IDC_START));
    sinks.boxes->setHold(true);
    std::vector<std::uint8_t> library(std::size_t(4) * BOARD_LINE_PITCH, 1);
    std::atomic<bool> hookDone{false};
    std::thread hook([&] {
        // A frame end after 4 of 1024 lines: "Line Num too Small Error."
        ImageTransferHook(HOOK_FLAG_FRAME | HOOK_FLAG_LINES, 0, 4, HOOK_BUFFER_LIBRARY, library.data());
        hookDone = true;
    });
    const bool held = fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; });
    if (!held) {
        sinks.boxes->releaseAll();
        hook.join();
        FAIL() << "the hook showed no box";
    }
    // The user presses Esc again while the close waits, then answers the box.
    QTimer::singleShot(100, [&] { fw::test::PressEscape(scan); });
    QTimer::singleShot(300, [&] { sinks.boxes->releaseAll(); });
    ASSERT_TRUE(Click(fw::IDOK));
    EXPECT_TRUE(hookDone.load()); // the close returned only after the hook had left
    hook.join();
    EXPECT_FALSE(scan.IsWindow());
    fw::PumpEventsFor(20);
    EXPECT_EQ(menu.closed.size(), 1u); // closed once
    sinks.boxes->setHold(false);
}

TEST_F(ScanToolTest, ExclusiveRightThroughTheWorker)
{
    SimHoldExclusiveElsewhere(1);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Click(IDC_ACQUIRE_EXCLUSIVE));
    // Three lines at once, before the worker has answered.
    // (the worker has not answered yet: the log does not mean the call succeeded)
    std::string log = Log();
    std::size_t lines = 0;
    for (std::size_t at = log.find("  --> 排他権獲得実行\r\n"); at != std::string::npos;
         at = log.find("  --> 排他権獲得実行\r\n", at + 1))
        ++lines;
    EXPECT_EQ(lines, 3u);
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->contains("タイムアウトエラー"); }, 15000));
    const fw::test::RecordedBox box = sinks.boxes->boxes()[0];
    EXPECT_EQ(box.icon, fw::MsgIcon::None);
    EXPECT_FALSE(box.fromUiThread);
    EXPECT_EQ(JournalOf(SIM_OP_ExclusiveAcquire).at(0).args[0], 5000u);

    SimHoldExclusiveElsewhere(0);
    ASSERT_TRUE(Click(IDC_RELEASE_EXCLUSIVE));
    EXPECT_THAT(Log(), EndsWith("  <-- 排他権開放実行\r\n"));
    ASSERT_TRUE(fw::test::WaitUntil([] { return !JournalOf(SIM_OP_ExclusiveRelease).empty(); }, 15000));

    // Closing while an acquire waits for the board: the close waits for it, then the worker ends.
    SimHoldExclusiveElsewhere(1);
    ASSERT_TRUE(Click(IDC_ACQUIRE_EXCLUSIVE));
    ASSERT_TRUE(fw::test::WaitUntil(
        [] { return JournalOf(SIM_OP_ExclusiveAcquire).size() >= 2; }, 15000));
    ASSERT_TRUE(Click(fw::IDOK));
    EXPECT_FALSE(scan.IsWindow());
}

TEST_F(ScanToolTest, BoardEventNotifications)
{
    OnLibraryThread([] {
        for (std::int32_t reason : {1, 2, 0, 3, 5, 4})
            ScanEndCallback(reason);
    });
    EXPECT_EQ(Log(), "Scan終了\r\nフレームキャンセルによりScan終了\r\nラインキャンセルによりScan終了\r\n"
                     "Scan中止タイムアウト\r\n");
    EXPECT_EQ(sinks.boxes->count(), 0u);

    OnLibraryThread([] {
        ScanBufferFreeCallback(2);
        DspInterruptCallback(0x1A2B);
    });
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "走査バッファ空き発生");
    EXPECT_EQ(boxes[0].text, "バンクID：2");
    EXPECT_EQ(boxes[1].caption, "DSP割込み発生");
    EXPECT_EQ(boxes[1].text, "ステータスレジスタ：1a2b(H)");
    for (const auto &box : boxes) {
        EXPECT_EQ(box.owner, 0u);
        EXPECT_EQ(box.icon, fw::MsgIcon::None);
        EXPECT_FALSE(box.fromUiThread);
    }
    EXPECT_TRUE(scan.IsWindow()); // the boxes close no dialog
}

// A scan that ends by itself gives Start back without a stop, whatever the end's reason; the
// dump view still waits for a successful stop.
TEST_F(ScanToolTest, StartComesBackWhenTheBoardSaysTheScanEnded)
{
    Type(IDC_START_COUNT, "1");
    ASSERT_TRUE(Click(IDC_START));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_START));
    Step(1); // the one frame, then the end notification
    EXPECT_TRUE(fw::test::WaitUntil([&] { return scan.IsDlgItemEnabled(IDC_START); }, 5000))
        << Log();
    EXPECT_NE(Log().find("Scan終了\r\n"), std::string::npos);
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));

    // Started again, then ended by a time-out notification: Start comes back too.
    Type(IDC_START_COUNT, "0");
    ASSERT_TRUE(Click(IDC_START));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_START));
    OnLibraryThread([] { ScanEndCallback(SCAN_END_TIMEOUT); });
    EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_START));
}
