#include "ops/VideoRun.h"

#include "ops/CaptureCommon.h"
#include "ops/CapturePrepare.h"
#include "ops/RunCounters.h"
#include "ops/RunReport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <new>
#include <thread>

namespace ops {
namespace {

using Clock = TransferStats::Clock;

constexpr uint32_t kGeometry640 = (kVideoHeight << 16) | 640u;
constexpr uint32_t kGeometry720 = (kVideoHeight << 16) | 720u;
constexpr uint64_t kFrameBytes = uint64_t(kVideoWidth) * kVideoHeight * 3;
constexpr double kFrameUs = 1e6 / kNtscFrameRate;
constexpr auto kPoll = std::chrono::milliseconds(20);

} // namespace

uint64_t MissedFrames(double intervalUs)
{
    if (intervalUs <= 1.5 * kFrameUs)
        return 0;
    return std::max<uint64_t>(1, uint64_t(std::llround(intervalUs / kFrameUs)) - 1);
}

VideoRun::VideoRun(BoardHandle board, VideoRunParams params) : board_(board), params_(params) {}

VideoRun::~VideoRun()
{
    gate_.Shut();
    gate_.WaitUntilNoneInside();
}

void VideoRun::OnImage(uint32_t flags, uint32_t, uint32_t lineCount, uint32_t bufferKind, void *data)
{
    RunGateVisit visit(gate_);
    if (!visit.inside())
        return;
    const Clock::time_point now = Clock::now();
    const bool frame = (flags & HOOK_FLAG_FRAME) != 0 && (flags & HOOK_FLAG_AREA_SIZE) == 0;
    stats_.Record(flags, frame ? lineCount : 0, frame ? kFrameBytes : 0, now);
    if (frame && data != nullptr) {
        if (haveFrame_) {
            const uint64_t missed =
                MissedFrames(std::chrono::duration<double, std::micro>(now - lastFrame_).count());
            if (missed != 0) {
                ++gaps_;
                framesMissed_ += missed;
            }
        }
        haveFrame_ = true;
        lastFrame_ = now;
        // Every frame until half the duration has gone, then that one stays. A plain copy: the
        // colour order is turned round once, at the end, not in the hook.
        if (!haveSnapshot_ || now - start_ < params_.duration / 2) {
            std::memcpy(snapshot_.data(), data, kFrameBytes);
            haveSnapshot_ = true;
        }
    }
    (void)bufferKind; // requests always go into the library's buffer
    const int32_t status = ImageRequest(board_, nullptr, 0);
    if (status != 0) {
        int32_t none = 0;
        requestFailure_.compare_exchange_strong(none, status);
    }
    deliveries_.fetch_add(1, std::memory_order_relaxed);
}

// The live display's Start, with the library's buffer: geometry, clear, ten requests,
// ScanPrepare(1, 1, 3, 0), then the image get mode 3.
Result VideoRun::Start()
{
    CaptureSetup capture;
    capture.geometryH = kGeometry640;
    capture.geometryL = kGeometry720;
    capture.geometryDio = kGeometry720;
    capture.clearFailedText = "画像データ取得要求クリアが失敗しました。";
    capture.issueRequests = [this] {
        for (uint32_t i = 0; i < params_.requestsInFlight; ++i) {
            const int32_t status = ImageRequest(board_, nullptr, 0);
            if (status != 0) {
                requestFailure_.store(status);
                return;
            }
        }
    };
    capture.scanKind = SCAN_KIND_AREA;
    capture.unitFlags = SCAN_UNIT_FRAME;
    capture.pixelBytes = 3;
    capture.lineInterval = 0;
    Result r = PrepareCapture(board_, capture);
    if (!r.ok())
        return r;
    if (const int32_t failed = requestFailure_.load(); failed != 0) {
        ScanCancel(board_, CANCEL_FRAME, 0); // forgets the preparation
        return Failed("ImageRequest", failed, "画像データ取得要求が失敗しました。", Icon::Stop);
    }
    const int32_t status = IoWriteLong(board_, REG_DIO_IMG_GETMODE, 3);
    if (status != 0) {
        ScanCancel(board_, CANCEL_FRAME, 0);
        return Failed("DIO_IMG_GETMODE_108", status, "レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)",
                      Icon::Stop);
    }
    return Succeeded();
}

VideoRun::Ending VideoRun::Wait(const std::function<bool()> &cancelled,
                                const std::function<void(double)> &progress)
{
    DeliveryWatch watch(deliveries_, params_.deliveryTimeout);
    for (;;) {
        std::this_thread::sleep_for(kPoll);
        const Clock::time_point now = Clock::now();
        const double gone = std::chrono::duration<double>(now - start_).count() /
                            std::chrono::duration<double>(params_.duration).count();
        if (progress)
            progress(std::min(1.0, gone));
        if (gone >= 1.0)
            return Ending::Done;
        if (cancelled && cancelled())
            return Ending::Cancelled;
        if (watch.Stalled(now))
            return Ending::TimedOut;
    }
}

VideoRunReport VideoRun::Run(const std::function<bool()> &cancelled,
                             const std::function<void(double)> &progress)
{
    VideoRunReport report;
    if (!ReadCountersBefore(board_, report))
        return report;
    try {
        snapshot_.assign(kFrameBytes, 0);
    } catch (const std::bad_alloc &) {
        report.result = NoBuffer();
        return report;
    }
    start_ = Clock::now();
    gate_.Open();
    Result result = Start();
    if (result.ok()) {
        const Ending ending = Wait(cancelled, progress);
        const int32_t stopped = IoWriteLong(board_, REG_DIO_IMG_GETMODE, 0);
        if (ending == Ending::Cancelled)
            result = Failed("cancelled", 0, "ライブ映像の取得を中止しました。");
        else if (ending == Ending::TimedOut)
            result = NoDeliveryWithin(params_.deliveryTimeout);
        else if (const int32_t failed = requestFailure_.load(); failed != 0)
            result = Failed("ImageRequest", failed, "画像データ取得要求が失敗しました。", Icon::Stop);
        if (stopped != 0 && result.ok())
            result = Failed("DIO_IMG_GETMODE_108", stopped,
                            "レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)", Icon::Stop);
    }
    report.result = result;
    Finish(report);
    return report;
}

// No callback inside any more, no request left, the counters read again, and the figures.
void VideoRun::Finish(VideoRunReport &report)
{
    const int32_t cleared = EndDeliveries(gate_, board_);
    if (cleared != 0 && report.result.ok())
        report.result = Failed("ImageRequestClear", cleared, "画像データ取得要求クリアが失敗しました。",
                               Icon::Stop);
    ReadCountersAfter(board_, report);

    const TransferStats::Figures f = stats_.Snapshot();
    report.frames = f.frames;
    report.deliveries = f.deliveries;
    report.sizeErrors = f.sizeErrors;
    report.framesPerSecond = f.framesPerSecond;
    report.rateErrorPercent = f.framesPerSecond > 0 ? (f.framesPerSecond / kNtscFrameRate - 1) * 100 : 0;
    report.mbPerSecond = f.mbPerSecond;
    report.seconds = f.seconds;
    report.gaps = gaps_;
    report.framesMissed = framesMissed_;
    report.intervals = f.intervals;
    report.jitterUs = IntervalJitterUs(f.recentUs);
    report.intervalsUs = f.recentUs;
    if (haveSnapshot_) {
        report.snapshot = snapshot_; // blue, green, red in; red, green, blue out
        for (uint64_t i = 0; i < kFrameBytes; i += 3)
            std::swap(report.snapshot[i], report.snapshot[i + 2]);
    }
    report.diagnosis = DiagnoseVideoRun(report);
}

} // namespace ops
