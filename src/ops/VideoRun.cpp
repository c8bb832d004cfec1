#include "ops/VideoRun.h"

#include "ops/CaptureCommon.h"
#include "ops/CapturePrepare.h"
#include "ops/RunCounters.h"
#include "ops/RunReport.h"

#include <algorithm>
#include <utility>
#include <thread>

namespace ops {
namespace {

using Clock = TransferStats::Clock;

constexpr auto kPoll = std::chrono::milliseconds(20);

} // namespace

VideoRun::VideoRun(BoardHandle board, VideoRunParams params) : board_(board), params_(params) {}

VideoRun::~VideoRun()
{
    gate_.Shut();
    gate_.WaitUntilNoneInside();
}

void VideoRun::OnImage(uint32_t flags, uint32_t, uint32_t, uint32_t bufferKind, void *data)
{
    GateVisit visit(gate_);
    if (!visit.inside())
        return;
    capture_.Deliver(flags, bufferKind, static_cast<const uint8_t *>(data), Clock::now());
}

void VideoRun::Reissue()
{
    const int32_t status = ImageRequest(board_, nullptr, 0);
    if (status != 0) {
        int32_t none = 0;
        requestFailure_.compare_exchange_strong(none, status);
    }
}

// The live display's Start, with the library's buffer: geometry, clear, ten requests,
// ScanPrepare(1, 1, 3, 0), then the image get mode 3.
Result VideoRun::Start()
{
    CaptureSetup capture = LiveCaptureSetup();
    capture.issueRequests = [this] {
        for (uint32_t i = 0; i < params_.requestsInFlight; ++i) {
            const int32_t status = ImageRequest(board_, nullptr, 0);
            if (status != 0) {
                requestFailure_.store(status);
                return;
            }
        }
    };
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
    DeliveryWatch watch([this] { return capture_.Deliveries(); }, params_.deliveryTimeout);
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
    if (!capture_.MakeFrame()) {
        report.result = NoBuffer();
        return report;
    }
    start_ = Clock::now();
    // Every frame until half the duration has gone, then that one stays.
    capture_.HoldFrameFrom(start_ + params_.duration / 2);
    capture_.SetRunning(true);
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

    const TransferStats::Figures f = capture_.Stats().Snapshot();
    report.frames = f.frames;
    report.deliveries = f.deliveries;
    report.sizeErrors = f.sizeErrors;
    report.framesPerSecond = f.framesPerSecond;
    report.rateErrorPercent = f.framesPerSecond > 0 ? (f.framesPerSecond / kNtscFrameRate - 1) * 100 : 0;
    report.mbPerSecond = f.mbPerSecond;
    report.seconds = f.seconds;
    report.gaps = capture_.Gaps();
    report.framesMissed = capture_.FramesMissed();
    report.intervals = f.intervals;
    report.jitterUs = IntervalJitterUs(f.recentUs);
    report.intervalsUs = f.recentUs;
    if (capture_.FramesCopied() != 0) {
        report.snapshot = capture_.FrameCopy(); // blue, green, red in; red, green, blue out
        for (size_t i = 0; i + 2 < report.snapshot.size(); i += 3)
            std::swap(report.snapshot[i], report.snapshot[i + 2]);
    }
    report.diagnosis = DiagnoseVideoRun(report);
}

} // namespace ops
