#include "check/VideoCheck.h"

#include "check/RunFigures.h"
#include "ops/VideoRun.h"

namespace check {
namespace {

// Forwards the link's hook to the run (delivery thread). Live video has no scan end.
class VideoSink : public CaptureSink {
public:
    explicit VideoSink(ops::VideoRun &run) : run_(run) {}
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data) override
    {
        run_.OnImage(flags, startLine, lineCount, bufferKind, data);
    }
    void OnScanEnd(int32_t) override {}

private:
    ops::VideoRun &run_;
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
    VideoSink sink(run);
    ops::VideoRunReport r;
    {
        SinkScope scope(ctx.link, sink);
        r = run.Run([&ctx] { return ctx.cancelled(); }, [&ctx](double f) { ctx.progress.Update(f); });
    }
    c.Set("frames", r.frames);
    c.Set("deliveries", r.deliveries);
    c.Set("framesPerSecond", r.framesPerSecond);
    c.Set("nominalFramesPerSecond", ops::kNtscFrameRate);
    c.Set("rateErrorPercent", r.rateErrorPercent);
    c.Set("gaps", r.gaps);
    c.Set("framesMissed", r.framesMissed);
    c.Set("jitterUs", r.jitterUs);
    SetIntervalFigures(c, r.intervals);
    c.Set("mbPerSecond", r.mbPerSecond);
    c.Set("sizeErrors", r.sizeErrors);
    SetBoardCounters(c, r);
    c.seconds = r.seconds;
    if (ctx.cancelled())
        c.Fail("中断されました（" + std::to_string(r.frames) + " フレームまで）");
    else if (!r.result.ok())
        c.Fail(RunFailureText(r.result));
    if (!ctx.cancelled())
        c.Fail(OneLine(r.diagnosis));
    c.passed = c.diagnosis.empty();
    if (c.passed)
        c.note = FormatNumber(r.framesPerSecond) + " fps、抜け " + std::to_string(r.gaps) + " 回、ジッタ "
                 + FormatNumber(r.jitterUs) + " µs";
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
