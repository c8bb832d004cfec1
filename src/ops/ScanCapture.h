// One area scan's delivery road, without windows: what a delivery holds (the program buffer
// request it lies in), the re-issue of the request it used up, the line accounting, the copy of
// its lines to a sink and the transfer statistics; and, when asked for, the content checks (lines
// a delivery claims but did not write, frames equal to the one before). The scan tool and the
// checker's scan run both drive one of these from their image transfer hook.
//
// Threads: the setters and the request book-keeping run on the owner's thread (the scan tool's
// UI thread, the run's thread); Account, Take and Reissue on the board library's callback thread.
// The geometry and the re-issue settings are atomics, so a change between scans needs no lock.
#pragma once

#include "board/pel2ctl.h"
#include "ops/DeliveredLines.h"
#include "ops/FrameContent.h"
#include "ops/Result.h"
#include "ops/TransferStats.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace ops {

// Lines of a frame that a delivery claimed and did not write (frames count from 0).
struct UnwrittenLines {
    uint32_t frame = 0;
    LineRange lines;
};

// What the content checks found; the named lists keep the first kNamedFindings.
struct ContentFindings {
    static constexpr size_t kNamedFindings = 32;
    uint64_t unwrittenFrames = 0, unwrittenLines = 0;
    std::vector<UnwrittenLines> unwritten;
    uint64_t staleFrames = 0;
    std::vector<uint32_t> staleFrameNumbers;
};

// One hook call as the board library made it, and when the hook saw it.
struct HookDelivery {
    uint32_t flags = 0;
    uint32_t startLine = 0;
    uint32_t lineCount = 0;
    uint32_t bufferKind = HOOK_BUFFER_LIBRARY;
    const uint8_t *data = nullptr;
    TransferStats::Clock::time_point at{};
    bool library() const { return bufferKind == HOOK_BUFFER_LIBRARY; }
    // Frame or lines, not an area size report: a delivery that holds image lines.
    bool image() const
    {
        return (flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES)) != 0 && (flags & HOOK_FLAG_AREA_SIZE) == 0;
    }
};

// Where a capture's delivered lines go (callback thread).
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    // The delivery's lines, with the bytes readable from them; frame: the delivery's frame
    // number in the capture. True when something changed that a viewer should look at.
    virtual bool TakeLines(const HookDelivery &hook, const Delivery &lines, uint32_t frame) = 0;
};

class ScanCapture {
public:
    // A re-issue asks again for each request as first issued: the library's buffer by the
    // library's own choice (no address, no size), a program buffer whole.
    static constexpr uint32_t kWholeRequest = UINT32_MAX;
    enum class ReissueOrder { BeforeCopy, AfterCopy };

    // sink outlives the capture; lineTotal, when given, is where the line account keeps its
    // running total (none: no line account, no line errors).
    explicit ScanCapture(CaptureSink &sink, std::atomic<uint32_t> *lineTotal = nullptr);
    ScanCapture(const ScanCapture &) = delete;
    ScanCapture &operator=(const ScanCapture &) = delete;

    // Owner's thread, between scans.
    void SetBoard(BoardHandle board) { board_ = board; }
    void SetGeometry(const ImageGeometry &g);
    ImageGeometry Geometry() const;
    // Re-issue from the hook on or off; share: the size asked of each new request (a program
    // buffer's never beyond its own size), or kWholeRequest.
    void SetReissue(bool on, uint32_t share);
    void SetReissueOrder(ReissueOrder order) { order_ = order; }
    // The canary and the frame hash (off by default). They need the delivered bytes untouched
    // until looked at, so they re-issue after the copy, and the re-issue refills the canary.
    void EnableContentChecks(bool findStaleFrames);
    bool ContentChecks() const { return checks_; }
    // Owner's thread, with no callback inside: content findings and line order start afresh.
    void BeginScan();

    // The program buffer requests the owner issued: a delivery is read only inside one and
    // re-issued only into one that is still in use. Any thread.
    void RegisterRequest(const uint8_t *buffer, uint32_t size);
    // Marks every request inside [begin, end) retired; true when there was one.
    bool RetireRequests(const uint8_t *begin, const uint8_t *end);
    void ClearRequests();
    bool HasRequests() const;
    // Owner's thread, before a request into buffer is issued: the canary, when checks are on.
    void PrimeRequest(uint8_t *buffer) const;

    // Callback thread. The transfer statistics, the line order and the line account of one
    // delivery; answers the line account's errors (line units only), in the order to show them.
    std::vector<Result> Account(const HookDelivery &hook);
    // Callback thread. Re-issue, content checks, the sink's copy (with the delivery's extent)
    // and the frame count. Answers what the sink answered.
    bool Take(const HookDelivery &hook);
    // Callback thread. The new request for the one the delivery used up, when re-issue is on.
    void Reissue(uint32_t bufferKind, const uint8_t *data);

    // Any thread.
    const std::shared_ptr<TransferStats> &Stats() const { return stats_; }
    uint32_t Frames() const { return frames_.load(std::memory_order_relaxed); }
    int32_t ReissueFailure() const { return reissueFailure_.load(); }
    void NoteRequestFailure(int32_t status);
    // With no callback inside.
    uint64_t LineGaps() const { return lineGaps_; }
    const ContentFindings &Findings() const { return findings_; }

    // Callback thread: bytes readable from data in the request that holds it (0: none, or a
    // retired request whose lifetime is not the capture's business).
    uint64_t ExtentOf(const uint8_t *data) const;

private:
    uint64_t CanaryPitch(const ImageGeometry &g) const;
    void CheckContent(const ImageGeometry &g, const HookDelivery &hook, uint32_t frame);

    CaptureSink &sink_;
    std::atomic<uint32_t> *const lineTotal_;
    BoardHandle board_ = 0;
    std::atomic<uint32_t> lines_{0}, pixels_{0}, pixelBytes_{1}, unit_{1};
    std::atomic<bool> reissue_{true};
    std::atomic<uint32_t> share_{kWholeRequest};
    ReissueOrder order_ = ReissueOrder::BeforeCopy;
    const std::shared_ptr<TransferStats> stats_ = std::make_shared<TransferStats>();
    std::atomic<uint32_t> frames_{0};
    std::atomic<int32_t> reissueFailure_{0}; // the first failing request's status, 0: none

    // requestLock_ guards requests_: start address -> size of each program buffer request since
    // the last clear. Re-issue holds it across its call, so a buffer retired meanwhile is either
    // retired before the look, or its request is issued before the clear that frees it.
    struct Request {
        uint32_t size;
        bool retired; // handed to the retired request buffers: no more requests into it
    };
    mutable std::mutex requestLock_;
    std::map<const uint8_t *, Request> requests_;

    // Callback thread only (the owner reads them with no callback inside).
    uint32_t nextLine_ = 0; // line-unit run expected next
    uint64_t lineGaps_ = 0;
    bool checks_ = false, findStale_ = true;
    FrameHash hash_;             // of the frame under way
    StaleRule stale_;            // against the frame before it
    uint32_t lastUnwrittenFrame_ = UINT32_MAX;
    ContentFindings findings_;
};

} // namespace ops
