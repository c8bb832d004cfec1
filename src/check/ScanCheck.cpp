#include "check/ScanCheck.h"

#include "check/ReferenceCheck.h"
#include "check/RunFigures.h"
#include "ops/ScanRun.h"

namespace check {
namespace {

// Forwards the link's callbacks to the run (delivery thread).
class ScanSink : public CaptureSink {
public:
    ScanSink(ops::ScanRun &run, const std::function<void()> &after) : run_(run), after_(after) {}
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data) override
    {
        run_.OnImage(flags, startLine, lineCount, bufferKind, data);
        if (after_)
            after_();
    }
    void OnScanEnd(int32_t reason) override { run_.OnScanEnd(reason); }

private:
    ops::ScanRun &run_;
    const std::function<void()> &after_;
};

// The last frame as an 8-bit grey picture: the most significant byte of each little-endian pixel.
Picture GreyPicture(const ops::ScanRunReport &r)
{
    Picture p;
    const size_t bytes = static_cast<size_t>(r.pixels) * r.pixelBytes;
    if (r.pixels == 0 || r.lines == 0 || r.pixelBytes == 0 || r.lastFrame.size() < bytes * r.lines)
        return p;
    p.width = r.pixels;
    p.height = r.lines;
    p.channels = 1;
    p.pixels.resize(static_cast<size_t>(r.pixels) * r.lines);
    for (size_t y = 0; y < r.lines; ++y)
        for (size_t x = 0; x < r.pixels; ++x)
            p.pixels[y * r.pixels + x] = r.lastFrame[y * bytes + x * r.pixelBytes + r.pixelBytes - 1];
    return p;
}

} // namespace

void RunScanCheck(CheckContext &ctx)
{
    const ScanSettings &s = ctx.options.scan;
    ops::ScanRunParams params;
    params.area.pixels = s.pixels;
    params.area.lines = s.lines;
    params.area.unitFlags = s.lineUnit ? SCAN_UNIT_LINE : SCAN_UNIT_FRAME;
    params.area.pixelBytes = s.pixelBits / 8;
    params.area.lineInterval = s.lineInterval;
    params.frames = s.frames;
    params.libraryBuffer = !s.programBuffer;
    params.deliveryTimeout = std::chrono::milliseconds(ctx.options.timeoutMs);
    // A reference is a still target: every frame repeats its predecessor by design.
    params.findStaleFrames = !s.stillTarget();

    CaseResult c;
    c.name = "scan/area";
    c.Set("frames", s.frames);
    c.Set("pixels", s.pixels);
    c.Set("lines", s.lines);
    c.Set("unit", s.lineUnit ? "line" : "frame");
    c.Set("pixelBits", s.pixelBits);
    c.Set("buffer", s.programBuffer ? "program" : "driver");
    ctx.progress.Begin(c.name);
    ops::ScanRun run(ctx.board(), params);
    ScanSink sink(run, ctx.options.afterDelivery);
    ops::ScanRunReport r;
    {
        SinkScope scope(ctx.link, sink);
        r = run.Run([&ctx] { return ctx.cancelled(); }, [&ctx](double f) { ctx.progress.Update(f); });
    }
    c.Set("framesAccounted", r.framesAccounted);
    c.Set("linesAccounted", r.linesAccounted);
    c.Set("deliveries", r.deliveries);
    c.Set("endReason", r.endReason);
    SetBoardCounters(c, r);
    c.Set("sizeErrors", r.sizeErrors);
    c.Set("lostRuns", r.lostRuns);
    c.Set("lineGaps", r.lineGaps);
    SetIntervalFigures(c, r.intervals);
    c.Set("mbPerSecond", r.mbPerSecond);
    c.Set("framesPerSecond", r.framesPerSecond);
    const double frameMB = double(s.pixels) * s.lines * (s.pixelBits / 8) / 1e6;
    const double minMBps = s.limits.minMBps.value_or(s.limits.minFps * frameMB);
    c.Set("minFps", s.limits.minFps);
    c.Set("minMBps", minMBps);
    c.seconds = r.seconds;
    JudgeRunEnding(c, ctx, r.result, r.framesAccounted);
    if (!ctx.cancelled())
        c.Fail(OneLine(r.diagnosis));
    if (r.result.ok() && r.framesAccounted >= 2) {
        JudgeMinimum(c, "フレームレート", "fps", r.framesPerSecond, s.limits.minFps);
        JudgeMinimum(c, "転送速度", "MB/s", r.mbPerSecond, minMBps);
    }
    JudgeJitter(c, ops::IntervalJitterUs(r.intervalsUs), s.limits.maxJitterMs);
    if (!s.referenceFile.empty() && !ctx.cancelled())
        JudgeReference(c, r, ctx.options, ctx.results);
    if (c.passed())
        c.note = std::to_string(r.framesAccounted) + " フレーム、" + FormatNumber(r.framesPerSecond) + " fps、"
                 + FormatNumber(r.mbPerSecond) + " MB/s";
    if (!s.saveReferenceFile.empty() && !ctx.cancelled())
        SaveReference(c, r, s.saveReferenceFile);
    ctx.results.lastScanFrame = GreyPicture(r);
    ctx.results.scanIntervalsUs = r.intervalsUs;
    ctx.Add(std::move(c));
}

} // namespace check
