// The terminal report: one line per check as it ends, compliance-tester style, and a total line:
//   memory/bank1/walking-ones ... FAIL: <diagnosis>     (or ok, WARN:, SKIP:, ERROR:)
//   total 31, passed 29, warned 1, failed 1, skipped 0, errors 0
// In a run of several loops, a loop's case lines say the loop and only those that need a look are
// shown; each loop ends with a line of its totals, and the folded cases and total come last.
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
    explicit TerminalReport(std::FILE *out, int verbosity = 0) : out_(out), verbosity_(verbosity) {}
    // -vv: the case's figures follow its line, one a line.
    void PrintCase(const CaseResult &c);
    // A step within a case: shown from -v (level 1) or -vv (level 2), indented.
    void PrintStep(const std::string &text, int level = 1);
    // Case lines from here on belong to this loop (0: no loops).
    void SetLoop(uint32_t loop) { loop_ = loop; }
    void PrintLine(const std::string &text);
    void PrintTotal(const RunResults &results);
    // A line could not be written (stdout closed, say): errno of the first failure, 0 when none.
    int writeError() const { return writeError_.load(); }

private:
    std::FILE *out_;
    int verbosity_;
    uint32_t loop_ = 0; // main thread
    std::atomic<int> writeError_{0}; // written by the main thread, read by any
};

} // namespace check
