// A live video run without a window, for the unattended checker: starts live NTSC capture as the
// live display's Start does (ops::PrepareCapture, then the image get mode 3), keeps requests into
// the library's buffer in flight from the hook for a while, and measures what arrives: frames,
// frame rate against 29.97, gaps, interval jitter, and one picture. Frames are judged lost only
// from what the board counts; the gaps and jitter are the host's arrival timing, for the caller to
// weigh. Its deliveries go through an ops::LiveCapture, as the live display's do. The same
// contract as ScanRun: the caller forwards its hook to the run while Run() is in progress.
#pragma once

#include "board/pel2ctl.h"
#include "ops/IntervalFigures.h"
#include "ops/LiveCapture.h"
#include "ops/Result.h"
#include "ops/Gate.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ops {

constexpr double kRateTolerance = 0.01; // a rate further off than this is worth a note

struct VideoRunParams {
    std::chrono::milliseconds duration{10000};
    std::chrono::milliseconds deliveryTimeout{5000}; // no frame for this long ends the run
    uint32_t requestsInFlight = 10; // as the live display's Start: ten before ScanPrepare
};

struct VideoRunReport {
    // Empty step when the run went through; else the failing board call (a step of the capture
    // set-up, "ImageRequest", "DIO_IMG_GETMODE_108", "ImageRequestClear", "ErrorInfoGet"),
    // "timeout" or "cancelled".
    Result result;
    uint64_t frames = 0, deliveries = 0, sizeErrors = 0;
    double framesPerSecond = 0;
    double rateErrorPercent = 0; // against 29.97
    double mbPerSecond = 0, seconds = 0;
    // Host arrival timing, not the board's word: a busy host delays the hook without a frame lost.
    uint64_t gaps = 0;         // intervals over 1.5 frame times between arrivals
    uint64_t framesMissed = 0; // the frame times those gaps spanned (MissedFrames)
    IntervalFigures intervals;
    double jitterUs = 0; // standard deviation of the latest intervals
    std::vector<double> intervalsUs;
    int32_t noRequestBefore = 0, noRequestAfter = 0, hookBusyBefore = 0, hookBusyAfter = 0;
    // One picture, 640 x 480 RGB, rows back to back: the frame at half the duration (the latest
    // one when the run ended sooner); empty when none came.
    std::vector<uint8_t> snapshot;
    uint32_t width = kVideoWidth, height = kVideoHeight;
    // In Japanese, one line per finding of the board (lost images, size errors, hardly a frame);
    // empty when the board reports nothing wrong. Rates and host timing are the caller's to judge.
    std::string diagnosis;
};

// Not copied: the capture's figures and frame are the run's own.
class VideoRun : private LiveCapture::Client {
public:
    // Board library delivery thread: what the board's ImageTransferHook received.
    void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data);

    VideoRun(BoardHandle board, VideoRunParams params);
    ~VideoRun();

    // The caller's thread; blocks for the duration (or until cancelled or timed out). `progress`
    // is told the share of the duration gone (0..1).
    VideoRunReport Run(const std::function<bool()> &cancelled, const std::function<void(double)> &progress);

private:
    enum class Ending { Done, Cancelled, TimedOut };

    void Reissue() override; // board library delivery thread: one request into the library's buffer
    Result Start();
    Ending Wait(const std::function<bool()> &cancelled, const std::function<void(double)> &progress);
    void Finish(VideoRunReport &report);

    const BoardHandle board_;
    const VideoRunParams params_;
    Gate gate_;
    LiveCapture::Clock::time_point start_{}; // set before the gate opens
    // Every delivery inside the gate; it answers each, a size error included, with a request.
    LiveCapture capture_{*this, true};
    std::atomic<int32_t> requestFailure_{0}; // first failing ImageRequest's status, 0: none
};

} // namespace ops
