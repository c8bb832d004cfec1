// Ctrl+C (SIGINT) and SIGTERM end the running check cleanly: the handler only sets a flag, which
// the checks look at between board calls. A second Ctrl+C ends the process at once (the handler
// is reset after the first).
#pragma once

namespace check {

void InstallInterruptHandler();
bool Interrupted();
// For tests and for a fresh run in the same process.
void RequestInterrupt();
void ClearInterrupt();

} // namespace check
