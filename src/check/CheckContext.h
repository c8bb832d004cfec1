// What every check works with: its parameters, the open board and the link that forwards its
// callbacks, the results it adds to, the terminal and progress bar, and the interrupt flag.
#pragma once

#include "board/pel2ctl.h"
#include "check/BoardLink.h"
#include "check/CheckOptions.h"
#include "check/CheckResults.h"
#include "check/Interrupt.h"
#include "check/ProgressBar.h"
#include "check/TerminalReport.h"
#include "ops/Result.h"

#include <chrono>

namespace check {

class CheckContext {
public:
    CheckContext(const CheckOptions &options, BoardLink &link, RunResults &results,
                 TerminalReport &terminal, ProgressBar &progress)
        : options(options), link(link), results(results), terminal(terminal), progress(progress)
    {
    }

    BoardHandle board() const { return link.handle(); }
    // A signal came, or the terminal report can no longer be written (nobody reads the run).
    bool cancelled() const { return Interrupted() || terminal.writeError() != 0; }
    // Adds a finished case and prints its line.
    void Add(CaseResult c)
    {
        progress.End();
        terminal.PrintCase(c);
        results.cases.push_back(std::move(c));
    }

    const CheckOptions &options;
    BoardLink &link;
    RunResults &results;
    TerminalReport &terminal;
    ProgressBar &progress;
};

// Seconds since `start`, for a case's time.
inline double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The board's status in words where the program tells it apart, else its number.
inline std::string StatusText(int32_t status)
{
    return "ステータス " + std::to_string(status) + " (" + Hex(static_cast<uint32_t>(status), 2) + ")";
}

// Several lines of findings as the one line a case shows.
inline std::string OneLine(const std::string &text)
{
    std::string line;
    for (char ch : text)
        line += ch == '\n' ? ' ' : ch;
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// A failed operation's text with its step and status where a board call failed.
inline std::string RunFailureText(const ops::Result &r)
{
    if (r.status == 0)
        return r.message.empty() ? r.step : r.message;
    return r.message + "（" + r.step + "、" + StatusText(r.status) + "）";
}

} // namespace check
