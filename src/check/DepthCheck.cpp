#include "check/DepthCheck.h"

#include "check/RunFigures.h"
#include "ops/ScanRun.h"

namespace check {
namespace {

constexpr uint32_t kDepths[] = {1, 2, 3, 5, 8, 13, 21, 34, 55, 89};
constexpr uint32_t kFrames = 3;
// All three sweeps together; a healthy board at 30 fps needs about 3 s, a slow one is cut short
// (the depths not reached are named in a warning).
constexpr std::chrono::seconds kBudget{6};

// Forwards the link's callbacks to the run (delivery thread).
class DepthSink : public CaptureSink {
public:
    explicit DepthSink(ops::ScanRun &run) : run_(run) {}
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data) override
    {
        run_.OnImage(flags, startLine, lineCount, bufferKind, data);
    }
    void OnScanEnd(int32_t reason) override { run_.OnScanEnd(reason); }

private:
    ops::ScanRun &run_;
};

struct Sweep {
    const char *name;
    bool libraryBuffer;
    bool lineUnit;
};

void RunSweep(CheckContext &ctx, const Sweep &sweep, std::chrono::steady_clock::time_point deadline)
{
    CaseResult c;
    c.name = std::string("scan/depth/") + sweep.name;
    ctx.progress.Begin(c.name);
    const auto start = std::chrono::steady_clock::now();
    std::string depths;
    for (uint32_t depth : kDepths) {
        if (ctx.cancelled())
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            c.Warn("時間の上限 (" + std::to_string(kBudget.count()) + " s) のため要求 " + std::to_string(depth)
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
        ops::ScanRun run(ctx.board(), p);
        DepthSink sink(run);
        ops::ScanRunReport r;
        {
            SinkScope scope(ctx.link, sink);
            r = run.Run([&ctx] { return ctx.cancelled(); }, {});
        }
        const std::string at = "要求 " + std::to_string(depth) + " 件: ";
        if (!r.result.ok() && !ctx.cancelled()) {
            c.Fail(at + RunFailureText(r.result));
            break;
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
    const auto deadline = std::chrono::steady_clock::now() + kBudget;
    for (const Sweep &s : {Sweep{"driver", true, false}, Sweep{"program", false, false}, Sweep{"line", true, true}}) {
        const std::string name = std::string("scan/depth/") + s.name;
        if (!areaPassed)
            ctx.Add(SkippedCase(name, SkipKind::EarlierFailure, "scan/area が合格しなかったため実行していません"));
        else if (!ctx.cancelled())
            RunSweep(ctx, s, deadline);
    }
}

} // namespace check
