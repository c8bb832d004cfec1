// Shared helpers of the board operation tests: a reset simulator with board 0 open, and the
// simulator's journal as readable lines. No Qt, no window.
#pragma once

#include "board/pel2ctl.h"
#include "common/Watchdog.h"
#include "simctl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace opstest {

// Journal lines "Op arg arg ...", oldest first, in decimal; pointer arguments are left out (an
// ImageRequest's buffer shows as "null" or "buffer").
std::vector<std::string> Calls();
// Lines of one operation only.
std::vector<std::string> CallsOf(int op);

class OpsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Closes and opens the board again on a reset simulator (no injections, empty journal).
    void Reopen();

    BoardHandle board = 0;
    void *window = nullptr; // the memory window from BoardOpen (memory area 0)

private:
    // No operation waits on anything but the simulated board; a hang still ends the run.
    std::unique_ptr<testing_support::Watchdog> watchdog_;
};

} // namespace opstest
