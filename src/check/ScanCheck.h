// The scan check: N area scans at the chosen geometry, unit, pixel size and buffer kind; every
// frame and line accounted for, end reason normal, the lost-image counters unchanged, interval
// statistics and MB/s.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunScanCheck(CheckContext &ctx);

} // namespace check
