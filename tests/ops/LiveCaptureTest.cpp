// The live capture without a board or a window: which deliveries are answered with a request,
// how much of which buffer is copied, the frame held half way through a run, and the frame
// times counted as missed. Deliveries carry chosen time stamps.
#include "ops/LiveCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Clock = ops::LiveCapture::Clock;
constexpr std::uint32_t kFrame = ops::kVideoFrameBytes;
const Clock::time_point t0 = Clock::time_point{} + std::chrono::hours(1);

struct Recorder : ops::LiveCapture::Client {
    void Reissue() override { ++reissues; }
    void Show(const std::uint8_t *frame) override { shown.push_back(frame[0]); }
    int reissues = 0;
    std::vector<std::uint8_t> shown; // the first byte of each frame shown
};

enum Source { kLibrary, kBufferA, kBufferB, kUnknown, kNone };

TEST(LiveCapture, WhatEachDeliveryBrings)
{
    struct Case {
        const char *what;
        bool running, reissueAfterSizeError, frame;
        std::uint32_t flags;
        Source source;
        std::uint32_t requested;
        int reissues;
        std::uint32_t copied; // bytes of the frame replaced (0: none, nothing shown)
    };
    const Case cases[] = {
        {"library frame", true, false, true, HOOK_FLAG_FRAME, kLibrary, 0, 1, kFrame},
        {"stopped", false, false, true, HOOK_FLAG_FRAME, kLibrary, 0, 0, 0},
        {"size error, display", true, false, true, HOOK_FLAG_AREA_SIZE, kLibrary, 0, 0, 0},
        {"size error, run", true, true, true, HOOK_FLAG_AREA_SIZE, kLibrary, 0, 1, 0},
        {"short request", true, false, true, HOOK_FLAG_FRAME, kBufferA, 0x1000, 1, 0x1000},
        {"request beyond the block", true, false, true, HOOK_FLAG_FRAME, kBufferB, 0x1000, 1, 0x800},
        {"request size 0", true, false, true, HOOK_FLAG_FRAME, kBufferA, 0, 1, 0},
        {"unknown buffer", true, false, true, HOOK_FLAG_FRAME, kUnknown, 0x1000, 1, 0},
        {"overrun without data", true, false, true, HOOK_FLAG_LINE_OVERRUN, kNone, 0, 1, 0},
        {"no frame to copy into", true, false, false, HOOK_FLAG_FRAME, kLibrary, 0, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Recorder client;
        ops::LiveCapture capture(client, c.reissueAfterSizeError);
        std::vector<std::uint8_t> a(0x100000, 0xA1), b(0x800, 0xB2), other(kFrame, 0xEE);
        std::vector<std::uint8_t> library(kFrame, 0x11);
        capture.SetRequestBuffers(a.data(), std::uint32_t(a.size()), b.data(),
                                  std::uint32_t(b.size()), c.requested);
        if (c.frame) {
            ASSERT_TRUE(capture.MakeFrame());
        }
        capture.SetRunning(c.running);
        const std::uint8_t *data[] = {library.data(), a.data(), b.data(), other.data(), nullptr};
        const std::uint32_t kind = c.source == kLibrary ? HOOK_BUFFER_LIBRARY : HOOK_BUFFER_PROGRAM;
        capture.Deliver(c.flags, kind, data[c.source], t0);

        EXPECT_EQ(client.reissues, c.reissues);
        EXPECT_EQ(capture.Stats().Snapshot().deliveries, 1u); // recorded whatever happens next
        EXPECT_EQ(capture.FramesCopied(), c.copied ? 1u : 0u);
        EXPECT_EQ(client.shown.size(), c.copied ? 1u : 0u);
        const std::vector<std::uint8_t> frame = capture.FrameCopy();
        ASSERT_EQ(frame.size(), c.frame ? kFrame : 0u);
        if (!c.frame)
            continue;
        // What the delivery brought up to `copied`, the zeros of a new frame after it.
        const std::uint8_t brought = c.copied ? data[c.source][0] : 0;
        EXPECT_EQ(std::count(frame.begin(), frame.end(), brought), c.copied ? c.copied : kFrame);
    }
}

TEST(LiveCapture, HoldsTheFrameAndCountsMissedFrameTimes)
{
    Recorder client;
    ops::LiveCapture capture(client, true);
    ASSERT_TRUE(capture.MakeFrame());
    capture.SetRunning(true);
    capture.HoldFrameFrom(t0 + std::chrono::milliseconds(50));
    std::vector<std::uint8_t> frame(kFrame);
    // Arrival times in ms and the first byte: 33 ms apart, then 100 ms (two frame times missed),
    // then 300 ms (eight more); frames from 50 ms on do not replace the one held.
    const std::pair<int, std::uint8_t> arrivals[] = {{0, 1}, {33, 2}, {133, 3}, {433, 4}};
    for (const auto &[ms, first] : arrivals) {
        frame[0] = first;
        capture.Deliver(HOOK_FLAG_FRAME, HOOK_BUFFER_LIBRARY, frame.data(),
                        t0 + std::chrono::milliseconds(ms));
    }
    EXPECT_EQ(client.reissues, 4);
    EXPECT_EQ(client.shown, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(capture.FrameCopy()[0], 2);
    EXPECT_EQ(capture.Gaps(), 2u);
    EXPECT_EQ(capture.FramesMissed(), 2u + 8u);

    // A frame made afresh is filled by the next delivery even after the hold time.
    capture.DropFrame();
    ASSERT_TRUE(capture.MakeFrame());
    frame[0] = 5;
    capture.Deliver(HOOK_FLAG_FRAME, HOOK_BUFFER_LIBRARY, frame.data(), t0 + std::chrono::seconds(1));
    EXPECT_EQ(capture.FrameCopy()[0], 5);
}

} // namespace
