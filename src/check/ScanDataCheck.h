// The scan-data-set sequence (scandata/sequence) as the program's test runs it
// (ops::RunScanDataSetTest, no wait): the table into memory area 0, the one-line scan, the DSP's
// off-board loop, and a second set while the loop runs. That set is the test's point: a running
// loop takes it queued (114) or, once the loop is done, directly (0); an overflow (113) or any
// other status fails the case with the program's words. The loop is stopped and the request
// the test leaves is cleared afterwards.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunScanDataCheck(CheckContext &ctx);

} // namespace check
