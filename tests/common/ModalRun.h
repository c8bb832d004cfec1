// Modal runs in tests: the test's actions run inside the run (WhenShown) and must end it. A run
// they never end (an assertion that failed before the close, a close that waits for good inside
// program code) would hang the test; the watchdog ends it with a message instead.
#pragma once

#include "common/Watchdog.h"
#include "framework/Dialog.h"

#include <string>

namespace testing_support {

// Runs dlg modally; `what` names the dialog for the watchdog's message.
inline int RunModal(fw::Dialog &dlg, const std::string &what, int seconds = kWatchdogSeconds)
{
    Watchdog watchdog("the modal run of " + what + " to end", seconds);
    return dlg.DoModal();
}

} // namespace testing_support
