// The DSP check: the program file named with --dsp downloaded to the board; a failure is
// explained in words (48: the file is not a valid program, and so on). When the scan check follows,
// the board is reset afterwards so that no program is left to start the scan by itself.
#pragma once

#include "check/CheckContext.h"

namespace check {

// What a DspDownload answer means, in words.
std::string DspFailureText(int32_t status);

void RunDspCheck(CheckContext &ctx);

} // namespace check
