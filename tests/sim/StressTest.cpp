// Many threads on one board at once, as the program's dialogs, workers and hook do. Meant to
// run clean under the thread and address sanitizers; program buffers are freed right after the
// clear that drops them, so a late write would be caught.
#include "SimFixture.h"

using namespace simtest;

TEST_F(SimTest, ConcurrentCallersKeepTheBoardConsistent)
{
    SimSetFrameRate(0);
    std::atomic<bool> stop{false};
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [handle = h](const HookCall &c) {
            // Read what was delivered into the library's buffer (program buffers are freed by
            // another thread: keeping the hook away from them is the program's business) and
            // hand the library's buffer back as the program's re-issue does.
            if (c.bufferKind == HOOK_BUFFER_LIBRARY && c.data != nullptr &&
                c.flags != HOOK_FLAG_AREA_SIZE && c.flags != HOOK_FLAG_LINE_OVERRUN) {
                volatile uint8_t sink = static_cast<const uint8_t *>(c.data)[0];
                (void)sink;
                ImageRequest(handle, c.data, 0x100000);
            }
        };
    }
    std::vector<std::thread> threads;
    // Requests into short-lived program buffers, dropped by a clear before they are freed.
    threads.emplace_back([&] {
        for (int i = 0; i < 300 && !stop; ++i) {
            std::vector<std::unique_ptr<uint8_t[]>> buffers;
            for (int k = 0; k < 3; ++k) {
                buffers.emplace_back(new uint8_t[64 * BOARD_LINE_PITCH]);
                ImageRequest(h, buffers.back().get(), 64 * BOARD_LINE_PITCH);
            }
            ImageRequest(h, nullptr, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            EXPECT_EQ(ImageRequestClear(h), 0);
            if (i % 50 == 49) {
                EXPECT_EQ(BoardReset(h), 0);
            }
        }
    });
    // Scans started and stopped, frame and line units, 1 to 4 bytes.
    threads.emplace_back([&] {
        for (int i = 0; i < 200 && !stop; ++i) {
            const uint32_t bpp = 1 + i % 4;
            const bool frameUnit = i % 2 == 0;
            ScanPrepare(h, 1, (frameUnit ? 1 : 0) | SCAN_NO_MASK_OPEN_DELAY, bpp, 8);
            IoWriteLong(h, REG_MAC_DSP_ADR_90, DSP_PARAM_BLOCK);
            IoWriteLong(h, REG_MAC_DSP_ADR_94, 64 + i);
            IoWriteLong(h, REG_MAC_DSP_ADR_90, DSP_PARAM_BLOCK + 1);
            IoWriteLong(h, REG_MAC_DSP_ADR_94, 32);
            IoWriteLong(h, REG_MAC_DSP_ADR_90, DSP_COMMAND_WORD);
            IoWriteLong(h, REG_MAC_DSP_ADR_94, DSP_CMD_AREA_SCAN);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int32_t r = ScanCancel(h, 1 + i % 2, i % 3 == 0 ? 0 : 5);
            EXPECT_TRUE(r == 0 || r == BOARD_STATUS_CANCEL_IN_PROGRESS) << r;
        }
    });
    // Register access, statistics and the exclusive right beside it.
    threads.emplace_back([&] {
        std::vector<uint32_t> history(4 * OPERATION_HISTORY_LENGTH);
        for (int i = 0; i < 2000 && !stop; ++i) {
            uint32_t v = 0, first = 0, index[4];
            IoWriteShort(h, 0x60 + (i % 16) * 2, i);
            IoReadLong(h, static_cast<uint32_t>(i % 285), &v);
            int32_t a = 0, b = 0;
            ErrorInfoGet(h, &a, &b);
            if (i % 100 == 0)
                OperationInfoGet(h, &first, &history[0], &index[0], &history[1024], &index[1],
                                 &history[2048], &index[2], &history[3072], &index[3]);
            if (ExclusiveAcquire(h, 1) == 0)
                ExclusiveRelease(h);
        }
    });
    threads.emplace_back([&] {
        std::vector<uint8_t> buffer(4096);
        for (int i = 0; i < 500 && !stop; ++i) {
            FrameMemoryWrite(h, i % 4, static_cast<uint32_t>(i) * 4096, 4096, buffer.data());
            FrameMemoryRead(h, (i + 1) % 4, 0, 4096, buffer.data());
        }
    });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(BoardClose(h), 0);
    const uint64_t calls = SimHookCalls();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(SimHookCalls(), calls);
    EXPECT_GT(calls, 0u);
}
