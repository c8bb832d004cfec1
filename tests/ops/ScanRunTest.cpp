// The window-less scan run on the simulated board: a healthy run accounts for every frame and
// line and copies the right picture; each failing call gives its step; a board that stops
// delivering ends the run; a cancel stops the scan and leaves no request; an image the board
// lost shows in the counters and the findings.
#include "OpsFixture.h"

#include "ops/ScanRun.h"

#include <algorithm>
#include <atomic>
#include <functional>

using namespace opstest;

namespace {

// The checker's callbacks: forward to the run in progress; `beforeImage` runs first in the hook.
std::atomic<ops::ScanRun *> g_run{nullptr};
std::function<void()> g_beforeImage; // set before the run starts, read on the hook thread

void ForwardImage(uint32_t flags, uint32_t start, uint32_t count, uint32_t kind, void *data)
{
    if (g_beforeImage)
        g_beforeImage();
    if (ops::ScanRun *run = g_run.load())
        run->OnImage(flags, start, count, kind, data);
}
void ForwardEnd(int32_t reason)
{
    if (ops::ScanRun *run = g_run.load())
        run->OnScanEnd(reason);
}
void NoEvent(int32_t) {}

class ScanRunTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        BoardClose(board);
        void *second = nullptr;
        uint32_t error = 0;
        board = BoardOpen(0, ForwardImage, NoEvent, NoEvent, ForwardEnd, &window, &second, &error);
        ASSERT_NE(board, BOARD_INVALID_HANDLE);
        SimSetFrameRate(0); // as fast as the run takes the frames
        SimJournalClear();
    }
    void TearDown() override
    {
        BoardClose(board); // no callback after this
        g_beforeImage = nullptr;
        OpsTest::TearDown();
    }

    static ops::ScanRunParams Small(uint32_t frames)
    {
        ops::ScanRunParams p;
        p.area.lines = 64;
        p.area.pixels = 96;
        p.frames = frames;
        return p;
    }

    ops::ScanRunReport Run(const ops::ScanRunParams &params, std::function<bool()> cancelled = {},
                           std::function<void(double)> progress = {})
    {
        ops::ScanRun run(board, params);
        g_run = &run;
        ops::ScanRunReport report = run.Run(cancelled, progress);
        g_run = nullptr;
        return report;
    }

    // No request the run issued is still pending: the last clear follows the last request, and no
    // program buffer it named is still named by the library.
    void ExpectNoRequestLeft()
    {
        size_t lastRequest = 0, lastClear = 0;
        SimCall c;
        for (size_t i = 0; i < SimJournalCount(); ++i) {
            if (SimJournalEntry(i, &c) != 0)
                continue;
            if (c.op == SIM_OP_ImageRequest)
                lastRequest = i + 1;
            if (c.op == SIM_OP_ImageRequestClear && c.result == 0)
                lastClear = i + 1;
            if (c.op == SIM_OP_ImageRequest && c.args[0] != 0) {
                EXPECT_EQ(SimNamedBuffersIn(reinterpret_cast<const void *>(c.args[0]), c.args[1]), 0u);
            }
        }
        EXPECT_GT(lastClear, lastRequest);
    }

    static void ExpectPicture(const ops::ScanRunReport &r)
    {
        ASSERT_EQ(r.lastFrame.size(), size_t(r.pixels) * r.lines * r.pixelBytes);
        for (uint32_t y = 0; y < r.lines; ++y)
            for (uint32_t x = 0; x < r.pixels; ++x) {
                const uint32_t expected = SimAreaPixel(x, y, r.pixels, r.lines, r.pixelBytes, r.lastFrameNumber);
                uint32_t got = 0;
                for (uint32_t b = 0; b < r.pixelBytes; ++b)
                    got |= uint32_t(r.lastFrame[(size_t(y) * r.pixels + x) * r.pixelBytes + b]) << (8 * b);
                ASSERT_EQ(got, expected) << "pixel " << x << "," << y << " of frame " << r.lastFrameNumber;
            }
    }
};

TEST_F(ScanRunTest, HealthyRunsAccountForEveryFrameAndLine)
{
    const struct {
        const char *name;
        uint32_t unitFlags, lineInterval, pixelBytes;
        bool library;
    } cases[] = {
        {"frame unit, library buffer", SCAN_UNIT_FRAME, 1, 1, true},
        {"frame unit, program buffers, 16 bit", SCAN_UNIT_FRAME, 1, 2, false},
        {"line unit runs of 10, library buffer", SCAN_UNIT_LINE, 10, 1, true},
        {"line unit runs of 16, program buffers, 32 bit", SCAN_UNIT_LINE, 16, 4, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // a fresh board for each case
        ops::ScanRunParams p = Small(40);
        p.area.unitFlags = c.unitFlags;
        p.area.lineInterval = c.lineInterval;
        p.area.pixelBytes = c.pixelBytes;
        p.libraryBuffer = c.library;
        double lastProgress = -1;
        const ops::ScanRunReport r = Run(p, {}, [&](double share) { lastProgress = share; });
        EXPECT_TRUE(r.result.ok()) << r.result.step << " " << r.result.message;
        EXPECT_EQ(r.framesAccounted, 40u);
        EXPECT_EQ(r.linesAccounted, 40u * 64);
        EXPECT_EQ(r.endReason, SCAN_END_NORMAL);
        EXPECT_EQ(r.noRequestAfter, r.noRequestBefore);
        EXPECT_EQ(r.hookBusyAfter, r.hookBusyBefore);
        EXPECT_EQ(r.lineGaps, 0u);
        EXPECT_EQ(r.intervals.count, 39u);
        EXPECT_EQ(r.diagnosis, "");
        EXPECT_LE(lastProgress, 1.0);
        // The last frame asked for is always the one copied.
        EXPECT_EQ(r.lastFrameNumber, 39u);
        ExpectPicture(r);
        ExpectNoRequestLeft();
        // The scan was programmed as the scan tool's Start does: ScanPrepare with the run's unit.
        const std::vector<std::string> prepares = CallsOf(SIM_OP_ScanPrepare);
        ASSERT_EQ(prepares.size(), 1u);
        EXPECT_EQ(prepares[0], "ScanPrepare 1 " + std::to_string(c.unitFlags) + " " +
                                   std::to_string(c.pixelBytes) + " " + std::to_string(c.lineInterval));
    }
}

TEST_F(ScanRunTest, FailingCallsGiveTheirStep)
{
    const struct {
        int op;
        int32_t status;
        const char *step;
        const char *text;
    } cases[] = {
        {SIM_OP_ErrorInfoGet, 3, "ErrorInfoGet", "エラー情報取得が失敗しました。"},
        {SIM_OP_ImageRequest, 3, "ImageRequest", "矩形データ取得要求が失敗しました。"},
        {SIM_OP_ScanPrepare, 3, "ScanPrepare", "Scan起動準備が失敗しました。"},
        {SIM_OP_ScanPrepare, BOARD_STATUS_SCAN_FIFO_INIT, "ScanPrepare", "走査FIFO初期化エラーが発生しました。"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step);
        SetUp(); // a fresh board for each case
        SimInjectResult(c.op, c.status, 1);
        ops::ScanRunParams p = Small(5);
        p.libraryBuffer = false;
        const ops::ScanRunReport r = Run(p);
        EXPECT_EQ(r.result.step, c.step);
        EXPECT_EQ(r.result.status, c.status);
        EXPECT_EQ(r.result.message, c.text);
        EXPECT_EQ(SimScanRunning(), 0) << "no scan left running";
        if (c.op != SIM_OP_ErrorInfoGet)
            ExpectNoRequestLeft();
    }
    // A clear that fails at the end is reported, never taken for success (and the buffers it
    // could not free stay allocated).
    SetUp();
    g_beforeImage = [] { SimInjectResult(SIM_OP_ImageRequestClear, 3, -1); }; // after the start's
    ops::ScanRunParams p = Small(3);
    p.libraryBuffer = false;
    const ops::ScanRunReport r = Run(p);
    g_beforeImage = nullptr;
    SimClearInjections();
    EXPECT_EQ(r.result.step, "ImageRequestClear");
    EXPECT_EQ(r.result.status, 3);
    EXPECT_EQ(r.result.message, "矩形データ取得要求クリアが失敗しました。");
    EXPECT_EQ(r.framesAccounted, 3u);
}

TEST_F(ScanRunTest, NoDeliveryEndsTheRunAfterTheTimeOut)
{
    SimSetStepMode(1); // the board delivers nothing unless stepped
    ops::ScanRunParams p = Small(5);
    p.deliveryTimeout = std::chrono::milliseconds(200);
    const ops::ScanRunReport r = Run(p);
    EXPECT_EQ(r.result.step, "timeout");
    EXPECT_EQ(r.result.message, "200 ms 以内に画像転送がありませんでした。");
    EXPECT_EQ(r.framesAccounted, 0u);
    EXPECT_NE(r.diagnosis.find("フレーム数が合いません (要求 5、受信 0)。"), std::string::npos) << r.diagnosis;
    EXPECT_EQ(SimScanRunning(), 0);
    ExpectNoRequestLeft();
}

TEST_F(ScanRunTest, CancelStopsTheScanAndLeavesNoRequest)
{
    for (bool library : {true, false}) {
        SCOPED_TRACE(library ? "library buffer" : "program buffers");
        SetUp(); // a fresh board for each case
        ops::ScanRunParams p = Small(0); // until cancelled
        p.libraryBuffer = library;
        std::atomic<bool> cancel{false};
        g_beforeImage = [&] { cancel = true; }; // as soon as frames flow
        const ops::ScanRunReport r = Run(p, [&] { return cancel.load(); });
        g_beforeImage = nullptr;
        EXPECT_EQ(r.result.step, "cancelled");
        EXPECT_EQ(r.result.message, "走査を中止しました。");
        EXPECT_EQ(r.endReason, SCAN_END_FRAME_CANCEL);
        EXPECT_GT(r.framesAccounted, 0u);
        EXPECT_EQ(SimScanRunning(), 0);
        EXPECT_EQ(CallsOf(SIM_OP_ScanCancel), (std::vector<std::string>{"ScanCancel 1 1000"}));
        ExpectNoRequestLeft();
    }
}

// One request in flight whose re-issue the board swallows (answered, never queued): the next
// frame finds no request and is lost; the run then times out with the loss in its findings.
TEST_F(ScanRunTest, ALostImageShowsInTheCounters)
{
    SimSetStepMode(1);
    ops::ScanRunParams p = Small(3);
    p.requestsInFlight = 1;
    p.deliveryTimeout = std::chrono::milliseconds(300);
    std::atomic<int> seen{0};
    g_beforeImage = [&] {
        if (seen++ == 0)
            SimInjectResult(SIM_OP_ImageRequest, 0, 1); // the re-issue after frame 0
    };
    bool stepped = false;
    const ops::ScanRunReport r = Run(p, {}, [&](double) {
        if (!stepped) {
            stepped = true;
            SimStep(2); // frame 0 delivered, frame 1 lost for want of a request
        }
    });
    EXPECT_EQ(r.result.step, "timeout");
    EXPECT_EQ(r.framesAccounted, 1u);
    EXPECT_EQ(r.noRequestAfter - r.noRequestBefore, 1);
    EXPECT_EQ(r.hookBusyAfter, r.hookBusyBefore);
    EXPECT_NE(r.diagnosis.find("取得要求がなく失われた画像があります (1 件)。"), std::string::npos) << r.diagnosis;
}

// The board reports a lost line run (a line overrun) in the middle of a line-unit run: the run
// counts it and names it in its findings.
TEST_F(ScanRunTest, ALineOverrunIsCountedAndNamed)
{
    ops::ScanRunParams p = Small(4);
    p.area.unitFlags = SCAN_UNIT_LINE;
    p.area.lineInterval = 16;
    std::atomic<int> calls{0};
    g_beforeImage = [&] {
        if (calls++ == 5) // as the library reports a run it could not deliver
            if (ops::ScanRun *run = g_run.load())
                run->OnImage(HOOK_FLAG_LINE_OVERRUN, 16, 0, HOOK_BUFFER_LIBRARY, nullptr);
    };
    const ops::ScanRunReport r = Run(p);
    EXPECT_EQ(r.lostRuns, 1u);
    EXPECT_NE(r.diagnosis.find("Lineスキャン オーバーランエラーが 1 回ありました。"), std::string::npos)
        << r.diagnosis;
}

// The simulator's picture faults as the run sees them: lines claimed but not written are named
// with their frame, repeated frames by number; a dead column and the still chart show in the
// comparison with a reference picture of the still chart.
TEST_F(ScanRunTest, PictureFaultsAreFoundAndNamed)
{
    const struct {
        const char *scenarios;
        uint32_t unitFlags;
        bool library;
        const char *unwritten;       // frame:first-last ...
        std::vector<uint32_t> stale; // frame numbers
        const char *finding;         // in the diagnosis
        uint64_t differing;          // from the still chart (128 x 64, 8 bit); -1: not compared
    } cases[] = {
        {"short-frame", SCAN_UNIT_FRAME, false, "6:48-63 13:48-63 ", {},
         "フレーム 6: ライン 48～63 が書き込まれていません。", uint64_t(-1)},
        {"short-frame", SCAN_UNIT_LINE, false, "6:48-63 13:48-63 ", {}, "(2 フレーム、計 32 ライン)", uint64_t(-1)},
        {"stale-frame", SCAN_UNIT_FRAME, true, "", {9}, "同じ画像のフレームが 1 枚ありました (フレーム 9)。", uint64_t(-1)},
        {"stale-frame", SCAN_UNIT_LINE, false, "", {9}, "(フレーム 9)", uint64_t(-1)},
        {"still-picture,dead-column", SCAN_UNIT_FRAME, false, "", {}, "", 64},
        {"still-picture", SCAN_UNIT_LINE, true, "", {}, "", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.scenarios) + (c.unitFlags == SCAN_UNIT_LINE ? ", line unit" : ", frame unit"));
        SetUp(); // a fresh board for each case
        ASSERT_EQ(SimApplyScenario(c.scenarios), 0);
        ops::ScanRunParams p = Small(16);
        p.area.pixels = 128;
        p.area.unitFlags = c.unitFlags;
        p.area.lineInterval = 16;
        p.libraryBuffer = c.library;
        p.findStaleFrames = c.differing == uint64_t(-1); // every frame of the still chart repeats
        const ops::ScanRunReport r = Run(p);
        EXPECT_TRUE(r.result.ok()) << r.result.step;
        EXPECT_EQ(r.framesAccounted, 16u);
        std::string unwritten;
        for (const auto &u : r.unwritten)
            unwritten += std::to_string(u.frame) + ":" + std::to_string(u.lines.first) + "-" +
                         std::to_string(u.lines.end - 1) + " ";
        EXPECT_EQ(unwritten, c.unwritten);
        EXPECT_EQ(r.staleFrameNumbers, c.stale);
        EXPECT_NE(r.diagnosis.find(c.finding), std::string::npos) << r.diagnosis;
        if (c.differing == uint64_t(-1))
            continue;
        SimSetScenario("still-picture", 1);
        ops::Picture chart{128, 64, 1, std::vector<uint8_t>(128 * 64)};
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 128; ++x)
                chart.data[y * 128 + x] = uint8_t(SimAreaPixel(x, y, 128, 64, 1, 0));
        const ops::PictureDifference d =
            ops::ComparePictures({r.lastFrame.data(), 128, 64, 1}, chart.View(), 2, 0.001);
        EXPECT_EQ(d.differing, c.differing);
        EXPECT_EQ(d.matches, c.differing == 0);
        if (c.differing != 0) { // column 100, every line
            EXPECT_EQ(std::vector<uint32_t>({d.boxX0, d.boxY0, d.boxX1, d.boxY1, d.worstX, d.worstActual}),
                      std::vector<uint32_t>({100, 0, 101, 64, 100, 0}));
            EXPECT_GE(d.difference[d.worstY * 128 + 100], 64);
            EXPECT_EQ(d.difference[d.worstY * 128 + 99], 0);
        }
    }
}

} // namespace
