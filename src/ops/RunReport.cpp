#include "ops/RunReport.h"

#include "ops/ScanRun.h"
#include "ops/VideoRun.h"

#include <cstdio>

namespace ops {
namespace {

template <typename... Args>
void Line(std::string &out, const char *format, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    out.append(text);
    out.append("\n");
}

void LostImages(std::string &out, int32_t noRequestBefore, int32_t noRequestAfter,
                int32_t hookBusyBefore, int32_t hookBusyAfter)
{
    if (noRequestAfter != noRequestBefore)
        Line(out, "取得要求がなく失われた画像があります (%d 件)。", int(noRequestAfter - noRequestBefore));
    if (hookBusyAfter != hookBusyBefore)
        Line(out, "Hook関数処理中に失われた画像があります (%d 件)。", int(hookBusyAfter - hookBusyBefore));
}

} // namespace

std::string DiagnoseScanRun(const ScanRunReport &r, unsigned framesAsked)
{
    std::string out;
    if (framesAsked != 0) {
        if (r.framesAccounted != framesAsked)
            Line(out, "フレーム数が合いません (要求 %u、受信 %llu)。", framesAsked,
                 static_cast<unsigned long long>(r.framesAccounted));
        const unsigned long long linesAsked = static_cast<unsigned long long>(framesAsked) * r.lines;
        if (r.linesAccounted != linesAsked)
            Line(out, "ライン数が合いません (要求 %llu、受信 %llu)。", linesAsked,
                 static_cast<unsigned long long>(r.linesAccounted));
        if (r.endReason != 1)
            Line(out, "走査が正常終了しませんでした (終了理由 %d)。", int(r.endReason));
    }
    LostImages(out, r.noRequestBefore, r.noRequestAfter, r.hookBusyBefore, r.hookBusyAfter);
    if (r.sizeErrors != 0)
        Line(out, "エリアサイズエラーが %llu 回ありました。", static_cast<unsigned long long>(r.sizeErrors));
    if (r.lostRuns != 0)
        Line(out, "Lineスキャン オーバーランエラーが %llu 回ありました。",
             static_cast<unsigned long long>(r.lostRuns));
    if (r.lineGaps != 0)
        Line(out, "ラインの抜けまたは順序の乱れが %llu 回ありました。", static_cast<unsigned long long>(r.lineGaps));
    return out;
}

std::string DiagnoseVideoRun(const VideoRunReport &r)
{
    std::string out;
    if (r.frames < 2)
        Line(out, "フレームがほとんど届きませんでした (%llu フレーム)。", static_cast<unsigned long long>(r.frames));
    // Lost frames are the board's counters; arrival gaps on the host are timing, not loss.
    LostImages(out, r.noRequestBefore, r.noRequestAfter, r.hookBusyBefore, r.hookBusyAfter);
    if (r.sizeErrors != 0)
        Line(out, "エリアサイズエラーが %llu 回ありました。", static_cast<unsigned long long>(r.sizeErrors));
    return out;
}

} // namespace ops
