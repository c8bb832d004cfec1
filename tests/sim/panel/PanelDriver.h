// Helpers of the panel tests: find the simulator's panel among the application's windows, let
// queued work run, drive its controls by object name. UI thread.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace paneltest {

// The simulator's panel window, or null.
QWidget *findPanel();
// Runs events until everything queued before this call (a panel being shown) has run.
void flushQueued();
// Runs events until `done` holds; false after `ms` milliseconds.
bool pumpUntil(const std::function<bool()> &done, int ms = 5000);

// Runs this test program again as a child in `mode` (see PanelChild.h); its exit status, or -1
// when it did not end by itself (a watchdog kills it).
int runChild(const char *mode);

} // namespace paneltest
