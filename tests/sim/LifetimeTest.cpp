// What the library promises about buffers and callbacks when requests are cleared, the board is
// reset or closed, and a hook blocks.
#include "SimFixture.h"

using namespace simtest;

namespace {

// A hook that blocks its first call until released.
struct BlockFirstHook {
    std::mutex m;
    std::condition_variable cv;
    bool entered = false, released = false;

    void install()
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [this](const HookCall &) {
            std::unique_lock lock(m);
            if (entered)
                return;
            entered = true;
            cv.notify_all();
            cv.wait(lock, [&] { return released; });
        };
    }
    bool waitEntered()
    {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered; });
    }
    void release()
    {
        std::lock_guard lock(m);
        released = true;
        cv.notify_all();
    }
};

} // namespace

TEST_F(SimTest, ClearAndResetDropRequestsForGood)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "ImageRequestClear" : "BoardReset");
        recorder().clear();
        SimSetFrameRate(0);
        BlockFirstHook block;
        block.install();
        constexpr uint32_t size = 16 * BOARD_LINE_PITCH;
        std::vector<std::vector<uint8_t>> buffers(4, std::vector<uint8_t>(size));
        for (auto &b : buffers)
            ASSERT_EQ(ImageRequest(h, b.data(), size), 0);
        startArea(128, 16, 1, true, 0, 0);
        ASSERT_TRUE(block.waitEntered());
        // Buffer 0 is in the hook, later ones are filled or queued.
        ASSERT_EQ(round == 0 ? ImageRequestClear(h) : BoardReset(h), 0);
        for (size_t i = 1; i < buffers.size(); ++i)
            std::fill(buffers[i].begin(), buffers[i].end(), 0xC3);
        block.release();
        if (round == 0) {
            // The scan goes on: a fresh request proves the engine ran past the dropped ones.
            ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
            ASSERT_TRUE(recorder().waitFor([] {
                return !recorder().hooks.empty() &&
                       recorder().hooks.back().bufferKind == HOOK_BUFFER_LIBRARY;
            }));
            ASSERT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
            ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
        } else {
            EXPECT_FALSE(SimScanRunning());
        }
        ASSERT_TRUE(recorder().waitFor([] { return recorder().hooks.size() >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lock(recorder().mutex);
        for (size_t i = 1; i < buffers.size(); ++i) {
            EXPECT_TRUE(std::all_of(buffers[i].begin(), buffers[i].end(),
                                    [](uint8_t b) { return b == 0xC3; }))
                << "buffer " << i << " written after it was dropped";
            for (const HookCall &c : recorder().hooks)
                EXPECT_NE(c.data, buffers[i].data());
        }
    }
}

TEST_F(SimTest, CloseWaitsForABlockedHookWithoutLockingTheLibrary)
{
    SimSetFrameRate(0);
    BlockFirstHook block;
    block.install();
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 8, 1, true, 0, 0);
    ASSERT_TRUE(block.waitEntered());

    // While the hook blocks the library answers other calls.
    uint32_t v = 0;
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &v), 0);
    EXPECT_EQ(ImageRequest(h, nullptr, 0), 0);
    int32_t a = 0, b = 0;
    EXPECT_EQ(ErrorInfoGet(h, &a, &b), 0);

    std::atomic<bool> closed{false};
    std::thread closer([&] {
        EXPECT_EQ(BoardClose(h), 0);
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(closed.load());                       // still waiting for the hook
    EXPECT_NE(IoReadLong(h, SIM_REG_BOARD_ID, &v), 0); // the handle is already gone
    const size_t before = recorder().hookCount();
    block.release();
    closer.join();
    EXPECT_TRUE(closed.load());
    const uint64_t calls = SimHookCalls();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(SimHookCalls(), calls);
    EXPECT_LE(recorder().hookCount(), before + 1);
    EXPECT_EQ(SimOpenBoards(), 0u);
}

TEST_F(SimTest, NoCallbackAfterCloseEvenFromInsideAHook)
{
    SimSetFrameRate(0);
    std::atomic<bool> closedInHook{false};
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [&, handle = h](const HookCall &) {
            // Keeps requests coming, and closes the board from the hook at the tenth call.
            ImageRequest(handle, nullptr, 0);
            if (SimHookCalls() == 10 && !closedInHook.exchange(true)) {
                EXPECT_EQ(BoardClose(handle), 0);
            }
        };
    }
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 8, 1, true, 0, 0);
    ASSERT_TRUE(recorder().waitFor([] { return recorder().hooks.size() >= 10; }));
    ASSERT_TRUE(closedInHook.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(SimHookCalls(), 10u);
    EXPECT_EQ(SimOpenBoards(), 0u);
}
