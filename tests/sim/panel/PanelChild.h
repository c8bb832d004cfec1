// The panel test program's child runs (paneltest::runChild): each builds and ends its own
// QApplication, which the test program's own main cannot do. 0 when all went as expected.
#pragma once

namespace paneltest {

// "absent": PELORA_SIM_PANEL unset; "zero": set to 0; "no-application": set, but no
// QApplication; "close": the application ends with the panel open.
int childMain(const char *mode, int argc, char **argv);

} // namespace paneltest
