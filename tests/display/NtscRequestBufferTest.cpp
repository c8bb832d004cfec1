// The live display beside other users of the board's requests: its request buffers outlive the
// requests that name them, and another tool's close leaves its requests alone.
#include "NtscTestSupport.h"

#include "scan/RectScanDlg.h"
#include "session/RequestBuffers.h"

using namespace ntsc_test;
using testing_support::JournalOf;
using fw::test::Click;
using fw::test::Type;

namespace {

// An area scan of 64 x 64 bytes in frame units, started on the board directly, running until
// cancelled. Each frame fits a 1 MB request buffer (64 lines at the 8192-byte pitch).
void StartSmallAreaScan(BoardHandle h)
{
    constexpr std::uint32_t kGeometry = (64u << 16) | 64u;
    for (std::uint32_t reg : {REG_MAC_H_UDTCSR, REG_MAC_L_UDTCSR, REG_DIO_L_UDTCSR})
        ASSERT_EQ(IoWriteLong(h, reg, kGeometry), 0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME | SCAN_NO_MASK_OPEN_DELAY, 1, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);
    const std::pair<std::uint32_t, std::uint32_t> dsp[] = {
        {DSP_PARAM_BLOCK + 0, 64}, {DSP_PARAM_BLOCK + 1, 64}, {DSP_PARAM_BLOCK + 2, 0},
        {DSP_PARAM_BLOCK + 3, 0},  {DSP_PARAM_BLOCK + 7, 0},  {DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN}};
    for (const auto &[address, value] : dsp) {
        ASSERT_EQ(IoWriteLong(h, REG_MAC_DSP_ADR_90, address), 0);
        ASSERT_EQ(IoWriteLong(h, REG_MAC_DSP_ADR_94, value), 0);
    }
}

} // namespace

// A Start that fails while a scan runs leaves its ten requests queued, and the running scan
// fills them. The next Start must not free those buffers before a clear has dropped the
// requests (the board would write into freed memory; the address sanitizer sees it).
TEST_F(NtscViewTest, RequestBuffersOutliveTheRequestsOfAFailedStart)
{
    SimSetStepMode(1);
    StartSmallAreaScan(board->handle());
    constexpr std::size_t kSize = 0x100000;
    Run([&](CNtscViewDlg &dlg) {
        Type(dlg, IDC_BUFFER_SIZE, "100000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Scan起動準備が失敗しました。"});
        const std::uint8_t *a = dlg.Capture().RequestBufferA();
        const std::uint8_t *b = dlg.Capture().RequestBufferB();
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(SimNamedBuffersIn(a, kSize), 5u);
        EXPECT_EQ(SimNamedBuffersIn(b, kSize), 5u);

        // Started again, but the clear fails: the old buffers are still named, so they stay.
        SimInjectResult(SIM_OP_ImageRequestClear, 3, 1);
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_EQ(BoxTexts().back(), "画像データ取得要求クリアが失敗しました。");
        EXPECT_NE(dlg.Capture().RequestBufferA(), a);
        EXPECT_EQ(session::RetiredBufferCount(), 2u);
        // The running scan fills two of the old requests.
        SimStep(2);
        ASSERT_EQ(SimWaitIdle(5000), 0);
        EXPECT_EQ(SimNamedBuffersIn(a, kSize) + SimNamedBuffersIn(b, kSize), 8u);

        // Started again with a working clear: nothing names the old buffers any more, and the
        // next delivery's end lets them go.
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_EQ(SimNamedBuffersIn(a, kSize) + SimNamedBuffersIn(b, kSize), 0u);
        SimStep(1);
        ASSERT_EQ(SimWaitIdle(5000), 0);
        EXPECT_TRUE(fw::test::WaitUntil([] { return session::RetiredBufferCount() == 0; }, 5000));
    });
    SimSetStepMode(0);
    ScanCancel(board->handle(), CANCEL_FRAME, 0);
}

// The scan tool closes while live video runs. It drops none of the display's requests (frames
// keep coming), and its AP buffer, still named by the hook's last re-issue, is kept meanwhile.
TEST_F(NtscViewTest, LiveFramesKeepComingAfterTheScanToolCloses)
{
    SimSetFrameRate(200);
    fw::AutoResetEvent scanEvent;
    CRectScanDlg scan;
    scan.m_hBoard = board->handle();
    scan.m_hScanEvent = &scanEvent;
    ASSERT_TRUE(scan.Create());
    namespace rs = res::rectscan;
    ASSERT_TRUE(Click(scan, rs::IDC_BUFFER_AP));
    Type(scan, rs::IDC_LINES_PER_FRAME, "64");
    Type(scan, rs::IDC_PIXELS_PER_LINE, "64");
    Type(scan, rs::IDC_START_COUNT, "0");
    ASSERT_TRUE(Click(scan, rs::IDC_START));
    ASSERT_TRUE(fw::test::WaitUntil([] { return SimHookCalls() >= 3; }, 5000));
    ASSERT_TRUE(Click(scan, rs::IDC_FRAME_STOP));
    ASSERT_TRUE(fw::test::WaitUntil([] { return !SimScanRunning(); }, 5000));

    testing_support::Watchdog watchdog("live frames after the scan tool's close");
    Run([&](CNtscViewDlg &dlg) {
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= 3; }, 5000));
        scan.WindDown();
        EXPECT_EQ(session::RetiredBufferCount(), 1u);
        const std::uint64_t before = dlg.Capture().FramesCopied();
        EXPECT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= before + 10; }, 5000))
            << "live video stopped when the scan tool closed";
    });
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}
