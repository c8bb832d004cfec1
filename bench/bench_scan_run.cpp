// The window-less scan run (ops::ScanRun) against the simulated board at full rate: frames per
// second accounted for at 1024 x 1024 x 8 bit, frame unit, into the library's buffer (the target
// is 2,000 or more) and into program buffers, with what the run reports; each with the content
// checks (canary, frame hash) and without, one after the other, for their cost.
#include "board/pel2ctl.h"
#include "ops/ScanRun.h"
#include "simctl.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace {

std::atomic<ops::ScanRun *> g_run{nullptr};

void ForwardImage(uint32_t flags, uint32_t start, uint32_t count, uint32_t kind, void *data)
{
    if (ops::ScanRun *run = g_run.load(std::memory_order_acquire))
        run->OnImage(flags, start, count, kind, data);
}
void ForwardEnd(int32_t reason)
{
    if (ops::ScanRun *run = g_run.load(std::memory_order_acquire))
        run->OnScanEnd(reason);
}
void NoEvent(int32_t) {}

void Measure(const char *name, bool library, bool content, uint32_t frames)
{
    SimReset();
    SimSetFrameRate(0); // as fast as the program takes the frames
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    const BoardHandle board = BoardOpen(0, ForwardImage, NoEvent, NoEvent, ForwardEnd, &first, &second, &error);
    ops::ScanRunParams params; // 1024 x 1024, frame unit, 8 bit
    params.frames = frames;
    params.libraryBuffer = library;
    params.checkContent = content;
    ops::ScanRun run(board, params);
    g_run = &run;
    const auto t0 = std::chrono::steady_clock::now();
    const ops::ScanRunReport r = run.Run({}, {});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    g_run = nullptr;
    BoardClose(board);
    std::printf("%-44s %s: %llu of %u frames, %.0f frames/s accounted (%.0f over the whole run), "
                "%.0f MB/s\n",
                name, r.result.ok() ? "ok" : r.result.step.c_str(),
                static_cast<unsigned long long>(r.framesAccounted), frames, r.framesPerSecond,
                double(r.framesAccounted) / wall, r.mbPerSecond);
    std::printf("%-44s interval min %.1f median %.1f p99 %.1f max %.1f us; end reason %d; lost %d/%d%s\n",
                "", r.intervals.minUs, r.intervals.medianUs, r.intervals.p99Us, r.intervals.maxUs,
                r.endReason, r.noRequestAfter - r.noRequestBefore, r.hookBusyAfter - r.hookBusyBefore,
                r.diagnosis.empty() ? "" : ("; " + r.diagnosis).c_str());
}

} // namespace

int main()
{
    for (int i = 0; i < 3; ++i) {
        Measure("1024 x 1024 x 8-bit frames, library buffer", true, true, 6000);
        Measure("  the same without content checks", true, false, 6000);
        Measure("1024 x 1024 x 8-bit frames, program buffers", false, true, 6000);
        Measure("  the same without content checks", false, false, 6000);
    }
    SimReset();
    return 0;
}
