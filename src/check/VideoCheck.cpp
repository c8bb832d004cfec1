#include "check/VideoCheck.h"

#include "check/RunFigures.h"
#include "ops/VideoRun.h"

#include <cmath>

namespace check {
namespace {

// Forwards the link's hook to the run (delivery thread). Live video has no scan end.
class VideoSink : public CaptureSink {
public:
    VideoSink(ops::VideoRun &run, const std::function<void()> &after) : run_(run), after_(after) {}
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data) override
    {
        run_.OnImage(flags, startLine, lineCount, bufferKind, data);
        if (after_)
            after_();
    }
    void OnScanEnd(int32_t) override {}

private:
    ops::VideoRun &run_;
    const std::function<void()> &after_;
};

} // namespace

void RunVideoCheck(CheckContext &ctx)
{
    ops::VideoRunParams params;
    params.duration = std::chrono::seconds(ctx.options.videoSeconds);
    params.deliveryTimeout = std::chrono::milliseconds(ctx.options.timeoutMs);

    CaseResult c;
    c.name = "video/live";
    c.Set("secondsAsked", ctx.options.videoSeconds);
    ctx.progress.Begin(c.name);
    ops::VideoRun run(ctx.board(), params);
    VideoSink sink(run, ctx.options.afterDelivery);
    ops::VideoRunReport r;
    {
        SinkScope scope(ctx.link, sink);
        r = run.Run([&ctx] { return ctx.cancelled(); }, [&ctx](double f) { ctx.progress.Update(f); });
    }
    const CaptureLimits &limits = ctx.options.videoLimits;
    c.Set("frames", r.frames);
    c.Set("deliveries", r.deliveries);
    c.Set("framesPerSecond", r.framesPerSecond);
    c.Set("nominalFramesPerSecond", ops::kNtscFrameRate);
    c.Set("rateErrorPercent", r.rateErrorPercent);
    c.Set("minFps", limits.minFps);
    c.Set("gaps", r.gaps); // host arrival gaps, not frames the board lost
    c.Set("framesMissed", r.framesMissed);
    c.Set("lostImages", int64_t(r.noRequestAfter - r.noRequestBefore) + (r.hookBusyAfter - r.hookBusyBefore));
    SetIntervalFigures(c, r.intervals);
    c.Set("mbPerSecond", r.mbPerSecond);
    c.Set("sizeErrors", r.sizeErrors);
    SetBoardCounters(c, r);
    c.seconds = r.seconds;
    JudgeRunEnding(c, ctx, r.result, r.frames);
    if (!ctx.cancelled())
        c.Fail(OneLine(r.diagnosis)); // what the board counted lost, size errors
    if (r.result.ok() && r.frames >= 2) {
        JudgeMinimum(c, "フレームレート", "fps", r.framesPerSecond, limits.minFps);
        if (std::fabs(r.framesPerSecond - ops::kNtscFrameRate) > ops::kNtscFrameRate * ops::kRateTolerance)
            c.Warn("フレームレートが " + FormatNumber(r.framesPerSecond) + " fps です (規定 29.97 fps)");
    }
    if (r.gaps != 0)
        c.Warn("到着間隔の空きが " + std::to_string(r.gaps) + " 回 (最長 " + FormatNumber(r.intervals.maxUs / 1000)
               + " ms、ホスト側の計時)");
    JudgeJitter(c, r.jitterUs, limits.maxJitterMs);
    if (c.passed())
        c.note = FormatNumber(r.framesPerSecond) + " fps、失われた画像 0、ジッタ " + FormatNumber(r.jitterUs / 1000)
                 + " ms";
    if (r.snapshot.size() >= static_cast<size_t>(r.width) * r.height * 3) {
        ctx.results.videoSnapshot.width = r.width;
        ctx.results.videoSnapshot.height = r.height;
        ctx.results.videoSnapshot.channels = 3;
        ctx.results.videoSnapshot.pixels = r.snapshot;
    }
    ctx.results.videoIntervalsUs = r.intervalsUs;
    ctx.Add(std::move(c));
}

} // namespace check
