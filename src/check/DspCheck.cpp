#include "check/DspCheck.h"

#include "ops/DspProgram.h"

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
    c.passed = true;
    c.Set("file", ctx.options.dspFile);
    const ops::Result r = ops::DownloadDspProgram(ctx.board(), ctx.options.dspFile);
    c.Set("status", r.status);
    if (!r.ok())
        c.Fail(DspFailureText(r.status) + "（" + StatusText(r.status) + "）");
    c.seconds = SecondsSince(start);
    ctx.Add(std::move(c));
}

} // namespace check
