// The figures the scan and video checks both report, under the same keys: the intervals between
// frames and the board's lost-image counters before and after the run; and how both judge a run's
// ending, its rate against the plan's limit and the host's timing.
#pragma once

#include "check/CheckContext.h"
#include "check/CheckResults.h"
#include "ops/IntervalFigures.h"
#include "ops/Result.h"

namespace check {

inline void SetIntervalFigures(CaseResult &c, const ops::IntervalFigures &f)
{
    c.Set("intervalCount", f.count);
    c.Set("intervalMinUs", f.minUs);
    c.Set("intervalMedianUs", f.medianUs);
    c.Set("intervalP99Us", f.p99Us);
    c.Set("intervalMaxUs", f.maxUs);
}

// Report: ops::ScanRunReport or ops::VideoRunReport.
template <typename Report>
void SetBoardCounters(CaseResult &c, const Report &r)
{
    c.Set("noRequestBefore", r.noRequestBefore);
    c.Set("noRequestAfter", r.noRequestAfter);
    c.Set("hookBusyBefore", r.hookBusyBefore);
    c.Set("hookBusyAfter", r.hookBusyAfter);
}

// A run that did not go through: cut short by a signal, or the check could not run at all (no
// buffer, the lost-image counters unreadable: nothing could be judged) is an error; any other
// board call that failed is the board's failure.
inline void JudgeRunEnding(CaseResult &c, const CheckContext &ctx, const ops::Result &r, uint64_t frames)
{
    if (ctx.cancelled())
        c.Error("中断されました（" + std::to_string(frames) + " フレームまで）");
    else if (r.step == "buffer" || r.step == "ErrorInfoGet")
        c.Error(RunFailureText(r));
    else if (!r.ok())
        c.Fail(RunFailureText(r));
}

// The board's rate against the limit; judged only for a run that went through with two frames
// or more (one frame has no rate).
inline void JudgeMinimum(CaseResult &c, const char *what, const char *unit, double value, double minimum)
{
    if (value < minimum)
        c.Fail(std::string(what) + "が " + FormatNumber(value) + " " + unit + " です (下限 " + FormatNumber(minimum)
               + " " + unit + ")");
}

// The host's arrival timing: beyond the limit a warning, never a failure (0: not judged).
inline void JudgeJitter(CaseResult &c, double jitterUs, double maxJitterMs)
{
    c.Set("jitterUs", jitterUs);
    c.Set("maxJitterMs", maxJitterMs);
    if (maxJitterMs > 0 && jitterUs > maxJitterMs * 1000)
        c.Warn("到着間隔のジッタが " + FormatNumber(jitterUs / 1000) + " ms です (上限 " + FormatNumber(maxJitterMs)
               + " ms、ホスト側の計時)");
}

} // namespace check
