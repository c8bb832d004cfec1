// SIGINT (Ctrl+C), SIGHUP and SIGTERM end the running check cleanly: the handler only records
// which signal came, and the checks look at it between board calls; the board is closed and the
// reports of what ran are written. A second signal while the checks run ends the process at once;
// while the reports are written (HoldSignals) later signals are only recorded, so that every
// report is written whole. SIGPIPE is ignored: a closed stdout shows as a failed write.
#pragma once

namespace check {

void InstallInterruptHandler();
bool Interrupted();
// The signal that ended the run, 0 when none.
int InterruptSignal();
// The signal's name as the terminal and the reports show it, e.g. "SIGTERM".
const char *SignalName(int signal);
// From here on a further signal is only recorded (main thread, around the report phase).
void HoldSignals(bool hold);
// For tests and for a fresh run in the same process.
void RequestInterrupt(int signal = 2 /* SIGINT */);
void ClearInterrupt();

} // namespace check
