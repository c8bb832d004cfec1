// Shared helpers of the checker's tests: the checker run in this process on a reset simulator
// (its journal readable), the real executable run as a child process with a scenario in its
// environment and a deadline, and a scratch folder for reports.
#pragma once

#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace checktest {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    bool timedOut = false; // the child was killed at its deadline
};

// CheckMain in this process; the simulator is left as the run leaves it (journal included).
// `afterDelivery` runs on the delivery thread after each capture delivery.
Outcome RunInProcess(const std::vector<std::string> &args, std::function<void()> afterDelivery = {});

// The built pelora2-check as a child with PELORA_SIM_SCENARIO=scenario (and `extraEnv`, "K=V"),
// killed after `seconds`. `whileRunning`, when given, is called every 20 ms with the child's pid
// and its output so far; it answers true once it is done with the child. With `stdoutClosed` the
// child's stdout is a pipe nobody reads (out stays empty).
Outcome RunExecutable(const std::vector<std::string> &args, const std::string &scenario, int seconds = 30,
                      const std::vector<std::string> &extraEnv = {},
                      const std::function<bool(pid_t, const std::string &out)> &whileRunning = {},
                      bool stdoutClosed = false);

std::string ReadFile(const std::string &path);
std::string SampleFile(const std::string &name); // a file of sim/samples

class CheckTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A fresh time limit for the next long step (a whole --all run in a sanitizer build, say).
    void Rearm(const std::string &what) { watchdog_->Rearm(what, testing_support::kTestWatchdogSeconds); }
    // A path in this test's scratch folder.
    std::string Scratch(const std::string &name) const { return dir_ + "/" + name; }

private:
    std::unique_ptr<testing_support::Watchdog> watchdog_;
    std::string dir_;
};

} // namespace checktest
