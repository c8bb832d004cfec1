#include "ops/FrameCompare.h"

#include "ops/FrameMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ops {
namespace {

constexpr uint32_t kChunk = kFrameTransfer;
constexpr uint32_t kChunksPerBank = FRAME_MEMORY_BANK_SIZE / kChunk; // 32
constexpr uint32_t kPauseEvery = 50000;                              // bytes checked between pauses

void Call(const std::function<void(std::string_view)> &fn, std::string_view text)
{
    if (fn)
        fn(text);
}

bool Cancelled(const CompareHooks &hooks)
{
    return hooks.cancelled && hooks.cancelled();
}

} // namespace

Result CompareFrameMemory(BoardHandle board, uint8_t base, std::vector<uint8_t> &buffer,
                          const CompareHooks &hooks)
{
    using Clock = CompareHooks::Clock;
    if (buffer.size() < kChunk)
        return NoTransferBuffer();
    uint8_t *data = buffer.data();
    char text[160];
    const Result cancelled = Failed("cancelled", 0, {});

    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank) {
        std::memset(data, static_cast<uint8_t>(base + bank), kChunk);
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            if (Cancelled(hooks))
                return cancelled;
            std::snprintf(text, sizeof text, "Fill Bank%u %u/%u", bank, chunk + 1, kChunksPerBank);
            Call(hooks.progress, text);
            const int32_t status = FrameMemoryWrite(board, bank, chunk * kChunk, kChunk, data);
            if (status != 0)
                return Failed("FrameMemoryWrite", status, "フレームメモリライトが失敗しました。");
            if (hooks.pauseUntil)
                hooks.pauseUntil(Clock::now());
        }
    }

    Clock::duration overslept{0};
    auto takePause = [&] {
        if (!hooks.pauseUntil)
            return;
        const Clock::time_point start = Clock::now();
        hooks.pauseUntil(start + std::max(hooks.pause - overslept, Clock::duration{0}));
        overslept = std::max(overslept + (Clock::now() - start) - hooks.pause, Clock::duration{0});
    };

    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank) {
        const uint8_t expected = static_cast<uint8_t>(base + bank);
        uint8_t pattern[4096];
        std::memset(pattern, expected, sizeof pattern);
        uint32_t records = 0;
        uint32_t omitted = 0;
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            if (Cancelled(hooks))
                return cancelled;
            std::snprintf(text, sizeof text, "Check Bank%u %u/%u", bank, chunk + 1, kChunksPerBank);
            Call(hooks.progress, text);
            std::memset(data, 0, kChunk);
            const int32_t status = FrameMemoryRead(board, bank, chunk * kChunk, kChunk, data);
            if (status != 0)
                return Failed("FrameMemoryRead", status, "フレームメモリリードが失敗しました。");
            if (hooks.tally != nullptr)
                hooks.tally->AddChecked(bank, kChunk);
            for (uint32_t start = 0; start < kChunk; start += kPauseEvery) {
                takePause();
                const uint32_t end = std::min(start + kPauseEvery, kChunk);
                for (uint32_t piece = start; piece < end; piece += sizeof pattern) {
                    const uint32_t length = std::min<uint32_t>(sizeof pattern, end - piece);
                    if (std::memcmp(data + piece, pattern, length) == 0)
                        continue;
                    for (uint32_t i = piece; i < piece + length; ++i) {
                        if (data[i] == expected)
                            continue;
                        if (hooks.tally != nullptr)
                            hooks.tally->Add(bank, chunk * kChunk + i, expected, data[i]);
                        if (records == kMaxRecordsPerBank) {
                            ++omitted;
                            continue;
                        }
                        ++records;
                        Call(hooks.log, "● Cmp Error Detect!\r\n");
                        std::snprintf(text, sizeof text,
                                      "   BankNo = %d  Offset = %08XH\r\n   正常値：%02XH Read値：%02XH\r\n",
                                      static_cast<int>(bank), chunk * kChunk + i, expected, data[i]);
                        Call(hooks.log, text);
                    }
                }
            }
        }
        if (omitted != 0) {
            std::snprintf(text, sizeof text, "● BankNo = %d  記録を省略したエラー = %u件\r\n",
                          static_cast<int>(bank), omitted);
            Call(hooks.log, text);
        }
    }
    return Succeeded();
}

} // namespace ops
