#include "check/ScanDataCheck.h"

#include "ops/ScanDataSetTest.h"

#include <chrono>

namespace check {

void RunScanDataCheck(CheckContext &ctx)
{
    CaseResult c = ctx.BeginCase("scandata/sequence");
    const auto start = std::chrono::steady_clock::now();
    const BoardHandle board = ctx.board();
    ops::ScanDataSetSetup setup;
    setup.haveAreas = true;
    setup.area0 = ctx.link.firstArea();
    // A failing DSP parameter row fails the case; the sequence stops there.
    setup.report = [&c](const ops::Result &row) {
        c.Fail(RunFailureText(row));
        return false;
    };
    setup.wait = [] { return true; }; // no wait: the second set comes while the loop runs
    const ops::Result r = ops::RunScanDataSetTest(board, setup);
    c.Set("answer", r.status);
    if (r.ok()) // 0: taken directly; 114: queued behind the running loop
        c.note = r.message + (r.status == BOARD_STATUS_SCANDATA_QUEUED ? "（実行中のループの後ろに積まれました）" : "");
    else if (!r.message.empty())
        c.Fail(RunFailureText(r));
    // The loop ends, and the request the test issued goes, before the next case.
    ScanCancel(board, CANCEL_FRAME, 100); // a loop stops at once; 100 ms bounds anything else
    if (const int32_t cleared = ImageRequestClear(board); cleared != 0 && c.passed())
        c.Fail("試験後の画像データ取得要求クリアが失敗しました。（" + StatusText(cleared) + "）");
    c.seconds = SecondsSince(start);
    ctx.Add(std::move(c));
}

} // namespace check
