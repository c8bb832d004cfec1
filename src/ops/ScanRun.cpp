#include "ops/ScanRun.h"

#include "ops/CaptureCommon.h"
#include "ops/RunCounters.h"
#include "ops/RunReport.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

namespace ops {
namespace {

using Clock = TransferStats::Clock;

constexpr auto kCopyEvery = std::chrono::milliseconds(250); // at most one frame copy this often
constexpr auto kPoll = std::chrono::milliseconds(20);       // how often Run asks `cancelled`
constexpr uint32_t kCancelTimeoutMs = 1000;                 // ScanCancel's own time-out
// How long a cancelled scan may take to report its end: its time-out and some slack.
constexpr auto kEndAfterCancel = std::chrono::milliseconds(kCancelTimeoutMs + 2000);

// Buffers the library may still write into (their requests could not be cleared): they stay
// allocated, and reachable, for the life of the process.
void KeepForever(std::unique_ptr<uint8_t[]> buffer)
{
    static std::mutex mutex; // guards kept
    static std::vector<std::unique_ptr<uint8_t[]>> kept;
    std::lock_guard<std::mutex> lock(mutex);
    kept.push_back(std::move(buffer));
}

} // namespace

ScanRun::ScanRun(BoardHandle board, ScanRunParams params) : board_(board), params_(std::move(params))
{
    const AreaScanParams &a = params_.area;
    geometry_.lines = a.lines;
    geometry_.pixels = a.pixels;
    geometry_.pixelBytes = a.pixelBytes;
    geometry_.unit = (a.unitFlags & SCAN_UNIT_FRAME) != 0 ? 1 : 0;
    params_.requestsInFlight = std::max<uint32_t>(1, params_.requestsInFlight);
    capture_.SetBoard(board_);
    capture_.SetGeometry(geometry_);
    capture_.SetReissue(true, ScanCapture::kWholeRequest);
    capture_.SetReissueOrder(ScanCapture::ReissueOrder::AfterCopy); // the copy reads first
    if (params_.checkContent)
        capture_.EnableContentChecks(params_.findStaleFrames);
}

ScanRun::~ScanRun()
{
    gate_.Shut();
    gate_.WaitUntilNoneInside();
}

// Program buffers big enough for any delivery of the scan, and the two frame copies; all before
// the first delivery, so the hook never allocates.
bool ScanRun::AllocateBuffers()
{
    try {
        capture_.BeginScan();
        const uint64_t frameBytes = uint64_t(geometry_.lines) * geometry_.stride();
        assembly_.assign(frameBytes, 0);
        complete_.assign(frameBytes, 0);
        if (params_.libraryBuffer)
            return true;
        const uint64_t lineBytes = geometry_.lineBytes();
        const uint64_t size = geometry_.unit == 1
                                  ? uint64_t(geometry_.lines - 1) * BOARD_LINE_PITCH + lineBytes
                                  : uint64_t(geometry_.lines) * lineBytes;
        if (geometry_.lines == 0 || size > UINT32_MAX)
            return false;
        buffers_.resize(params_.requestsInFlight);
        for (Buffer &b : buffers_) {
            b.data.reset(new uint8_t[size]()); // zero-filled, like every block the program hands over
            b.size = uint32_t(size);
            capture_.RegisterRequest(b.data.get(), b.size);
        }
        return true;
    } catch (const std::bad_alloc &) {
        capture_.ClearRequests();
        buffers_.clear();
        return false;
    }
}

// Run's thread, inside the start: `count` requests (one per program buffer). The first failing
// status is kept with the re-issues' (the capture's); the rest of the batch is not issued.
void ScanRun::IssueRequests(uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (!params_.libraryBuffer)
            capture_.PrimeRequest(buffers_[i].data.get());
        const int32_t status = params_.libraryBuffer
                                   ? ImageRequest(board_, nullptr, 0)
                                   : ImageRequest(board_, buffers_[i].data.get(), buffers_[i].size);
        if (status != 0) {
            capture_.NoteRequestFailure(status);
            return;
        }
    }
}

void ScanRun::OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                      void *data)
{
    GateVisit visit(gate_);
    if (!visit.inside())
        return;
    const HookDelivery hook{flags, startLine, lineCount, bufferKind, static_cast<const uint8_t *>(data),
                            Clock::now()};
    capture_.Account(hook);
    if (hook.image())
        capture_.Take(hook);
    else if (flags != HOOK_FLAG_LINE_OVERRUN)
        capture_.Reissue(bufferKind, hook.data); // a size report used a request up, a lost run none
    deliveries_.fetch_add(1, std::memory_order_relaxed);
}

// Hook thread, from the capture: the frame copy, at most one every kCopyEvery, and always the
// last frame asked for.
bool ScanRun::TakeLines(const HookDelivery &hook, const Delivery &lines, uint32_t frame)
{
    const bool frameEnds = (hook.flags & HOOK_FLAG_FRAME) != 0;
    if (geometry_.unit == 1 || hook.startLine == 0) {
        const bool lastAsked = params_.frames != 0 && frame + 1 == params_.frames;
        copying_ = lastAsked || !haveCopy_ || hook.at - lastCopy_ >= kCopyEvery;
        if (copying_ && geometry_.unit == 0)
            std::fill(assembly_.begin(), assembly_.end(), uint8_t(0));
    }
    if (copying_)
        CopyDeliveredLines(geometry_, assembly_, lines);
    if (frameEnds && copying_) {
        assembly_.swap(complete_); // no allocation: both were sized before the start
        haveCopy_ = true;
        copyNumber_ = frame;
        lastCopy_ = hook.at;
        copying_ = false;
    }
    return copying_;
}

void ScanRun::OnScanEnd(int32_t reason)
{
    GateVisit visit(gate_);
    if (!visit.inside())
        return;
    std::lock_guard<std::mutex> lock(endMutex_);
    endReason_ = reason;
    ended_ = true;
    endCv_.notify_all();
}

// Run's thread: until the scan ends, the caller cancels, or no delivery comes for the time-out.
ScanRun::Ending ScanRun::WaitForEnd(const std::function<bool()> &cancelled,
                                    const std::function<void(double)> &progress)
{
    DeliveryWatch watch([this] { return deliveries_.load(std::memory_order_relaxed); }, params_.deliveryTimeout);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(endMutex_);
            if (endCv_.wait_for(lock, kPoll, [this] { return ended_; }))
                return Ending::Ended;
        }
        if (progress)
            progress(params_.frames == 0 ? 0.0
                                         : std::min(1.0, double(capture_.Frames()) / params_.frames));
        if (cancelled && cancelled())
            return Ending::Cancelled;
        if (watch.Stalled())
            return Ending::TimedOut;
    }
}

// Run's thread: waits up to `limit` for the scan end notification.
bool ScanRun::WaitForScanEnd(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(endMutex_);
    return endCv_.wait_for(lock, limit, [this] { return ended_; });
}

ScanRunReport ScanRun::Run(const std::function<bool()> &cancelled,
                           const std::function<void(double)> &progress)
{
    ScanRunReport report;
    report.pixels = geometry_.pixels;
    report.lines = geometry_.lines;
    report.pixelBytes = geometry_.pixelBytes;
    if (!ReadCountersBefore(board_, report))
        return report;
    if (!AllocateBuffers()) {
        report.result = NoBuffer();
        return report;
    }

    AreaScanParams area = params_.area;
    area.startCount = params_.frames;
    area.autoIssue = true;
    area.issueBeforeStart = true; // requests wait before the first image is due
    area.requestCount = params_.requestsInFlight;
    area.startDelayMs = 0;
    bool prepared = false;
    AreaScanHooks hooks;
    hooks.clearRequests = [this] { return ImageRequestClear(board_); };
    hooks.issueBatch = [this](uint32_t count) { IssueRequests(count); };
    hooks.prepared = [&prepared] { prepared = true; };
    gate_.Open();
    Result result = StartAreaScan(board_, area, hooks);
    const int32_t batchFailure = capture_.ReissueFailure();
    if (result.ok() && batchFailure != 0)
        result = Failed("ImageRequest", batchFailure, "矩形データ取得要求が失敗しました。", Icon::Stop);

    if (result.ok()) {
        const Ending ending = WaitForEnd(cancelled, progress);
        if (ending != Ending::Ended) {
            // Stop the scan, and give its end notification a bounded while to come.
            ScanCancel(board_, CANCEL_FRAME, kCancelTimeoutMs);
            WaitForScanEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kEndAfterCancel));
        }
        if (ending == Ending::Cancelled)
            result = Failed("cancelled", 0, "走査を中止しました。");
        else if (ending == Ending::TimedOut)
            result = NoDeliveryWithin(params_.deliveryTimeout);
        else if (const int32_t failed = capture_.ReissueFailure(); failed != 0)
            result = Failed("ImageRequest", failed, "矩形データ取得要求が失敗しました。", Icon::Stop);
    } else if (prepared) {
        // Prepared but not started (or started and its requests failed): no scan may stay behind.
        ScanCancel(board_, CANCEL_FRAME, kCancelTimeoutMs);
        WaitForScanEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kEndAfterCancel));
    }
    report.result = result;
    Finish(report);
    return report;
}

// Run's thread: no callback inside any more, no request left, the buffers freed only once the
// library can no longer write into them, the counters read again, and the figures.
void ScanRun::Finish(ScanRunReport &report)
{
    const int32_t cleared = EndDeliveries(gate_, board_);
    capture_.ClearRequests(); // the buffers go (or are kept) below: none is the run's any more
    if (cleared == 0) {
        buffers_.clear();
    } else {
        for (Buffer &b : buffers_)
            KeepForever(std::move(b.data));
        buffers_.clear();
        if (report.result.ok())
            report.result = Failed("ImageRequestClear", cleared, "矩形データ取得要求クリアが失敗しました。",
                                   Icon::Stop);
    }
    ReadCountersAfter(board_, report);
    Report(report);
}

void ScanRun::Report(ScanRunReport &report) const
{
    const TransferStats::Figures f = capture_.Stats()->Snapshot();
    const ContentFindings &content = capture_.Findings();
    report.framesAccounted = f.frames;
    report.linesAccounted = f.lines;
    report.deliveries = f.deliveries;
    report.sizeErrors = f.sizeErrors;
    report.lostRuns = f.lostRuns;
    report.lineGaps = capture_.LineGaps();
    report.unwrittenFrames = content.unwrittenFrames;
    report.unwrittenLines = content.unwrittenLines;
    report.unwritten = content.unwritten;
    report.staleFrames = content.staleFrames;
    report.staleFrameNumbers = content.staleFrameNumbers;
    report.intervals = f.intervals;
    report.intervalsUs = f.recentUs;
    report.mbPerSecond = f.mbPerSecond;
    report.framesPerSecond = f.framesPerSecond;
    report.seconds = f.seconds;
    {
        std::lock_guard<std::mutex> lock(endMutex_);
        report.endReason = ended_ ? endReason_ : 0;
    }
    if (haveCopy_) {
        const uint64_t lineBytes = geometry_.lineBytes(), stride = geometry_.stride();
        report.lastFrame.resize(lineBytes * geometry_.lines);
        for (uint32_t y = 0; y < geometry_.lines; ++y)
            std::memcpy(report.lastFrame.data() + y * lineBytes, complete_.data() + y * stride, lineBytes);
        report.lastFrameNumber = copyNumber_;
    }
    report.diagnosis = DiagnoseScanRun(report, params_.frames);
}

} // namespace ops
