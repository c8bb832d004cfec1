// Deliveries against scans that end, restart and lose images while the engine is filling a
// buffer: what the hook sees stays in order and every image is accounted for.
#include "SimFixture.h"

using namespace simtest;

namespace {

// Hands every delivery of the library's buffer back, as the program does, so that an unpaced
// engine spends its time filling buffers.
void keepRequesting(BoardHandle h, std::function<void(const HookCall &)> also = nullptr)
{
    std::lock_guard lock(recorder().mutex);
    recorder().inHook = [h, also](const HookCall &c) {
        ImageRequest(h, nullptr, 0);
        if (also)
            also(c);
    };
}

} // namespace

TEST_F(SimTest, AScanEndFollowsTheLastDeliveryOfItsScan)
{
    // A stalled cancel without time-out ends the scan at once, typically while the engine
    // fills an 8 MiB frame: that frame's hook call must still come before the end.
    constexpr uint32_t lines = 1024;
    SimSetFrameRate(0);
    SimSetCancelStalls(1);
    std::atomic<int> late{0};
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        recorder().clear();
        late = 0;
        keepRequesting(h, [&late](const HookCall &c) {
            std::lock_guard lock(recorder().mutex);
            if (!recorder().ends.empty() && c.lineCount == lines)
                ++late;
        });
        ASSERT_EQ(ImageRequestClear(h), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        startArea(2048, lines, 4, true, 0, 0);
        ASSERT_TRUE(recorder().waitFor([] { return recorder().hooks.size() >= 2; }));
        ASSERT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
        // A short scan after it: by its end, whatever was left of the first one has come.
        startArea(16, 8, 1, true, 0, 1);
        ASSERT_TRUE(recorder().waitFor([] { return recorder().ends.size() >= 2; }));
        EXPECT_EQ(late.load(), 0) << "hook calls of the scan after its end";
        EXPECT_EQ(ends(), (std::vector<int32_t>{SCAN_END_TIMEOUT, SCAN_END_NORMAL}));
    }
}

TEST_F(SimTest, ARestartedScanBeginsAtTheFirstLineOfItsOwnFrame)
{
    // A 0x15 while a run of a large scan is being filled: that run still comes, but the new,
    // smaller scan starts at its own line 0, frame 0, and ends after its one frame.
    SimSetFrameRate(0);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        recorder().clear();
        keepRequesting(h);
        ASSERT_EQ(ImageRequestClear(h), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        startArea(2048, 1024, 4, false, 256, 0);
        ASSERT_TRUE(recorder().waitFor([] { return recorder().hooks.size() >= 2; }));
        dspWrite(DSP_PARAM_BLOCK + 0, 16);
        dspWrite(DSP_PARAM_BLOCK + 1, 8);
        dspWrite(DSP_PARAM_BLOCK + 3, 1);
        dspWrite(DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN);
        ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
        EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_NORMAL});
        const auto calls = hooks();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().flags, HOOK_FLAG_LINES | HOOK_FLAG_FRAME);
        EXPECT_EQ(calls.back().startLine, 0u);
        EXPECT_EQ(calls.back().lineCount, 8u);
        for (const HookCall &c : calls)
            EXPECT_TRUE(c.lineCount == 256 || c.lineCount == 8) << c.lineCount;
    }
}

TEST_F(SimTest, EveryImageIsDeliveredOrCountedLostExactlyOnce)
{
    // Paced images meet a slow hook and too few requests: each frame or run is delivered, or
    // counted lost for want of a request or because the hook was busy; never both, never none.
    constexpr uint32_t frames = 60, lines = 16, lineInt = 4;
    SimSetFrameRate(1000);
    std::atomic<int> late{0};
    for (bool frameUnit : {true, false}) {
        SCOPED_TRACE(frameUnit ? "frame units" : "line units");
        recorder().clear();
        late = 0;
        {
            std::lock_guard lock(recorder().mutex);
            recorder().inHook = [&late](const HookCall &) {
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
                std::lock_guard lock(recorder().mutex);
                late += recorder().ends.empty() ? 0 : 1;
            };
        }
        int32_t noRequest0 = 0, busy0 = 0, noRequest = 0, busy = 0;
        ASSERT_EQ(ErrorInfoGet(h, &noRequest0, &busy0), 0);
        const uint32_t framesBefore = SimReadRegister(SIM_REG_FRAME_COUNT);
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
        startArea(32, lines, 1, frameUnit, lineInt, frames);
        ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }, 20000));
        ASSERT_EQ(ErrorInfoGet(h, &noRequest, &busy), 0);
        const auto calls = hooks();
        const auto lostReports = std::count_if(calls.begin(), calls.end(), [](const HookCall &c) {
            return c.flags == HOOK_FLAG_LINE_OVERRUN;
        });
        const int64_t images = frameUnit ? frames : frames * (lines / lineInt);
        const int64_t delivered = static_cast<int64_t>(calls.size()) - lostReports;
        EXPECT_EQ(delivered + (noRequest - noRequest0) + (busy - busy0), images);
        EXPECT_LE(lostReports, busy - busy0);
        EXPECT_EQ(SimReadRegister(SIM_REG_FRAME_COUNT), framesBefore + frames);
        EXPECT_EQ(ends(), std::vector<int32_t>{SCAN_END_NORMAL});
        EXPECT_EQ(late.load(), 0);
        ASSERT_EQ(ImageRequestClear(h), 0);
    }
}
