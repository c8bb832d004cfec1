#include "check/DspCheck.h"

#include "ops/BoardResetOp.h"
#include "ops/DspProgram.h"

#include <algorithm>

namespace check {

std::string DspFailureText(int32_t status)
{
    switch (status) {
    case BOARD_STATUS_DSP_DOWNLOAD_FAULT:
        return "ダウンロード中に障害が発生しました。DSPプログラムとして正しくないファイルです"
               "（先頭行・対象ボード・書式・プログラムメモリ外のアドレス・チェックサムのいずれか）。"
               "ロード済みのプログラムは消去されます";
    case 0x31:
        return "ダウンロードが失敗しました。ファイルがないか読めません";
    case 2:
        return "ダウンロードが失敗しました。ファイル名が空です";
    case 4:
        return "ダウンロードが失敗しました。スキャン実行中のためダウンロードできません";
    case 1:
        return "ダウンロードが失敗しました。ボードのハンドルが無効です";
    default:
        return "ダウンロードが失敗しました。";
    }
}

void RunDspCheck(CheckContext &ctx)
{
    const auto start = std::chrono::steady_clock::now();
    CaseResult c;
    c.name = "dsp/download";
    c.Set("file", ctx.options.dspFile);
    const ops::Result r = ops::DownloadDspProgram(ctx.board(), ctx.options.dspFile);
    c.Set("status", r.status);
    if (!r.ok())
        c.Fail(DspFailureText(r.status) + "（" + StatusText(r.status) + "）");
    // A loaded program starts a prepared area scan by itself when the image get mode goes to 0,
    // and the scan check's own start then restarts it: one frame too many. The scan check must
    // see the board as a run without --dsp leaves it, so the program goes again (a reset is the
    // only way to unload it).
    const auto &checks = ctx.options.checks;
    if (r.ok() && std::find(checks.begin(), checks.end(), CheckId::Scan) != checks.end()) {
        const ops::Result reset = ops::ResetBoard(ctx.board());
        c.Set("resetAfter", reset.ok() ? "done" : "failed");
        if (!reset.ok())
            c.Fail("スキャン検査の前のリセットが失敗しました（" + StatusText(reset.status) + "）");
    }
    c.seconds = SecondsSince(start);
    ctx.Add(std::move(c));
}

} // namespace check
