#include "check/DepthCheck.h"

#include "check/RunFigures.h"
#include "ops/ScanRun.h"

#include <functional>

namespace check {
namespace {

constexpr uint32_t kDepths[] = {1, 2, 3, 5, 8, 13, 21, 34, 55, 89};
constexpr uint32_t kFrames = 3;

// Forwards the link's callbacks to the run (delivery thread). A test's stall comes before the
// run sees the delivery, as when the host schedules the delivery thread late.
class DepthSink : public CaptureSink {
public:
    DepthSink(ops::ScanRun &run, const std::function<void()> &stall) : run_(run), stall_(stall) {}
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data) override
    {
        if (stall_)
            stall_();
        run_.OnImage(flags, startLine, lineCount, bufferKind, data);
    }
    void OnScanEnd(int32_t reason) override { run_.OnScanEnd(reason); }

private:
    ops::ScanRun &run_;
    const std::function<void()> &stall_;
};

// Attempts at one depth while the board reports only losses the host caused.
constexpr int kAttempts = 3;

// True when the run lost images and the board counted each loss against the host: no request
// was waiting, or the hook was still busy. Lines and frames missing, overruns and line gaps are
// what such a loss leaves behind; anything about the pixels or the sizes is the board's own.
bool HostStarved(const ops::ScanRunReport &r)
{
    const int64_t hostLosses = int64_t(r.noRequestAfter) - r.noRequestBefore + int64_t(r.hookBusyAfter) - r.hookBusyBefore;
    return r.result.ok() && hostLosses > 0 && r.sizeErrors == 0 && r.unwrittenFrames == 0 && r.staleFrames == 0;
}

ops::ScanRunReport RunDepth(CheckContext &ctx, const ops::ScanRunParams &p)
{
    ops::ScanRun run(ctx.board(), p);
    DepthSink sink(run, ctx.options.afterDelivery);
    SinkScope scope(ctx.link, sink);
    return run.Run([&ctx] { return ctx.cancelled(); }, {});
}

struct Sweep {
    const char *name;
    bool libraryBuffer;
    bool lineUnit;
};

// All three sweeps together share the plan's scan.depthSeconds (6 s: a healthy board at 30 fps
// needs about 3 s); a slow one is cut short and the depths not reached are named in a warning.
void RunSweep(CheckContext &ctx, const Sweep &sweep, std::chrono::steady_clock::time_point deadline)
{
    CaseResult c = ctx.BeginCase(std::string("scan/depth/") + sweep.name);
    const auto start = std::chrono::steady_clock::now();
    std::string depths;
    uint32_t retries = 0;
    for (uint32_t depth : kDepths) {
        if (ctx.cancelled())
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            c.Warn("時間の上限 (" + std::to_string(ctx.options.scan.depthSeconds) + " s) のため要求 " + std::to_string(depth)
                   + " 件からは実行していません");
            break;
        }
        ops::ScanRunParams p;
        p.area.pixels = 256;
        p.area.lines = 64;
        p.area.unitFlags = sweep.lineUnit ? SCAN_UNIT_LINE : SCAN_UNIT_FRAME;
        p.area.lineInterval = sweep.lineUnit ? 16 : 0;
        p.frames = kFrames;
        p.libraryBuffer = sweep.libraryBuffer;
        p.requestsInFlight = depth;
        p.deliveryTimeout = std::chrono::milliseconds(ctx.options.timeoutMs);
        p.findStaleFrames = !ctx.options.scan.stillTarget();
        const std::string at = "要求 " + std::to_string(depth) + " 件: ";
        ops::ScanRunReport r;
        // A loss the board puts down to the host (no request waiting, or the hook still busy) is
        // the host's timing at a shallow depth: tried again, and only a warning if it stays.
        for (int attempt = 1;; ++attempt) {
            r = RunDepth(ctx, p);
            if (!HostStarved(r) || attempt == kAttempts || ctx.cancelled())
                break;
            ++retries;
        }
        if (!r.result.ok() && !ctx.cancelled()) {
            c.Fail(at + RunFailureText(r.result));
            break;
        }
        if (HostStarved(r) && !ctx.cancelled()) {
            c.Warn(at + std::to_string(kAttempts) + " 回とも、ホスト側の要求の再発行が間に合わず画像が失われました"
                   "（ボードの計数、ホスト側の計時）");
            continue;
        }
        if (!r.diagnosis.empty() && !ctx.cancelled()) {
            c.Fail(at + OneLine(r.diagnosis));
            break;
        }
        depths += (depths.empty() ? "" : ",") + std::to_string(depth);
        ctx.terminal.PrintStep(c.name + ": 要求 " + std::to_string(depth) + " 件で " + std::to_string(kFrames)
                               + " フレーム ok");
    }
    c.Set("depthsPassed", depths);
    c.Set("hostRetries", retries);
    c.seconds = SecondsSince(start);
    if (ctx.cancelled())
        c.Error("中断されました（要求 " + (depths.empty() ? std::string("なし") : depths) + " 件まで）");
    if (c.outcome == Outcome::Pass)
        c.note = "要求 " + depths + " 件で各 " + std::to_string(kFrames) + " フレーム";
    ctx.Add(std::move(c));
}

} // namespace

void RunDepthChecks(CheckContext &ctx, bool areaPassed)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(ctx.options.scan.depthSeconds);
    for (const Sweep &s : {Sweep{"driver", true, false}, Sweep{"program", false, false}, Sweep{"line", true, true}}) {
        const std::string name = std::string("scan/depth/") + s.name;
        if (!areaPassed)
            ctx.Add(SkippedCase(name, SkipKind::EarlierFailure, "scan/area が合格しなかったため実行していません"));
        else if (!ctx.cancelled())
            RunSweep(ctx, s, deadline);
    }
}

} // namespace check
