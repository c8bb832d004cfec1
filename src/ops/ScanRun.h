// An area scan run without a window, for the unattended checker: programs the scan as the scan
// tool's Start does (ops::StartAreaScan), keeps requests in flight from the hook, and accounts
// for every frame and line until the scan ends, the deliveries stop for longer than the time-out,
// or the caller cancels. Its deliveries go through a scan capture (ops/ScanCapture.h) with the
// content checks on: lines a delivery claims but did not write (a canary in its program buffers)
// and frames equal to the one before. The caller opens the board with callbacks of its own and
// forwards the
// hook and the scan end to the run while Run() is in progress (before Run and after it returns
// the run ignores them), and stops forwarding before the run is destroyed.
#pragma once

#include "board/pel2ctl.h"
#include "ops/AreaScanStart.h"
#include "ops/IntervalFigures.h"
#include "ops/Result.h"
#include "ops/Gate.h"
#include "ops/ScanCapture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ops {

struct ScanRunParams {
    // Geometry, unit, pixel size and line interval (defaults 1024 x 1024, frame unit, 8 bit). The
    // run sets the start count to `frames` and issues its own request batch before the start.
    AreaScanParams area;
    uint32_t frames = 100;          // 0: until cancelled
    bool libraryBuffer = true;      // the library's buffer; false: program buffers of the run's own
    uint32_t requestsInFlight = 8;  // requests pending at the start, each re-issued from the hook
    std::chrono::milliseconds deliveryTimeout{5000}; // no delivery for this long ends the run
    // Frames equal to the one before are findings; off for a target that cannot change between
    // frames (a noiseless still chart), where every frame repeats its predecessor.
    bool findStaleFrames = true;
    bool checkContent = true; // the canary and the frame hash at all (off: figures without them)
};

struct ScanRunReport {
    // Empty step when the run went through, whatever its figures; else the board call that failed
    // ("ErrorInfoGet", "ImageRequest", a step of the start, "ImageRequestClear"), "timeout" (no
    // delivery within the time-out) or "cancelled".
    Result result;
    uint64_t framesAccounted = 0, linesAccounted = 0, deliveries = 0;
    uint64_t sizeErrors = 0, lostRuns = 0, lineGaps = 0; // flags 4, flags 8, runs out of order
    int32_t endReason = 0; // ScanEndCallback's reason; 0 when none came
    int32_t noRequestBefore = 0, noRequestAfter = 0, hookBusyBefore = 0, hookBusyAfter = 0;
    IntervalFigures intervals;       // between frame completions (see TransferStats::Figures)
    std::vector<double> intervalsUs; // the latest intervals, oldest first
    double mbPerSecond = 0, framesPerSecond = 0, seconds = 0;
    // The last frame copied (at most one every 250 ms, and always the last one asked for):
    // lines of pixels x pixelBytes bytes, back to back; empty when no frame was complete.
    std::vector<uint8_t> lastFrame;
    uint32_t lastFrameNumber = 0; // its number in the run, from 0
    uint32_t pixels = 0, lines = 0, pixelBytes = 0;
    // The picture's content. Program buffers hold a canary before each request: lines a delivery
    // claims that still hold it were not written. A frame whose hash equals its predecessor's is
    // stale. Frame numbers count from 0, as lastFrameNumber.
    using UnwrittenLines = ops::UnwrittenLines;
    uint64_t unwrittenFrames = 0, unwrittenLines = 0;
    std::vector<UnwrittenLines> unwritten; // the first kNamedFindings runs, in order
    uint64_t staleFrames = 0;
    std::vector<uint32_t> staleFrameNumbers; // the first kNamedFindings
    static constexpr size_t kNamedFindings = ContentFindings::kNamedFindings;
    std::string diagnosis; // in Japanese, one line per finding; empty when all is well
};

class ScanRun : private CaptureSink {
public:
    ScanRun(BoardHandle board, ScanRunParams params);
    ~ScanRun() override;
    ScanRun(const ScanRun &) = delete;
    ScanRun &operator=(const ScanRun &) = delete;

    // Board library delivery thread: what the board's ImageTransferHook received.
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data);
    // Board library delivery thread: what the board's ScanEndCallback received.
    void OnScanEnd(int32_t reason);

    // The caller's thread; blocks until the run is over. `cancelled` is asked a few dozen times a
    // second and `progress` told the share of the frames done (0..1; 0 for an endless run).
    ScanRunReport Run(const std::function<bool()> &cancelled, const std::function<void(double)> &progress);

private:
    enum class Ending { Ended, Cancelled, TimedOut };

    bool AllocateBuffers();
    void IssueRequests(uint32_t count);
    // Hook thread, from the capture: the frame copy.
    bool TakeLines(const HookDelivery &hook, const Delivery &lines, uint32_t frame) override;
    Ending WaitForEnd(const std::function<bool()> &cancelled, const std::function<void(double)> &progress);
    bool WaitForScanEnd(std::chrono::milliseconds limit);
    void Finish(ScanRunReport &report);
    void Report(ScanRunReport &report) const;

    const BoardHandle board_;
    ScanRunParams params_;
    ImageGeometry geometry_;
    Gate gate_;
    ScanCapture capture_{*this};

    // Set up by Run before the gate opens; read-only for the callbacks.
    struct Buffer {
        std::unique_ptr<uint8_t[]> data;
        uint32_t size = 0;
    };
    std::vector<Buffer> buffers_; // program buffers, one per request in flight

    // Hook thread only while the gate is open; Run reads them once none is inside.
    std::vector<uint8_t> assembly_, complete_; // frame being copied, last complete copy
    bool copying_ = false;                     // the frame under way is being copied
    bool haveCopy_ = false;
    uint32_t copyNumber_ = 0;
    TransferStats::Clock::time_point lastCopy_{};

    // Written by the callbacks, read by Run while they come.
    std::atomic<uint64_t> deliveries_{0};
    mutable std::mutex endMutex_;   // guards endReason_ and ended_
    std::condition_variable endCv_; // the scan ended
    int32_t endReason_ = 0;
    bool ended_ = false;
};

} // namespace ops
