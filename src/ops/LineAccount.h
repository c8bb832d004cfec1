// The hook's line accounting of a line-unit scan: the running line total of the current frame,
// and the two errors it shows ("Line Num too Small" at a frame end whose total is not the frame's
// lines, "Line Over" once the total passes them). Runs on a board library callback thread.
#pragma once

#include "ops/Result.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace ops {

class LineAccount {
public:
    // total: where the running total lives (the scan tool keeps it in g_nHookLineTotal).
    explicit LineAccount(std::atomic<uint32_t> &total) : total_(total) {}

    // One delivery: a start at line 0 restarts the total, any other adds to it (in every unit).
    // In line units, answers the errors to show, in order: steps "Line Num too Small" and
    // "Line Over", each with its text (shown and logged alike) and caption, no icon.
    std::vector<Result> Deliver(uint32_t flags, uint32_t startLine, uint32_t lineCount,
                                uint32_t linesPerFrame, bool lineUnit);

private:
    std::atomic<uint32_t> &total_; // written by the hook only
};

} // namespace ops
