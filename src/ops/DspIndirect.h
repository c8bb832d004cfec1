// Indirect DSP write: the DSP-side address goes to MAC_DSP_ADR_90, then the value to
// MAC_DSP_ADR_94.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>

namespace ops {

// The two rules the program writes by. Checked (the scan-data-set test): stops at the first
// failing register, steps "MAC_DSP_ADR_90", "MAC_DSP_ADR_94", each with the register's box; no
// box on success.
Result DspIndirectWrite(BoardHandle board, uint32_t dspAddress, uint32_t value);
// Unchecked (the area scan's parameter block): both registers are written and the results are
// not looked at.
void DspIndirectWriteUnchecked(BoardHandle board, uint32_t dspAddress, uint32_t value);

} // namespace ops
