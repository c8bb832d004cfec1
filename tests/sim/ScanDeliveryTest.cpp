// The shape and contents of area scan deliveries in frame and line units.
#include "SimFixture.h"

using namespace simtest;

namespace {

uint32_t pixelAt(const uint8_t *p, uint32_t bytesPerPixel)
{
    uint32_t v = 0;
    for (uint32_t b = 0; b < bytesPerPixel; ++b)
        v |= uint32_t{p[b]} << (8 * b);
    return v;
}

// Compares `count` lines of frame `frame`, first line `first`, laid out at `pitch`.
void expectLines(const uint8_t *data, size_t pitch, uint32_t pixels, uint32_t lines, uint32_t bpp,
                 uint32_t frame, uint32_t first, uint32_t count)
{
    int mismatches = 0;
    for (uint32_t i = 0; i < count && mismatches < 5; ++i)
        for (uint32_t x = 0; x < pixels && mismatches < 5; ++x) {
            const uint32_t got = pixelAt(data + i * pitch + size_t{x} * bpp, bpp);
            const uint32_t want = SimAreaPixel(x, first + i, pixels, lines, bpp, frame);
            if (got != want) {
                ADD_FAILURE() << "frame " << frame << " line " << first + i << " pixel " << x
                              << ": " << got << " != " << want;
                ++mismatches;
            }
        }
}

} // namespace

TEST_F(SimTest, FrameUnitDeliveriesUseTheLinePitchInLibraryAndProgramBuffers)
{
    constexpr uint32_t pixels = 300, lines = 40;
    for (uint32_t bpp : {1u, 2u, 4u}) {
        SCOPED_TRACE(bpp);
        recorder().clear();
        {
            std::lock_guard lock(recorder().mutex);
            recorder().copyBytes = (lines - 1) * BOARD_LINE_PITCH + pixels * bpp;
        }
        std::vector<uint8_t> program(lines * BOARD_LINE_PITCH, 0);
        SimSetStepMode(1);
        ASSERT_EQ(ImageRequestClear(h), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        ASSERT_EQ(ImageRequest(h, program.data(), static_cast<uint32_t>(program.size())), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        const uint32_t framesBefore = SimReadRegister(SIM_REG_FRAME_COUNT);
        startArea(pixels, lines, bpp, true, 0, 3);
        EXPECT_TRUE(SimScanRunning());
        SimStep(3);
        ASSERT_EQ(SimWaitIdle(10000), 0);
        ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
        const auto calls = hooks();
        ASSERT_EQ(calls.size(), 3u);
        for (uint32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(calls[i].flags, HOOK_FLAG_FRAME);
            EXPECT_EQ(calls[i].startLine, 0u);
            EXPECT_EQ(calls[i].lineCount, lines);
            expectLines(calls[i].copy.data(), BOARD_LINE_PITCH, pixels, lines, bpp, i, 0, lines);
        }
        EXPECT_EQ(calls[0].bufferKind, HOOK_BUFFER_LIBRARY);
        EXPECT_EQ(calls[1].bufferKind, HOOK_BUFFER_PROGRAM);
        EXPECT_EQ(calls[1].data, program.data());
        EXPECT_EQ(calls[2].bufferKind, HOOK_BUFFER_LIBRARY);
        EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_NORMAL});
        EXPECT_FALSE(SimScanRunning());
        EXPECT_EQ(SimReadRegister(SIM_REG_FRAME_COUNT), framesBefore + 3);
    }
}

TEST_F(SimTest, LineUnitRunsFollowTheLineInterruptInterval)
{
    constexpr uint32_t pixels = 50, lines = 10, lineInt = 4, bpp = 4;
    const uint32_t lineBytes = pixels * bpp;
    std::vector<std::vector<uint8_t>> buffers(3,
                                              std::vector<uint8_t>(lineInt * lineBytes + 16, 0xEE));
    {
        std::lock_guard lock(recorder().mutex);
        recorder().copyBytes = lineInt * lineBytes;
    }
    SimSetStepMode(1);
    for (auto &b : buffers)
        ASSERT_EQ(ImageRequest(h, b.data(), lineInt * lineBytes), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(pixels, lines, bpp, false, lineInt, 2);
    SimStep(6);
    ASSERT_EQ(SimWaitIdle(10000), 0);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    const auto calls = hooks();
    ASSERT_EQ(calls.size(), 6u);
    const uint32_t wantStart[] = {0, 4, 8, 0, 4, 8}, wantCount[] = {4, 4, 2, 4, 4, 2};
    const uint32_t wantFlags[] = {2, 2, 3, 2, 2, 3};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].flags, wantFlags[i]);
        EXPECT_EQ(calls[i].startLine, wantStart[i]);
        EXPECT_EQ(calls[i].lineCount, wantCount[i]);
        EXPECT_EQ(calls[i].bufferKind, i < 3 ? HOOK_BUFFER_PROGRAM : HOOK_BUFFER_LIBRARY);
    }
    // Program buffers: the run's lines back to back, nothing past them.
    for (int i = 0; i < 3; ++i) {
        expectLines(buffers[i].data(), lineBytes, pixels, lines, bpp, 0, wantStart[i],
                    wantCount[i]);
        EXPECT_EQ(buffers[i][wantCount[i] * lineBytes], 0xEE);
        EXPECT_EQ(buffers[i].back(), 0xEE);
    }
    // Library buffer: line n of the frame at n x 8192 from the delivered address.
    for (int i = 3; i < 6; ++i) {
        const uint8_t *base = static_cast<const uint8_t *>(calls[i].data);
        expectLines(base + wantStart[i] * BOARD_LINE_PITCH, BOARD_LINE_PITCH, pixels, lines, bpp, 1,
                    wantStart[i], wantCount[i]);
    }
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_NORMAL});
}

TEST_F(SimTest, UndeliverableImagesAreReportedNotWritten)
{
    constexpr uint32_t pixels = 64, lines = 8;
    // A program buffer one byte short of a frame at the 8192-byte pitch.
    std::vector<uint8_t> small((lines - 1) * BOARD_LINE_PITCH + pixels - 1 + 100, 0xAB);
    SimSetStepMode(1);
    ASSERT_EQ(ImageRequest(h, small.data(), (lines - 1) * BOARD_LINE_PITCH + pixels - 1), 0);
    startArea(pixels, lines, 1, true, 0, 0);
    SimStep(3); // one area size error, then two images nobody asked for
    ASSERT_EQ(SimWaitIdle(10000), 0);
    auto calls = hooks();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].flags, HOOK_FLAG_AREA_SIZE);
    EXPECT_EQ(calls[0].startLine, 0u);
    EXPECT_EQ(calls[0].lineCount, lines);
    EXPECT_EQ(calls[0].data, small.data());
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == 0xAB; }));
    int32_t noRequest = -1, hookBusy = -1;
    ASSERT_EQ(ErrorInfoGet(h, &noRequest, &hookBusy), 0);
    EXPECT_EQ(noRequest, 2);
    EXPECT_EQ(hookBusy, 0);
    EXPECT_TRUE(SimScanRunning()); // start count 0: runs until cancelled
    ASSERT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
    SimStep(1);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_FRAME_CANCEL});

    // Lines wider than the pitch, and more lines than the library's buffer holds.
    recorder().clear();
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(4097, 2, 2, true, 0, 1);
    SimStep(1);
    ASSERT_EQ(SimWaitIdle(10000), 0);
    startArea(16, 4097, 1, true, 0, 1);
    SimStep(1);
    ASSERT_EQ(SimWaitIdle(10000), 0);
    calls = hooks();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].flags, HOOK_FLAG_AREA_SIZE);
    EXPECT_EQ(calls[1].flags, HOOK_FLAG_AREA_SIZE);
    EXPECT_EQ(calls[1].lineCount, 4097u);
    EXPECT_EQ(calls[1].bufferKind, HOOK_BUFFER_LIBRARY);
}

TEST_F(SimTest, BusyHookLosesImagesCountsThemAndReportsLineOverruns)
{
    SimSetFrameRate(500);
    std::mutex gate;
    std::unique_lock hold(gate);
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [&gate](const HookCall &) { std::lock_guard wait(gate); };
    }
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(32, 16, 1, false, 4, 0);
    // The first hook call blocks: later runs find no room and are lost.
    bool lost = false;
    for (int i = 0; i < 1000 && !lost; ++i) {
        int32_t noRequest = 0, hookBusy = 0;
        ASSERT_EQ(ErrorInfoGet(h, &noRequest, &hookBusy), 0);
        lost = hookBusy >= 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(lost);
    hold.unlock();
    ASSERT_TRUE(recorder().waitFor([] {
        return std::any_of(recorder().hooks.begin(), recorder().hooks.end(),
                           [](const HookCall &c) { return c.flags == HOOK_FLAG_LINE_OVERRUN; });
    }));
    ASSERT_EQ(ScanCancel(h, CANCEL_LINE, 0), 0);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_LINE_CANCEL});

    // Event-wait overruns (two or more pending) are in the first history.
    std::vector<uint32_t> histories(4 * OPERATION_HISTORY_LENGTH, 0);
    uint32_t first = 0, index[4] = {};
    OperationInfoGet(h, &first, &histories[0], &index[0], &histories[1024], &index[1],
                     &histories[2048], &index[2], &histories[3072], &index[3]);
    EXPECT_GT(index[0], 0u);
    EXPECT_GE(histories[0], 2u);
    EXPECT_GT(first, 0u);
    EXPECT_EQ(index[1], first % OPERATION_HISTORY_LENGTH);
}

TEST_F(SimTest, CancelsEndTheScanWithTheirReason)
{
    SimSetStepMode(1);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);

    // Frame cancel in line units: the frame is completed first.
    startArea(16, 8, 1, false, 2, 0);
    SimStep(1);
    ASSERT_EQ(SimWaitIdle(5000), 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), BOARD_STATUS_CANCEL_IN_PROGRESS);
    EXPECT_EQ(ScanCancel(h, CANCEL_LINE, 0), BOARD_STATUS_CANCEL_IN_PROGRESS);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 1, 0), SIM_ERR_BUSY);
    SimStep(3);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    auto calls = hooks();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].flags, HOOK_FLAG_FRAME | HOOK_FLAG_LINES);
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_FRAME_CANCEL});

    // Line cancel: ends after the run in progress.
    recorder().clear();
    startArea(16, 8, 1, false, 2, 0);
    SimStep(1);
    ASSERT_EQ(SimWaitIdle(5000), 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_LINE, 1000), 0);
    SimStep(1);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    EXPECT_EQ(hooks().size(), 2u);
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_LINE_CANCEL});

    // A scan that cannot finish its frame in time: no step comes.
    recorder().clear();
    startArea(16, 8, 1, true, 0, 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 20), 0);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_TIMEOUT});
    EXPECT_FALSE(SimScanRunning());
    EXPECT_TRUE(hooks().empty());

    // No scan: the board is already stopped, and says nothing.
    recorder().clear();
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 100), 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_LINE, 100), 0);
    SimSetStepMode(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(ends().empty());

    // The stalled-cancel fault ends at the time-out, or at once with no time-out.
    SimSetCancelStalls(1);
    SimSetFrameRate(0);
    startArea(16, 8, 1, true, 0, 0);
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_TIMEOUT});
}

TEST_F(SimTest, HandingTheLibraryBufferBackAsksForTheLibraryBufferAgain)
{
    // The program's hook re-issues the delivered address with its own share size, also for the
    // library's buffer: the library must not take that size on trust.
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [handle = h](const HookCall &c) {
            if (c.bufferKind == HOOK_BUFFER_LIBRARY) {
                EXPECT_EQ(ImageRequest(handle, c.data, 0x2000000), 0);
            }
        };
    }
    SimSetStepMode(1);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 4096, 2, false, 1024, 0);
    SimStep(5);
    ASSERT_EQ(SimWaitIdle(10000), 0);
    const auto calls = hooks();
    ASSERT_EQ(calls.size(), 5u);
    for (const HookCall &c : calls) {
        EXPECT_EQ(c.bufferKind, HOOK_BUFFER_LIBRARY);
        EXPECT_EQ(c.flags & HOOK_FLAG_AREA_SIZE, 0u);
    }
    EXPECT_EQ(calls[3].flags, HOOK_FLAG_LINES | HOOK_FLAG_FRAME);
    EXPECT_EQ(calls[4].startLine, 0u);
    int32_t noRequest = 0, hookBusy = 0;
    ASSERT_EQ(ErrorInfoGet(h, &noRequest, &hookBusy), 0);
    EXPECT_EQ(noRequest, 0);
}
