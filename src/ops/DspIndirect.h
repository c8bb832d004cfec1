// Indirect DSP write: the DSP-side address goes to MAC_DSP_ADR_90, then the value to
// MAC_DSP_ADR_94.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>

namespace ops {

// Steps "MAC_DSP_ADR_90", "MAC_DSP_ADR_94", each with the register's box; no box on success.
Result DspIndirectWrite(BoardHandle board, uint32_t dspAddress, uint32_t value);

} // namespace ops
