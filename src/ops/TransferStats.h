// A cheap recorder of image deliveries: the hook calls Record on the board library's delivery
// thread, any other thread reads the figures with Snapshot. Recording allocates nothing: plain
// counters, a ring of the last 4096 intervals between frame completions and one of the last 4096
// frame completion times, atomics written
// under a recording lock (deliveries may overlap on a library that calls back on more than one
// thread) and read without it.
//
// Figures are kept for the current run (from the tool's last Start: rates and intervals
// describe a scan, never the idle time before it) and as totals since the tool's window opened
// or the user's reset. BeginRun and Reset are asked for by any thread and carried out at the next
// delivery, so a delivery is never half counted before and half after; until then Snapshot
// answers an empty run (and empty totals after a reset).
#pragma once

#include "ops/IntervalFigures.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace ops {

class TransferStats {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kRingSize = 4096; // recent intervals kept (a power of two)

    // Counts since the window opened (or the user's reset), over every run.
    struct Totals {
        uint64_t runs = 0;       // runs that had a delivery
        uint64_t deliveries = 0;
        uint64_t frames = 0;
        uint64_t lines = 0;
        uint64_t bytes = 0;
        uint64_t sizeErrors = 0;
        uint64_t lostRuns = 0;
    };

    // The current run's figures (from its first delivery), with the totals beside them.
    struct Figures {
        uint64_t deliveries = 0; // hook calls
        uint64_t frames = 0;     // deliveries that completed a frame
        uint64_t lines = 0;      // lines delivered (an area size error or a lost run brings none)
        uint64_t bytes = 0;      // bytes delivered
        uint64_t sizeErrors = 0; // deliveries the request could not hold (HOOK_FLAG_AREA_SIZE)
        uint64_t lostRuns = 0;   // line runs the board lost (HOOK_FLAG_LINE_OVERRUN)
        // Intervals between frame completions: count, min and max over the whole run; median and
        // p99 over the recent intervals below.
        IntervalFigures intervals;
        std::vector<double> recentUs; // up to kRingSize latest intervals, oldest first
        // When each of the latest frames (up to kRingSize) was delivered: the steady clock as the
        // hook that completed it was entered, oldest first; the first is the run's frame
        // firstRecentFrame (counted from 1). The board reports no time of its own.
        std::vector<Clock::time_point> recentFrames;
        uint64_t firstRecentFrame = 0;
        Clock::time_point firstDelivery{}; // the run's first delivery (none: the epoch)
        double seconds = 0;           // from the first delivery to the last
        double framesPerSecond = 0;   // frame completions per second between the first and last
        double mbPerSecond = 0;       // 10^6 bytes per second after the first delivery
        Totals totals;
    };

    TransferStats();
    TransferStats(const TransferStats &) = delete;
    TransferStats &operator=(const TransferStats &) = delete;

    // Board library delivery threads (overlapping calls are serialised). `bytes` is what the
    // delivery brought; `now` when the hook was entered.
    void Record(uint32_t flags, uint32_t lineCount, uint64_t bytes, Clock::time_point now);
    // Any thread. Allocates and sorts outside any lock; a snapshot taken while deliveries arrive
    // may be a delivery behind in one figure or another.
    Figures Snapshot() const;
    // Any thread: a new run (a Start) begins with the next delivery; the totals go on.
    void BeginRun();
    // Any thread: the run's figures and the totals start again from the next delivery.
    void Reset();

private:
    void ClearRunAsRecorder(); // recordLock_ held: carries out a requested new run
    void ClearAsRecorder();    // recordLock_ held: carries out a requested reset

    std::mutex recordLock_; // serialises Record: every store to the atomics below

    // Written under recordLock_, read by anyone. The run's counters, then the totals.
    std::atomic<uint64_t> deliveries_{0}, frames_{0}, lines_{0}, bytes_{0};
    std::atomic<uint64_t> sizeErrors_{0}, lostRuns_{0};
    std::atomic<uint64_t> totalRuns_{0}, totalDeliveries_{0}, totalFrames_{0}, totalLines_{0};
    std::atomic<uint64_t> totalBytes_{0}, totalSizeErrors_{0}, totalLostRuns_{0};
    std::atomic<uint64_t> intervalCount_{0}; // intervals recorded; ring slot = count % kRingSize
    std::atomic<int64_t> intervalSumNs_{0}, minNs_{0}, maxNs_{0};
    std::atomic<int64_t> firstNs_{0}, lastNs_{0}, lastFrameNs_{0}; // steady clock, ns
    std::atomic<uint64_t> firstBytes_{0};
    std::array<std::atomic<int64_t>, kRingSize> ring_;
    // Frame completion times (steady clock, ns); slot = frame count % kRingSize.
    std::array<std::atomic<int64_t>, kRingSize> frameRing_;

    std::atomic<uint64_t> resetsAsked_{0}; // Reset() calls, any thread
    std::atomic<uint64_t> resetsDone_{0};  // carried out by Record so far
    std::atomic<uint64_t> runsAsked_{0};   // BeginRun() calls, any thread
    std::atomic<uint64_t> runsDone_{0};    // carried out by Record so far
};

} // namespace ops
