// The progress bar a running check draws on the terminal: one line, redrawn in place at most ten
// times a second, erased when the check ends. Does nothing when not enabled (stdout is not a
// terminal). Update may come from any thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace check {

class ProgressBar {
public:
    ProgressBar(std::FILE *out, bool enabled) : out_(out), enabled_(enabled) {}

    void Begin(const std::string &name);
    void Update(double fraction);
    void End();

private:
    std::FILE *out_;
    const bool enabled_;
    std::mutex mutex_; // guards the fields below and the terminal line
    std::string name_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_;
};

} // namespace check
