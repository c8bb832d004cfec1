// The terminal report: one line per check as it ends, compliance-tester style, and a total line:
//   memory/bank1/walking-ones ... FAIL: <diagnosis>     (or ok, WARN:, SKIP:, ERROR:)
//   total 31, passed 29, warned 1, failed 1, skipped 0, errors 0
#pragma once

#include "check/CheckResults.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace check {

std::string CaseLine(const CaseResult &c);
std::string TotalLine(const RunResults &results);

class TerminalReport {
public:
    explicit TerminalReport(std::FILE *out) : out_(out) {}
    void PrintCase(const CaseResult &c);
    void PrintLine(const std::string &text);
    void PrintTotal(const RunResults &results);
    // A line could not be written (stdout closed, say): errno of the first failure, 0 when none.
    int writeError() const { return writeError_.load(); }

private:
    std::FILE *out_;
    std::atomic<int> writeError_{0}; // written by the main thread, read by any
};

} // namespace check
