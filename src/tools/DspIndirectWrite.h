// Indirect DSP write: the DSP-side address goes to MAC_DSP_ADR_90, then the value to
// MAC_DSP_ADR_94. A failing register write is reported in a box of its own, owned by the
// calling dialog, so the dialog takes no input while the box is up.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"

#include <cstdint>

// 0 on success, else the non-zero result of the failing register write. UI thread.
int32_t DspIndirectWrite(const fw::Dialog &owner, BoardHandle hBoard, uint32_t dspAddress,
                         uint32_t value);
