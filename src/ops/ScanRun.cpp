#include "ops/ScanRun.h"

#include "ops/RunCounters.h"
#include "ops/RunReport.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

namespace ops {
namespace {

using Clock = TransferStats::Clock;

// Bytes of each frame the stale check hashes: whole lines, a few percent of a large frame, all of
// a small one.
constexpr uint64_t kHashedBytes = 64 * 1024;
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
    hash_.SetStep(FrameHash::StepFor(geometry_.lineBytes(), geometry_.lines, kHashedBytes));
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
        content_.unwritten.reserve(ScanRunReport::kNamedFindings); // the hook never allocates
        content_.staleFrameNumbers.reserve(ScanRunReport::kNamedFindings);
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
        }
        return true;
    } catch (const std::bad_alloc &) {
        buffers_.clear();
        return false;
    }
}

// Run's thread, inside the start: `count` requests (one per program buffer). The first failing
// status is kept with the re-issues' (reissueFailure_); the rest of the batch is not issued.
void ScanRun::IssueRequests(uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (!params_.libraryBuffer && params_.checkContent)
            FillCanary(buffers_[i].data.get(), CanaryPitch(), geometry_.lineBytes(), geometry_.lines);
        const int32_t status = params_.libraryBuffer
                                   ? ImageRequest(board_, nullptr, 0)
                                   : ImageRequest(board_, buffers_[i].data.get(), buffers_[i].size);
        if (status != 0) {
            int32_t none = 0;
            reissueFailure_.compare_exchange_strong(none, status);
            return;
        }
    }
}

// Hook thread. A new request for the one the delivery used up: the library's buffer again, or
// the program buffer the delivery came in (never a buffer that is not the run's).
void ScanRun::Reissue(uint32_t bufferKind, uint8_t *data)
{
    int32_t status = 0;
    if (bufferKind == HOOK_BUFFER_LIBRARY || params_.libraryBuffer) {
        status = ImageRequest(board_, nullptr, 0);
    } else {
        auto it = std::find_if(buffers_.begin(), buffers_.end(),
                               [data](const Buffer &b) { return b.data.get() == data; });
        if (it == buffers_.end())
            return;
        if (params_.checkContent)
            FillCanary(it->data.get(), CanaryPitch(), geometry_.lineBytes(), geometry_.lines);
        status = ImageRequest(board_, it->data.get(), it->size);
    }
    if (status != 0) {
        int32_t none = 0;
        reissueFailure_.compare_exchange_strong(none, status);
    }
}

// Hook thread. Bytes readable from data in the run's program buffer that holds it.
uint64_t ScanRun::ExtentOf(const uint8_t *data) const
{
    for (const Buffer &b : buffers_) {
        const uint8_t *base = b.data.get();
        if (data >= base && data < base + b.size)
            return b.size - uint64_t(data - base);
    }
    return 0;
}

// Where a program buffer's lines lie: at the pitch (frame unit), back to back (line unit).
uint64_t ScanRun::CanaryPitch() const
{
    return geometry_.unit == 1 ? BOARD_LINE_PITCH : geometry_.lineBytes();
}

// Hook thread: the claimed lines that still hold the canary, and the frame hash. Reads stay
// inside what the delivery holds, as the frame copy's do.
void ScanRun::CheckContent(uint32_t frame, bool frameEnds, uint32_t startLine, uint32_t lineCount,
                           bool library, const uint8_t *data)
{
    const uint64_t lineBytes = geometry_.lineBytes();
    const bool pitched = geometry_.unit == 1 || library;
    if (data != nullptr && lineBytes != 0 && (!pitched || lineBytes <= BOARD_LINE_PITCH)) {
        // Frame unit: the whole frame from line 0; line unit: the run.
        const uint32_t first = geometry_.unit == 1 ? 0 : std::min(startLine, geometry_.lines);
        const uint32_t end = geometry_.unit == 1
                                 ? geometry_.lines
                                 : uint32_t(std::min<uint64_t>(uint64_t(startLine) + lineCount, geometry_.lines));
        // Lines the delivery wholly holds (the library's buffer: the lines it names, at the pitch).
        const uint64_t pitch = pitched ? BOARD_LINE_PITCH : lineBytes;
        const uint64_t extent =
            library ? (uint64_t(startLine) + lineCount) * BOARD_LINE_PITCH : ExtentOf(data);
        const uint64_t before = pitched ? first * pitch : 0; // bytes ahead of the first line
        const uint64_t held =
            extent < before + lineBytes ? 0 : std::min<uint64_t>(end - first, (extent - before - lineBytes) / pitch + 1);
        const uint8_t *firstLine = data + before;
        hash_.AddLines(firstLine, pitch, lineBytes, first, uint32_t(held));
        if (!library) {
            // The claimed lines: for a frame unit those lineCount says, from startLine.
            const uint32_t claimedFirst = geometry_.unit == 1 ? std::min(startLine, uint32_t(held)) : 0;
            const uint64_t claimedEnd =
                geometry_.unit == 1 ? std::min<uint64_t>(uint64_t(startLine) + lineCount, held) : held;
            const uint32_t lineOfFirst = geometry_.unit == 1 ? claimedFirst : first;
            for (const LineRange &r : CanaryLines(data, pitch, lineBytes, claimedFirst,
                                                  uint32_t(claimedEnd - claimedFirst), lineOfFirst)) {
                if (lastUnwrittenFrame_ != frame) {
                    lastUnwrittenFrame_ = frame;
                    ++content_.unwrittenFrames;
                }
                content_.unwrittenLines += r.end - r.first;
                if (content_.unwritten.size() < ScanRunReport::kNamedFindings)
                    content_.unwritten.push_back({frame, r});
            }
        }
    }
    if (!frameEnds)
        return;
    const uint64_t value = hash_.Value();
    if (params_.findStaleFrames && havePrevious_ && value == previousHash_) {
        ++content_.staleFrames;
        if (content_.staleFrameNumbers.size() < ScanRunReport::kNamedFindings)
            content_.staleFrameNumbers.push_back(frame);
    }
    previousHash_ = value;
    havePrevious_ = true;
    hash_.Reset();
}

void ScanRun::OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                      void *data)
{
    GateVisit visit(gate_);
    if (!visit.inside())
        return;
    const Clock::time_point now = Clock::now();
    const bool image = (flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES)) != 0 && (flags & HOOK_FLAG_AREA_SIZE) == 0;
    const uint32_t lines = image ? lineCount : 0;
    stats_.Record(flags, lines, uint64_t(lines) * geometry_.lineBytes(), now);
    if (image)
        TakeLines(flags, startLine, lineCount, bufferKind, static_cast<const uint8_t *>(data), now);
    // A lost run's report used no request; an image or a size report used one up.
    if (flags != HOOK_FLAG_LINE_OVERRUN)
        Reissue(bufferKind, static_cast<uint8_t *>(data));
    deliveries_.fetch_add(1, std::memory_order_relaxed);
}

// Hook thread: line order, the frame copy and the frame count.
void ScanRun::TakeLines(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                        const uint8_t *data, Clock::time_point now)
{
    const bool frameEnds = (flags & HOOK_FLAG_FRAME) != 0;
    const uint32_t frame = framesDone_.load(std::memory_order_relaxed);
    if (geometry_.unit == 0) {
        if (startLine != nextLine_)
            ++lineGaps_; // a run lost or out of order
        nextLine_ = frameEnds ? 0 : startLine + lineCount;
    }
    if (geometry_.unit == 1 || startLine == 0) {
        const bool lastAsked = params_.frames != 0 && frame + 1 == params_.frames;
        copying_ = lastAsked || !haveCopy_ || now - lastCopy_ >= kCopyEvery;
        if (copying_ && geometry_.unit == 0)
            std::fill(assembly_.begin(), assembly_.end(), uint8_t(0));
    }
    if (params_.checkContent)
        CheckContent(frame, frameEnds, startLine, lineCount, bufferKind == HOOK_BUFFER_LIBRARY, data);
    if (copying_) {
        Delivery d;
        d.startLine = startLine;
        d.lineCount = lineCount;
        d.library = bufferKind == HOOK_BUFFER_LIBRARY;
        d.data = data;
        d.extent = d.library ? 0 : ExtentOf(data);
        CopyDeliveredLines(geometry_, assembly_, d);
    }
    if (frameEnds) {
        if (copying_) {
            assembly_.swap(complete_); // no allocation: both were sized before the start
            haveCopy_ = true;
            copyNumber_ = frame;
            lastCopy_ = now;
            copying_ = false;
        }
        framesDone_.store(frame + 1, std::memory_order_relaxed);
    }
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
    uint64_t seen = deliveries_.load(std::memory_order_relaxed);
    Clock::time_point lastChange = Clock::now();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(endMutex_);
            if (endCv_.wait_for(lock, kPoll, [this] { return ended_; }))
                return Ending::Ended;
        }
        if (progress)
            progress(params_.frames == 0 ? 0.0
                                         : std::min(1.0, double(framesDone_.load()) / params_.frames));
        if (cancelled && cancelled())
            return Ending::Cancelled;
        const uint64_t now = deliveries_.load(std::memory_order_relaxed);
        if (now != seen) {
            seen = now;
            lastChange = Clock::now();
        } else if (Clock::now() - lastChange >= params_.deliveryTimeout) {
            return Ending::TimedOut;
        }
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
        report.result = Failed("buffer", 0, "バッファの確保に失敗しました。", Icon::Stop);
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
    const int32_t batchFailure = reissueFailure_.load();
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
            result = Failed("timeout", 0,
                            std::to_string(params_.deliveryTimeout.count()) +
                                " ms 以内に画像転送がありませんでした。",
                            Icon::Stop);
        else if (const int32_t failed = reissueFailure_.load(); failed != 0)
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
    gate_.Shut();
    gate_.WaitUntilNoneInside();
    const int32_t cleared = ImageRequestClear(board_);
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
    const TransferStats::Figures f = stats_.Snapshot();
    report.framesAccounted = f.frames;
    report.linesAccounted = f.lines;
    report.deliveries = f.deliveries;
    report.sizeErrors = f.sizeErrors;
    report.lostRuns = f.lostRuns;
    report.lineGaps = lineGaps_;
    report.unwrittenFrames = content_.unwrittenFrames;
    report.unwrittenLines = content_.unwrittenLines;
    report.unwritten = content_.unwritten;
    report.staleFrames = content_.staleFrames;
    report.staleFrameNumbers = content_.staleFrameNumbers;
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
