// Frame memory transfers: read a range of one bank, fill a range with one byte. A range lies in
// one bank, starts on a 4-byte boundary, is a non-zero multiple of 4 bytes, at most one transfer
// (1 MB) long, and ends inside the bank.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ops {

constexpr uint32_t kFrameTransfer = FRAME_MEMORY_MAX_TRANSFER; // one transfer, 1 MB

struct FrameRange {
    uint32_t bank = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

enum class FrameDirection { Read, Write };

// Step "parameter" with the tool's box, or success without one.
Result CheckFrameRange(FrameDirection direction, const FrameRange &range);

// A zero-filled working buffer of one transfer; nothing when memory is short.
std::optional<std::vector<uint8_t>> MakeTransferBuffer();
// Step "buffer": the working buffer could not be had.
Result NoTransferBuffer();

struct FrameRead {
    Result result;
    std::vector<uint8_t> data; // one transfer long; the range's bytes at its start
};

// Steps: "parameter", "buffer", "FrameMemoryRead". No box on success.
FrameRead ReadFrameMemory(BoardHandle board, const FrameRange &range);
// Steps: "parameter", "buffer", "FrameMemoryWrite". No box on success.
Result FillFrameMemory(BoardHandle board, const FrameRange &range, uint8_t fill);

} // namespace ops
