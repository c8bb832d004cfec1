// The figures the scan and video checks both report, under the same keys: the intervals between
// frames and the board's lost-image counters before and after the run.
#pragma once

#include "check/CheckResults.h"
#include "ops/IntervalFigures.h"

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

} // namespace check
