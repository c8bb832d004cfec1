// Closing the live display while frames arrive, in every way it can be closed, and while the
// hook is held in a message box elsewhere: no deadlock, no callback after the close.
#include "NtscTestSupport.h"

#include "display/NtscOverlay.h"

using namespace ntsc_test;
using fw::test::Click;
using fw::test::Type;

namespace {

enum class CloseBy { Escape, CloseBox, Enter };

} // namespace

TEST_F(NtscViewTest, CloseWhileFramesArriveStopsEverything)
{
    struct Case {
        CloseBy how;
        const char *size;
        bool overlay;
    };
    const Case cases[] = {{CloseBy::Escape, "E1000", false},
                          {CloseBy::CloseBox, "0", true},
                          {CloseBy::Enter, "100000", true},
                          {CloseBy::Escape, "0", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        SimJournalClear();
        CNtscViewDlg *seen = nullptr;
        Run([&](CNtscViewDlg &dlg) {
            seen = &dlg;
            if (c.overlay) {
                ASSERT_TRUE(Click(dlg, IDC_OVERLAY));
            }
            Type(dlg, IDC_BUFFER_SIZE, c.size);
            ASSERT_TRUE(Click(dlg, IDC_START));
            ASSERT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= 3; }, 5000));
            switch (c.how) {
            case CloseBy::Escape:
                fw::test::PressEscape(dlg);
                break;
            case CloseBy::CloseBox:
                fw::test::PressCloseBox(dlg);
                break;
            case CloseBy::Enter:
                dlg.SetFocusItem(IDC_KEY_RED); // Enter in a field ends the dialog
                fw::test::PressEnter(dlg);
                break;
            }
            EXPECT_FALSE(dlg.IsModalRunning());
            // Stopped right after the close, not only once the dialog is released: the request
            // thread has ended and live video is off.
            EXPECT_FALSE(dlg.ThreadRunning());
            EXPECT_EQ(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_LIVE, 0u);
            EXPECT_EQ(SimReadRegister(REG_DIO_IMG_GETMODE), 0u);
        });
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(SimReadRegister(REG_DIO_IMG_GETMODE), 0u);
        EXPECT_EQ(OverlaySimSurfaceCount(), 0);
        // Live video off, then the requests dropped; nothing after that.
        const std::vector<SimCall> calls = testing_support::Journal();
        ASSERT_GE(calls.size(), 2u);
        const SimCall &last = calls.back();
        const SimCall &before = calls[calls.size() - 2];
        EXPECT_EQ(last.op, SIM_OP_ImageRequestClear);
        EXPECT_EQ(before.op, SIM_OP_IoWriteLong);
        EXPECT_EQ(before.args[0], REG_DIO_IMG_GETMODE);
        EXPECT_EQ(before.args[1], 0u);
        // No delivery reaches the hook any more, so none falls through to the no-tool box.
        const std::uint64_t hooks = SimHookCalls();
        fw::PumpEventsFor(150);
        EXPECT_EQ(SimHookCalls(), hooks);
        EXPECT_TRUE(sinks.boxes->boxes().empty()) << sinks.boxes->boxes()[0].text;
    }
}

TEST_F(NtscViewTest, CloseDoesNotWaitForAHookHeldInAMessageBox)
{
    // A delivery with no tool open holds the library's thread in the hook's box.
    sinks.boxes->setHold(true);
    const BoardHandle h = board->handle();
    ASSERT_EQ(ImageRequestClear(h), 0);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 3, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);

    // Answers the box if the close waits for it, so that the test fails by itself (well before
    // the watchdog of the run would end it).
    testing_support::Watchdog watchdog("the live display's close while a hook waits in its box",
                                       testing_support::kWatchdogSeconds / 2,
                                       [boxes = sinks.boxes] { boxes->releaseAll(); });
    Run([&](CNtscViewDlg &dlg) {
        ASSERT_TRUE(Click(dlg, IDC_START));
        fw::PumpEventsFor(100);
        ASSERT_TRUE(Click(dlg, IDC_OVERLAY));
        fw::test::PressEscape(dlg);
    });
    EXPECT_FALSE(watchdog.fired()) << "the close waited for the held hook";
    sinks.boxes->setHold(false);
    sinks.boxes->releaseAll();
    // Frames queued behind the held one belonged to dropped requests: only the first box.
    ASSERT_EQ(SimWaitIdle(5000), 0);
    fw::PumpEventsFor(100);
    EXPECT_EQ(sinks.boxes->count(), 1u);
    EXPECT_TRUE(sinks.boxes->contains("画像転送完了用Hook関数Call"));
    EXPECT_EQ(OverlaySimSurfaceCount(), 0);
}
