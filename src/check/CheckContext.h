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
        : options(options), link(link), results(results), terminal(terminal), progress(progress),
          interruptsSeen_(link.dspInterrupts()), faultsSeen_(link.dspFaults()),
          overlapsSeen_(link.overlappingHookCalls())
    {
    }

    BoardHandle board() const { return link.handle(); }
    // A case's result, named, with the progress bar showing it from now on.
    CaseResult BeginCase(std::string name)
    {
        CaseResult c;
        c.name = std::move(name);
        progress.Begin(c.name);
        return c;
    }
    // A signal came, or the terminal report can no longer be written (nobody reads the run).
    bool cancelled() const { return Interrupted() || terminal.writeError() != 0; }
    // Adds a finished case and prints its line, with the DSP interrupts that came since the case
    // before: a failed case names them, a fault interrupt during a passing case warns. Hook calls
    // that overlapped (the library promises one at a time) warn.
    void Add(CaseResult c)
    {
        NoteDspInterrupts(c);
        NoteOverlappingHookCalls(c);
        progress.End();
        terminal.PrintCase(c);
        results.cases.push_back(std::move(c));
    }

    const CheckOptions &options;
    BoardLink &link;
    RunResults &results;
    TerminalReport &terminal;
    ProgressBar &progress;

private:
    void NoteDspInterrupts(CaseResult &c)
    {
        const uint64_t interrupts = link.dspInterrupts() - interruptsSeen_;
        const uint64_t faults = link.dspFaults() - faultsSeen_;
        interruptsSeen_ += interrupts;
        faultsSeen_ += faults;
        if (interrupts == 0 || c.outcome == Outcome::Skip)
            return;
        c.Set("dspInterrupts", interrupts);
        c.Set("dspFaultInterrupts", faults);
        c.Set("lastDspStatus", Hex(static_cast<uint32_t>(link.lastDspStatus()), 4));
        std::string seen = "DSP割込みが " + std::to_string(interrupts) + " 回ありました（";
        if (faults != 0)
            seen += "異常 " + std::to_string(faults) + " 回、最後の異常ステータス "
                    + Hex(static_cast<uint32_t>(link.lastDspFault()), 4) + "）";
        else
            seen += "最後のステータス " + Hex(static_cast<uint32_t>(link.lastDspStatus()), 4) + "）";
        if (!c.passed())
            c.diagnosis += (c.diagnosis.empty() || c.diagnosis.ends_with("。") ? "" : "。") + seen;
        else if (faults != 0)
            c.Warn(seen);
    }

    void NoteOverlappingHookCalls(CaseResult &c)
    {
        const uint64_t overlaps = link.overlappingHookCalls() - overlapsSeen_;
        overlapsSeen_ += overlaps;
        if (overlaps == 0 || c.outcome == Outcome::Skip)
            return;
        c.Set("overlappingHookCalls", overlaps);
        c.Warn("画像転送Hookが別スレッドから同時に " + std::to_string(overlaps) + " 回呼ばれました");
    }

    uint64_t interruptsSeen_; // the link's counts when the last case was added (main thread)
    uint64_t faultsSeen_;
    uint64_t overlapsSeen_;
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
