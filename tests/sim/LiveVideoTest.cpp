// Live video: 640 x 480 BGR frames, one per request, started and stopped by the image get mode.
#include "SimFixture.h"

using namespace simtest;

TEST_F(SimTest, LiveVideoDeliversColourFramesPerRequest)
{
    constexpr uint32_t frameBytes = 640 * 480 * 3;
    std::vector<uint8_t> program(frameBytes + 64, 0x11), small(1000, 0x22);
    {
        std::lock_guard lock(recorder().mutex);
        recorder().copyBytes = frameBytes;
    }
    SimSetStepMode(1);
    ASSERT_EQ(IoWriteLong(h, REG_MAC_H_UDTCSR, 0x01E00280), 0);
    ASSERT_EQ(ImageRequestClear(h), 0);
    ASSERT_EQ(ImageRequest(h, program.data(), frameBytes), 0);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ImageRequest(h, small.data(), static_cast<uint32_t>(small.size())), 0);
    ASSERT_EQ(ScanPrepare(h, 1, 1, 3, 0), 0);
    EXPECT_FALSE(SimScanRunning());
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    EXPECT_TRUE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_LIVE);
    SimStep(4); // the fourth frame finds no request
    ASSERT_EQ(SimWaitIdle(10000), 0);

    std::vector<HookCall> calls;
    {
        std::lock_guard lock(recorder().mutex);
        calls = recorder().hooks;
    }
    ASSERT_EQ(calls.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(calls[i].flags, HOOK_FLAG_FRAME);
        EXPECT_EQ(calls[i].startLine, 0u);
        EXPECT_EQ(calls[i].lineCount, 480u);
    }
    EXPECT_EQ(calls[0].bufferKind, HOOK_BUFFER_PROGRAM);
    EXPECT_EQ(calls[1].bufferKind, HOOK_BUFFER_LIBRARY);
    EXPECT_EQ(calls[2].flags, HOOK_FLAG_AREA_SIZE);
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == 0x22; }));
    EXPECT_EQ(program[frameBytes], 0x11); // nothing past the frame

    // Packed rows: colour bars on top (every pixel one of the eight bar colours), a grey ramp
    // below that ends white at the right edge; frames differ (the bars move).
    for (int i = 0; i < 2; ++i) {
        const uint8_t *f = calls[i].copy.data();
        const uint8_t *p = f + (200 * 640 + 320) * 3;
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(p[c] == 0 || p[c] == 255);
        const uint8_t *ramp = f + (470 * 640 + 639) * 3;
        EXPECT_EQ(ramp[0], 255);
        EXPECT_EQ(ramp[1], 255);
        EXPECT_EQ(ramp[2], 255);
        const uint8_t *dark = f + (470 * 640) * 3;
        EXPECT_EQ(dark[0], 0);
    }
    EXPECT_NE(calls[0].copy, calls[1].copy);
    int32_t noRequest = 0, hookBusy = 0;
    ASSERT_EQ(ErrorInfoGet(h, &noRequest, &hookBusy), 0);
    EXPECT_EQ(noRequest, 1);

    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);
    EXPECT_FALSE(SimScanRunning());
    std::lock_guard lock(recorder().mutex);
    EXPECT_TRUE(recorder().ends.empty()); // live video has no scan end
}

TEST_F(SimTest, LiveVideoNeedsAMatchingPreparation)
{
    ASSERT_EQ(ScanPrepare(h, 1, 1, 1, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    EXPECT_FALSE(SimScanRunning());
    ASSERT_EQ(ScanPrepare(h, 1, 1, 3, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    EXPECT_TRUE(SimScanRunning());
    EXPECT_EQ(ScanPrepare(h, 1, 1, 3, 0), SIM_ERR_BUSY);
    EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
    EXPECT_FALSE(SimScanRunning());
}
