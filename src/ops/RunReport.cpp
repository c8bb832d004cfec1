#include "ops/RunReport.h"

#include "ops/ScanRun.h"
#include "ops/VideoRun.h"

#include <cstdio>
#include <string>

namespace ops {
namespace {

template <typename... Args>
void Line(std::string &out, const char *format, Args... args)
{
    char text[512];
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

// Lines claimed but not written, each run named; frames that repeat the one before, by number.
void Content(std::string &out, const ScanRunReport &r)
{
    if (r.unwrittenFrames != 0) {
        Line(out, "転送済みとされたラインが書き込まれていません (%llu フレーム、計 %llu ライン)。",
             static_cast<unsigned long long>(r.unwrittenFrames), static_cast<unsigned long long>(r.unwrittenLines));
        // A few runs by name: the checker shows the findings on one line.
        constexpr size_t kNamed = 8;
        for (size_t i = 0; i < r.unwritten.size() && i < kNamed; ++i)
            Line(out, "フレーム %u: ライン %u～%u が書き込まれていません。", r.unwritten[i].frame,
                 r.unwritten[i].lines.first, r.unwritten[i].lines.end - 1);
        if (r.unwritten.size() > kNamed)
            Line(out, "(ほかにも書き込まれていないラインがあります。)");
    }
    if (r.staleFrames != 0) {
        std::string numbers;
        for (uint32_t n : r.staleFrameNumbers)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
        if (r.staleFrames > r.staleFrameNumbers.size())
            numbers += " ...";
        Line(out, "前のフレームと同じ画像のフレームが %llu 枚ありました (フレーム %s)。",
             static_cast<unsigned long long>(r.staleFrames), numbers.c_str());
    }
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
    Content(out, r);
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
