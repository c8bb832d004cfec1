// Live NTSC capture without a window: what happens with each delivered video frame, shared by the
// live display (its view) and the checker's video run. A delivery is recorded in the transfer
// statistics; while the capture runs, it is answered with one more request (the owner's Reissue),
// counted against the frame time for frames the host missed, and copied into the capture's
// frame (from the library's buffer whole, from one of the request buffers no more than was
// requested, from an unknown buffer not at all); the owner's Show then sees the copy.
#pragma once

#include "board/pel2ctl.h"
#include "ops/CapturePrepare.h"
#include "ops/TransferStats.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <mutex>
#include <vector>

namespace ops {

constexpr double kNtscFrameRate = 29.97;
constexpr uint32_t kVideoWidth = 640, kVideoHeight = 480;
constexpr uint32_t kVideoFrameBytes = kVideoWidth * kVideoHeight * 3; // B G R, rows back to back

// Frames missed in an interval between two frames: none up to 1.5 frame times, else the frame
// times it spans less the one that arrived (at least one).
uint64_t MissedFrames(double intervalUs);

// The live Start's capture set-up: the geometry 640 x 480 (720 on L and DIO), the clear's box,
// one area scan by frames of 3-byte pixels. The caller adds its requests (and its clear).
CaptureSetup LiveCaptureSetup();

// The two request buffers in the order requests name them: A, then B and A in turn (the owner's
// thread only).
class RequestTurn {
public:
    RequestTurn(uint8_t *a, uint8_t *b) : a_(a), b_(b), next_(a) {}
    uint8_t *Next()
    {
        uint8_t *current = next_;
        next_ = current == a_ ? b_ : a_;
        return current;
    }

private:
    uint8_t *a_, *b_, *next_;
};

class LiveCapture {
public:
    using Clock = TransferStats::Clock;

    // What the owner does for a delivery (board library callback thread).
    class Client {
    public:
        virtual void Reissue() = 0; // one more request is due
        // The frame was copied: `frame` has no other writer until this returns.
        virtual void Show(const uint8_t *frame) { (void)frame; }

    protected:
        ~Client() = default;
    };

    // A bare area size notice is answered with a request only when reissueAfterSizeError.
    LiveCapture(Client &client, bool reissueAfterSizeError);
    LiveCapture(const LiveCapture &) = delete;
    LiveCapture &operator=(const LiveCapture &) = delete;

    // ---- The owner's thread ----
    // A zero-filled frame when there is none; false when the memory cannot be had (then
    // deliveries copy nothing).
    bool MakeFrame();
    void DropFrame();
    // The request buffers deliveries may name (null: none), each with its size, and the size
    // the requests asked for.
    void SetRequestBuffers(uint8_t *a, uint32_t sizeA, uint8_t *b, uint32_t sizeB, uint32_t requested);
    // From `when` on, a frame already copied stays (a snapshot half way through a run).
    void HoldFrameFrom(Clock::time_point when);
    void SetRunning(bool running) { running_.store(running); }
    // Any thread: a picture was shown (a repaint or a presentation), for the statistics.
    void CountShown() { framesShown_.fetch_add(1, std::memory_order_relaxed); }

    // ---- Board library callback thread: one delivery, `now` when the hook was entered ----
    void Deliver(uint32_t flags, uint32_t bufferKind, const uint8_t *data, Clock::time_point now);

    // ---- Any thread ----
    bool Running() const { return running_.load(); }
    bool HasFrame() const;
    std::vector<uint8_t> FrameCopy() const; // empty while there is no frame
    // Runs f(frame) with the frame held still; false (f not run) while there is none.
    template <typename F>
    bool WithFrame(F &&f) const
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        if (!frame_)
            return false;
        f(static_cast<const uint8_t *>(frame_.get()));
        return true;
    }
    uint8_t *RequestBufferA() const;
    uint8_t *RequestBufferB() const;
    uint32_t RequestedSize() const;
    uint64_t Deliveries() const { return deliveries_.load(std::memory_order_relaxed); }
    uint64_t FramesCopied() const { return framesCopied_.load(); }
    uint64_t FramesShown() const { return framesShown_.load(std::memory_order_relaxed); }
    // Host arrival timing: intervals over 1.5 frame times, and the frame times they spanned.
    uint64_t Gaps() const { return gaps_.load(); }
    uint64_t FramesMissed() const { return framesMissed_.load(); }
    TransferStats &Stats() const { return *stats_; }
    const std::shared_ptr<TransferStats> &SharedStats() const { return stats_; }

private:
    uint32_t ExtentLocked(uint32_t bufferKind, const uint8_t *data) const; // frameLock_ held
    void CountInterval(Clock::time_point now); // deliveryLock_ held

    Client &client_;
    const bool reissueAfterSizeError_;
    // Every delivery, recorded without a lock of ours; shared with a statistics window.
    const std::shared_ptr<TransferStats> stats_ = std::make_shared<TransferStats>();
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> deliveries_{0}, framesCopied_{0}, framesShown_{0};
    std::atomic<uint64_t> gaps_{0}, framesMissed_{0};

    // frameLock_ guards the frame (block and contents), the request buffers, the requested size
    // and the hold time. Callback threads hold it for a copy only.
    mutable std::mutex frameLock_;
    // On a cache line, as the library's buffers are: the C library's copy into a block 16 bytes
    // off the source's alignment (where new[] puts a block this size) takes about twice as long.
    static constexpr std::align_val_t kFrameAlignment{64};
    struct AlignedDelete {
        void operator()(uint8_t *p) const { ::operator delete[](p, kFrameAlignment); }
    };
    std::unique_ptr<uint8_t[], AlignedDelete> frame_;
    bool framed_ = false; // a delivery has been copied into the frame
    uint8_t *bufferA_ = nullptr, *bufferB_ = nullptr;
    uint32_t sizeA_ = 0, sizeB_ = 0, requested_ = 0;
    Clock::time_point holdFrom_ = Clock::time_point::max();

    // deliveryLock_ serialises the deliveries past the request (callback threads only), so the
    // frame has one writer at a time and Show may read it without frameLock_; it guards the
    // interval bookkeeping below.
    std::mutex deliveryLock_;
    bool haveFrameTime_ = false;
    Clock::time_point lastFrame_{};
};

} // namespace ops
