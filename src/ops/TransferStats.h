// A cheap recorder of image deliveries: the hook calls Record on the board library's delivery
// thread, any other thread reads the figures with Snapshot. Recording takes no lock and
// allocates nothing: plain counters and a ring of the last 4096 intervals between frame
// completions, all atomics that only the recording thread writes. Reset is asked for by any
// thread and carried out by the recording thread at its next delivery, so a delivery is never
// half counted before and half after a reset; until then Snapshot answers the empty figures.
#pragma once

#include "ops/IntervalFigures.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ops {

class TransferStats {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kRingSize = 4096; // recent intervals kept (a power of two)

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
        double seconds = 0;           // from the first delivery to the last
        double framesPerSecond = 0;   // frame completions per second between the first and last
        double mbPerSecond = 0;       // 10^6 bytes per second after the first delivery
    };

    TransferStats();
    TransferStats(const TransferStats &) = delete;
    TransferStats &operator=(const TransferStats &) = delete;

    // Board library delivery thread (one recording thread at a time). `bytes` is what the
    // delivery brought; `now` when the hook was entered.
    void Record(uint32_t flags, uint32_t lineCount, uint64_t bytes, Clock::time_point now);
    // Any thread. Allocates and sorts outside any lock; a snapshot taken while deliveries arrive
    // may be a delivery behind in one figure or another.
    Figures Snapshot() const;
    // Any thread: the figures start again from the next delivery.
    void Reset();

private:
    void ClearAsRecorder(); // recording thread: carries out a requested reset

    // Written by the recording thread only, read by anyone.
    std::atomic<uint64_t> deliveries_{0}, frames_{0}, lines_{0}, bytes_{0};
    std::atomic<uint64_t> sizeErrors_{0}, lostRuns_{0};
    std::atomic<uint64_t> intervalCount_{0}; // intervals recorded; ring slot = count % kRingSize
    std::atomic<int64_t> intervalSumNs_{0}, minNs_{0}, maxNs_{0};
    std::atomic<int64_t> firstNs_{0}, lastNs_{0}, lastFrameNs_{0}; // steady clock, ns
    std::atomic<uint64_t> firstBytes_{0};
    std::array<std::atomic<int64_t>, kRingSize> ring_;

    std::atomic<uint64_t> resetsAsked_{0}; // Reset() calls, any thread
    std::atomic<uint64_t> resetsDone_{0};  // the recording thread has carried out this many
};

} // namespace ops
