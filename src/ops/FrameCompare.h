// The fill-and-compare engine: fills all four banks with one byte each (base + bank), reads them
// back one transfer at a time and logs every byte that differs (the first 4096 per bank; the rest
// are counted). Before every 50000th byte checked it takes a pause of the caller's; what the
// pauses oversleep is taken off the next ones, so a compare's pauses add up to their nominal total.
#pragma once

#include "board/pel2ctl.h"
#include "ops/MismatchTally.h"
#include "ops/Result.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace ops {

struct CompareHooks {
    using Clock = std::chrono::steady_clock;
    std::function<void(std::string_view)> progress;      // "Fill Bank0 1/32", "Check Bank3 32/32"
    std::function<void(std::string_view)> log;           // mismatch records, in the tool's lines
    std::function<void(Clock::time_point)> pauseUntil;   // the pauses; also called with now after each fill
    std::function<bool()> cancelled;                     // optional; checked before each transfer
    Clock::duration pause = std::chrono::milliseconds(10); // before every 50000th byte checked
    // Optional: also tallies every byte checked and every mismatch (beyond the log's cap too);
    // the log and progress stay exactly as they are.
    MismatchTally *tally = nullptr;
};

constexpr uint32_t kMaxRecordsPerBank = 4096;

// Steps: "FrameMemoryWrite", "FrameMemoryRead" (box), "cancelled" (no box). The buffer is the
// caller's working buffer of one transfer.
Result CompareFrameMemory(BoardHandle board, uint8_t base, std::vector<uint8_t> &buffer,
                          const CompareHooks &hooks);

} // namespace ops
