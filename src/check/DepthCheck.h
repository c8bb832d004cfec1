// Request-depth sweeps (scan/depth/driver, scan/depth/program, scan/depth/line): short area scans
// with 1, 2, 3, 5, 8 ... 89 requests in flight, into the library's buffer, into program buffers,
// and in line units; every run must go through with every frame and line accounted for, and
// the requests left queued at its end cleared. Skipped when scan/area did not pass (a board that
// fails the plain scan would only repeat it, slowly); cut short after a time budget.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunDepthChecks(CheckContext &ctx, bool areaPassed);

} // namespace check
