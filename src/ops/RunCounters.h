// The board's lost-image counters (ErrorInfoGet) read around a window-less run, into a report
// with noRequestBefore/After and hookBusyBefore/After (ScanRunReport, VideoRunReport).
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

namespace ops {

// Before the run: a failing read fails the run, which then does not start (answers false).
template <typename RunReport>
bool ReadCountersBefore(BoardHandle board, RunReport &report)
{
    const int32_t status = ErrorInfoGet(board, &report.noRequestBefore, &report.hookBusyBefore);
    if (status == 0)
        return true;
    report.result = Failed("ErrorInfoGet", status, "エラー情報取得が失敗しました。", Icon::Stop);
    return false;
}

// After the run: a failing read keeps the figures from before (no change is claimed) and fails
// the run unless something failed first.
template <typename RunReport>
void ReadCountersAfter(BoardHandle board, RunReport &report)
{
    const int32_t status = ErrorInfoGet(board, &report.noRequestAfter, &report.hookBusyAfter);
    if (status == 0)
        return;
    report.noRequestAfter = report.noRequestBefore;
    report.hookBusyAfter = report.hookBusyBefore;
    if (report.result.ok())
        report.result = Failed("ErrorInfoGet", status, "エラー情報取得が失敗しました。", Icon::Stop);
}

} // namespace ops
