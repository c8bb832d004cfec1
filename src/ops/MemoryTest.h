// The frame memory test: one pattern over whole banks. Each bank is written in 1 MB transfers,
// read back and compared with the pattern generated again; only the pieces that differ are
// looked at byte by byte (word by word for address-in-address) and tallied. A many-pass pattern
// writes and reads the bank once per pass; a bad unit counts once, at the first pass that finds it.
#pragma once

#include "board/pel2ctl.h"
#include "ops/MemoryPattern.h"
#include "ops/MismatchTally.h"
#include "ops/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ops {

struct MemoryTestOptions {
    std::vector<uint32_t> banks = {0, 1, 2, 3};
    uint64_t seed = 0;       // for Random; the report carries it so a run can be replayed
    bool preserve = false;   // save each bank first and write it back afterwards (also after a
                             // failure or a cancel, as far as the board lets)
    uint32_t recordCap = 4096; // mismatch records kept per bank; the totals stay exact
    std::function<bool()> cancelled;               // optional, checked before each transfer
    std::function<void(double fraction)> progress; // optional, after each transfer, 0..1
    // Optional, after each pass of a bank was read back: the bank, the pass (from 0) and the
    // bank's bad units so far.
    std::function<void(uint32_t bank, uint32_t pass, uint64_t errors)> passChecked;
};

struct MemoryPatternReport {
    // Steps: "parameter" (a bank out of range; nothing touched), "buffer", "FrameMemoryWrite",
    // "FrameMemoryRead" (with the frame memory tool's boxes), "cancelled" (no box).
    Result result;
    MemoryPattern pattern = MemoryPattern::Zeros;
    uint64_t seed = 0;
    std::vector<BankTally> banks; // one per bank tested, in the order asked (so far, on failure)
    double seconds = 0;
};

MemoryPatternReport RunMemoryPattern(BoardHandle board, MemoryPattern pattern,
                                     const MemoryTestOptions &options);

// One line in the program's voice (Japanese) on what went wrong in the bank: the bad offsets
// when there are few, otherwise the stuck data bits and, for address-in-address, the address
// bits that differ, with the number of bad units. Empty for a clean bank.
std::string DescribeBank(const BankTally &tally, MemoryPattern pattern);

} // namespace ops
