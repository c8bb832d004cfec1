// Start / cancel / restart cycles of an area scan (scan/cycles): every cancel must be taken and
// end the scan with its end notification and the cancel's reason within the time-out. And a stop
// with requests still queued (scan/queued-stop): after the cancel and the request clear no
// request may be left for a later scan to deliver into.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunScanCycleCheck(CheckContext &ctx);
void RunQueuedStopCheck(CheckContext &ctx);

} // namespace check
