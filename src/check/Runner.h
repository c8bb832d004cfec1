// One checker run on validated options: opens the board, runs the checks in order, closes the
// board, prints the total and writes the reports. Answers the exit status: 0 all passed (warnings
// and skips included, unless --strict counts the warnings), 1 a check failed or could not run (or
// a report or the terminal report could not be written), 3 the board could not be
// opened, 128 + the signal when SIGINT, SIGHUP or SIGTERM ended the run.
#pragma once

#include "check/CheckOptions.h"
#include "check/CheckResults.h"

#include <cstdio>

namespace check {

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoBoard = 3;
constexpr int ExitForSignal(int signal) { return 128 + signal; }

int RunChecks(const CheckOptions &options, RunResults &results, std::FILE *out, std::FILE *err);

// The reports the options ask for, each written whole or not at all; answers false (after a line
// on `err`) when one could not be written.
bool WriteReports(const CheckOptions &options, const RunResults &results, int exitStatus, std::FILE *err);

} // namespace check
