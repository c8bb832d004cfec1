// The window-less live video run on the simulated board: the live display's start sequence, the
// frames and the picture it keeps, the failing request, a board that stops delivering, a cancel;
// and how gaps between frames count as missed frames.
#include "OpsFixture.h"

#include "ops/VideoRun.h"

#include <atomic>

using namespace opstest;

namespace {

std::atomic<ops::VideoRun *> g_video{nullptr};

void ForwardImage(uint32_t flags, uint32_t start, uint32_t count, uint32_t kind, void *data)
{
    if (ops::VideoRun *run = g_video.load())
        run->OnImage(flags, start, count, kind, data);
}
void NoEvent(int32_t) {}

class VideoRunTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        BoardClose(board);
        void *second = nullptr;
        uint32_t error = 0;
        board = BoardOpen(0, ForwardImage, NoEvent, NoEvent, NoEvent, &window, &second, &error);
        ASSERT_NE(board, BOARD_INVALID_HANDLE);
        SimJournalClear();
    }
    void TearDown() override
    {
        BoardClose(board);
        OpsTest::TearDown();
    }

    ops::VideoRunReport Run(ops::VideoRunParams params, std::function<bool()> cancelled = {},
                            std::function<void(double)> progress = {})
    {
        ops::VideoRun run(board, params);
        g_video = &run;
        ops::VideoRunReport report = run.Run(cancelled, progress);
        g_video = nullptr;
        return report;
    }

    static bool LiveRunning() { return (SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_LIVE) != 0; }

    static void ExpectStoppedAndCleared()
    {
        EXPECT_FALSE(LiveRunning());
        const std::vector<std::string> calls = Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), "ErrorInfoGet");
        size_t lastRequest = 0, lastClear = 0;
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].rfind("ImageRequest ", 0) == 0)
                lastRequest = i + 1;
            if (calls[i] == "ImageRequestClear")
                lastClear = i + 1;
        }
        EXPECT_GT(lastClear, lastRequest) << "no request left behind";
    }
};

TEST(MissedFrames, GapsOverOneAndAHalfFrameTimes)
{
    const double frameUs = 1e6 / 29.97;
    EXPECT_EQ(ops::MissedFrames(frameUs), 0u);
    EXPECT_EQ(ops::MissedFrames(1.5 * frameUs), 0u);
    EXPECT_EQ(ops::MissedFrames(1.6 * frameUs), 1u);
    EXPECT_EQ(ops::MissedFrames(2 * frameUs), 1u);
    EXPECT_EQ(ops::MissedFrames(5.1 * frameUs), 4u);
}

TEST_F(VideoRunTest, StartsAsTheLiveDisplayAndKeepsAPicture)
{
    // One frame per look at the run's progress, each after the previous hook call has returned:
    // a slow machine loses none.
    SimSetStepMode(1);
    ops::VideoRunParams p;
    p.duration = std::chrono::milliseconds(500);
    const ops::VideoRunReport r = Run(p, {}, [](double) { SimStep(1); });
    EXPECT_TRUE(r.result.ok()) << r.result.step;
    EXPECT_GT(r.frames, 0u);
    EXPECT_EQ(r.sizeErrors, 0u);
    EXPECT_EQ(r.noRequestAfter, r.noRequestBefore);
    EXPECT_EQ(r.hookBusyAfter, r.hookBusyBefore);

    const std::vector<std::string> calls = Calls();
    const std::vector<std::string> start = {"ErrorInfoGet",
                                            "IoWriteLong 68 " + std::to_string((480u << 16) | 640u),
                                            "IoWriteLong 136 " + std::to_string((480u << 16) | 720u),
                                            "IoWriteLong 276 " + std::to_string((480u << 16) | 720u),
                                            "ImageRequestClear"};
    ASSERT_GT(calls.size(), start.size() + 12);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 5), start);
    for (size_t i = 5; i < 15; ++i)
        EXPECT_EQ(calls[i], "ImageRequest null 0");
    EXPECT_EQ(calls[15], "ScanPrepare 1 1 3 0");
    EXPECT_EQ(calls[16], "IoWriteLong 264 3");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "IoWriteLong 264 0"), calls.end());
    ExpectStoppedAndCleared();

    // RGB: the grey ramp at the bottom is equal in all three, rising left to right; the bars
    // above are full-scale colours.
    ASSERT_EQ(r.snapshot.size(), size_t(640) * 480 * 3);
    auto pixel = [&](uint32_t x, uint32_t y) { return &r.snapshot[(size_t(y) * 640 + x) * 3]; };
    for (uint32_t x = 0; x < 640; x += 13) {
        const uint8_t *p = pixel(x, 470);
        EXPECT_EQ(p[0], uint8_t(x * 255 / 639));
        EXPECT_EQ(p[1], p[0]);
        EXPECT_EQ(p[2], p[0]);
        for (int c = 0; c < 3; ++c) {
            const uint8_t v = pixel(x, 200)[c];
            EXPECT_TRUE(v == 0 || v == 255) << x;
        }
    }
}

TEST_F(VideoRunTest, AFailingRequestStopsBeforeTheCapture)
{
    SimInjectResult(SIM_OP_ImageRequest, 3, 1);
    const ops::VideoRunReport r = Run({});
    EXPECT_EQ(r.result.step, "ImageRequest");
    EXPECT_EQ(r.result.message, "画像データ取得要求が失敗しました。");
    EXPECT_EQ(r.frames, 0u);
    ExpectStoppedAndCleared();
    EXPECT_EQ(CallsOf(SIM_OP_IoWriteLong).size(), 3u) << "live video never started";
}

TEST_F(VideoRunTest, NoFrameOrACancelEndsTheRun)
{
    SimSetStepMode(1); // live frames come only when stepped
    ops::VideoRunParams p;
    p.deliveryTimeout = std::chrono::milliseconds(200);
    ops::VideoRunReport r = Run(p);
    EXPECT_EQ(r.result.step, "timeout");
    EXPECT_EQ(r.result.message, "200 ms 以内に画像転送がありませんでした。");
    EXPECT_TRUE(r.snapshot.empty());
    EXPECT_NE(r.diagnosis.find("フレームがほとんど届きませんでした (0 フレーム)。"), std::string::npos);
    ExpectStoppedAndCleared();

    SetUp();
    r = Run({}, [] { return true; });
    EXPECT_EQ(r.result.step, "cancelled");
    EXPECT_EQ(r.result.message, "ライブ映像の取得を中止しました。");
    ExpectStoppedAndCleared();
}

// A delivery from a buffer the run never asked for (another run's request still on its way)
// has no known size: it is counted, answered with a request, and never read.
TEST_F(VideoRunTest, AFrameFromAnUnknownBufferIsNotRead)
{
    SimSetStepMode(1); // no live frame but the one handed in below
    std::vector<uint8_t> foreign(size_t(ops::kVideoWidth) * ops::kVideoHeight * 3, 0xEE);
    int calls = 0;
    const ops::VideoRunReport r = Run({}, [&] { return calls > 3; }, [&](double) {
        if (calls++ == 0)
            ForwardImage(HOOK_FLAG_FRAME, 0, ops::kVideoHeight, HOOK_BUFFER_PROGRAM, foreign.data());
    });
    EXPECT_EQ(r.result.step, "cancelled");
    EXPECT_EQ(r.deliveries, 1u);
    EXPECT_TRUE(r.snapshot.empty());
    EXPECT_EQ(CallsOf(SIM_OP_ImageRequest).size(), 11u) << "ten before the start, one re-issue";
}

} // namespace
