// The scan tool's program buffers and the library's requests into them: a close with a hook
// still inside, a close beside another tool that issues requests, and AP buffers given up while
// a scan ran. Nothing may stay named by a request once its buffer is gone.
#include "ScanToolFixture.h"

#include "session/RequestBuffers.h"

#include <QTimer>

using namespace scantest;
using testing_support::JournalOf;

namespace {

// Index of the last journal entry of the operation whose first argument is arg; -1: none.
long LastCall(int op, std::uint64_t arg)
{
    const std::vector<SimCall> calls = testing_support::Journal();
    for (long i = long(calls.size()) - 1; i >= 0; --i)
        if (calls[std::size_t(i)].op == op && calls[std::size_t(i)].args[0] == arg)
            return i;
    return -1;
}

long LastCall(int op)
{
    const std::vector<SimCall> calls = testing_support::Journal();
    for (long i = long(calls.size()) - 1; i >= 0; --i)
        if (calls[std::size_t(i)].op == op)
            return i;
    return -1;
}

} // namespace

class ScanRequestBufferTest : public ScanToolTest {
protected:
    void TearDown() override
    {
        ScanToolTest::TearDown(); // closes the board, which lets every retired buffer go
        EXPECT_EQ(session::RetiredBufferCount(), 0u);
    }

    // AP mode, line unit, one request: Start registers the whole AP buffer. Its address.
    const std::uint8_t *StartIntoApBuffer()
    {
        fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
        EXPECT_TRUE(Click(IDC_BUFFER_AP));
        EXPECT_TRUE(Click(IDC_START));
        const auto requests = JournalOf(SIM_OP_ImageRequest);
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? nullptr
                                : reinterpret_cast<const std::uint8_t *>(requests.back().args[0]);
    }

    // A delivery of 4 lines into the AP buffer that ends the frame early: the hook stops in its
    // "Line Num too Small Error." box, which the recorder holds. Then the tool is closed, and
    // the box is answered while the close waits.
    void CloseWithTheHookParked(const std::uint8_t *ap)
    {
        sinks.boxes->setHold(true);
        std::atomic<bool> hookDone{false};
        std::thread hook([&] {
            ImageTransferHook(HOOK_FLAG_FRAME | HOOK_FLAG_LINES, 0, 4, HOOK_BUFFER_PROGRAM,
                              const_cast<std::uint8_t *>(ap));
            hookDone = true;
        });
        const bool parked = fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; });
        if (parked) {
            QTimer::singleShot(200, [&] { sinks.boxes->releaseAll(); });
            EXPECT_TRUE(Click(fw::IDOK));
            EXPECT_TRUE(hookDone.load()) << "the close went on while the hook was inside";
        } else {
            ADD_FAILURE() << "the hook showed no box";
        }
        sinks.boxes->setHold(false);
        sinks.boxes->releaseAll();
        hook.join();
        EXPECT_FALSE(scan.IsWindow());
    }
};

// Alone on the board, the close drops the requests itself (after the hook has left, so the
// hook's own re-issue is dropped too) and frees the buffer: nothing names it any more.
TEST_F(ScanRequestBufferTest, CloseAloneClearsAfterTheLastHookAndFreesTheApBuffer)
{
    Watchdog watchdog("the close with a hook parked in its box");
    const std::uint8_t *ap = StartIntoApBuffer();
    ASSERT_NE(ap, nullptr);
    SimJournalClear();
    CloseWithTheHookParked(ap);

    const long reissue = LastCall(SIM_OP_ImageRequest, reinterpret_cast<std::uintptr_t>(ap));
    const long clear = LastCall(SIM_OP_ImageRequestClear);
    EXPECT_NE(reissue, -1) << "the parked hook re-issues into its buffer when let go";
    ASSERT_NE(clear, -1) << "the close left the requests into its AP buffer queued";
    EXPECT_GT(clear, reissue);
    EXPECT_EQ(SimNamedBuffersIn(ap, CRectScanDlg::kBufferSize), 0u);
    EXPECT_EQ(session::RetiredBufferCount(), 0u);
}

// Beside another tool that issues requests, the close drops none of them: its AP buffer stays
// until another tool's clear has dropped the requests into it, and goes after the next hook.
TEST_F(ScanRequestBufferTest, CloseBesideAnotherToolRetiresTheApBufferUntilAClear)
{
    Watchdog watchdog("the close beside another tool with a hook parked in its box");
    ops::RequestUser other; // as the live display holds one while it is open
    other.Open(session::DeliveryOf(board->handle()));
    const std::uint8_t *ap = StartIntoApBuffer();
    ASSERT_NE(ap, nullptr);
    SimJournalClear();
    CloseWithTheHookParked(ap);

    EXPECT_EQ(LastCall(SIM_OP_ImageRequestClear), -1) << "the close dropped the other tool's requests";
    EXPECT_GE(SimNamedBuffersIn(ap, CRectScanDlg::kBufferSize), 1u);
    EXPECT_EQ(session::RetiredBufferCount(), 1u) << "a buffer still named by requests was freed";
    EXPECT_EQ(session::RetiredBufferBytes(), CRectScanDlg::kBufferSize);

    // The other tool's clear covers it; the next callback's end lets it go.
    ASSERT_EQ(session::ClearImageRequests(board->handle()), 0);
    EXPECT_EQ(SimNamedBuffersIn(ap, CRectScanDlg::kBufferSize), 0u);
    OnLibraryThread([] { ImageTransferHook(HOOK_FLAG_FRAME, 0, 1, HOOK_BUFFER_LIBRARY, nullptr); });
    EXPECT_EQ(session::RetiredBufferCount(), 0u);
    other.Close();
}

// AP, Start, stop, driver, again and again: an AP buffer given up while requests named it is
// kept only until the next Start has cleared them, not until the tool closes.
TEST_F(ScanRequestBufferTest, ApBuffersGivenUpDuringScansDoNotPileUp)
{
    Watchdog watchdog("AP and driver cycles", 60);
    SimSetStepMode(0);
    SimSetFrameRate(200);
    Type(IDC_LINES_PER_FRAME, "64");
    Type(IDC_PIXELS_PER_LINE, "64");
    Type(IDC_START_COUNT, "0"); // until stopped
    for (int cycle = 0; cycle < 8; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(Click(IDC_BUFFER_AP));
        ASSERT_TRUE(Click(IDC_START));
        const std::uint64_t hooks = SimHookCalls();
        ASSERT_TRUE(fw::test::WaitUntil([&] { return SimHookCalls() >= hooks + 2; }, 10000))
            << "boxes " << sinks.boxes->count() << ", running " << SimScanRunning() << ", log:\n"
            << Log();
        ASSERT_TRUE(Click(IDC_FRAME_STOP));
        ASSERT_TRUE(fw::test::WaitUntil([] { return !SimScanRunning(); }, 10000));
        const auto *ap = reinterpret_cast<std::uint8_t *>(JournalOf(SIM_OP_ImageRequest).back().args[0]);
        ASSERT_TRUE(Click(IDC_BUFFER_DRIVER)); // the hook's re-issue still names the buffer
        EXPECT_LE(session::RetiredBufferBytes(), std::size_t(CRectScanDlg::kBufferSize))
            << "more than the last given-up AP buffer is kept";
        // A late delivery into the given-up buffer (shifted, so a copy would show) is neither
        // copied nor re-issued.
        // The library calls the hook on one thread: the planted call waits until the deliveries
        // still queued at the stop have been made (no hook call for 200 ms), or it would overlap
        // one and the board would keep every retired buffer until its close.
        for (std::uint64_t seen = SimHookCalls();;) {
            fw::test::WaitUntil([] { return false; }, 200);
            if (const std::uint64_t now = SimHookCalls(); now != seen)
                seen = now;
            else
                break;
        }
        const ScanDataCopy before = scan.CopyWholeImage();
        const std::size_t requests = JournalOf(SIM_OP_ImageRequest).size();
        OnLibraryThread([ap] {
            ImageTransferHook(HOOK_FLAG_FRAME, 0, 64, HOOK_BUFFER_PROGRAM, const_cast<std::uint8_t *>(ap + 3));
        });
        EXPECT_TRUE(scan.CopyWholeImage().bytes == before.bytes) << "lines were read from a retired buffer";
        EXPECT_EQ(JournalOf(SIM_OP_ImageRequest).size(), requests);
    }
}
