#include "ops/TransferStats.h"

#include "board/pel2ctl.h"

#include <limits>

namespace ops {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Writers are serialised: a load and a store are enough, and cheaper than a read-modify-write.
template <typename T, typename U>
void Add(std::atomic<T> &counter, U amount)
{
    counter.store(counter.load(kRelaxed) + T(amount), kRelaxed);
}

} // namespace

TransferStats::TransferStats()
{
    for (auto &slot : ring_)
        slot.store(0, kRelaxed);
    for (auto &slot : frameRing_)
        slot.store(0, kRelaxed);
    ClearAsRecorder();
}

void TransferStats::ClearRunAsRecorder()
{
    for (auto *counter : {&deliveries_, &frames_, &lines_, &bytes_, &sizeErrors_, &lostRuns_,
                          &intervalCount_, &firstBytes_})
        counter->store(0, kRelaxed);
    for (auto *value : {&intervalSumNs_, &maxNs_, &firstNs_, &lastNs_, &lastFrameNs_})
        value->store(0, kRelaxed);
    minNs_.store(std::numeric_limits<int64_t>::max(), kRelaxed);
}

void TransferStats::ClearAsRecorder()
{
    ClearRunAsRecorder();
    for (auto *counter : {&totalRuns_, &totalDeliveries_, &totalFrames_, &totalLines_, &totalBytes_,
                          &totalSizeErrors_, &totalLostRuns_})
        counter->store(0, kRelaxed);
}

void TransferStats::Record(uint32_t flags, uint32_t lineCount, uint64_t bytes, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(recordLock_);
    const uint64_t asked = resetsAsked_.load(std::memory_order_acquire);
    if (asked != resetsDone_.load(kRelaxed)) {
        ClearAsRecorder();
        resetsDone_.store(asked, std::memory_order_release);
    }
    const uint64_t runsAsked = runsAsked_.load(std::memory_order_acquire);
    if (runsAsked != runsDone_.load(kRelaxed)) {
        ClearRunAsRecorder();
        runsDone_.store(runsAsked, std::memory_order_release);
    }
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    const bool written = (flags & HOOK_FLAG_AREA_SIZE) == 0; // a size error writes nothing
    const uint64_t delivered = deliveries_.load(kRelaxed);
    if (delivered == 0) {
        firstNs_.store(ns, kRelaxed);
        firstBytes_.store(written ? bytes : 0, kRelaxed);
        Add(totalRuns_, 1);
    }
    lastNs_.store(ns, kRelaxed);
    Add(totalDeliveries_, 1);

    if (!written) {
        Add(sizeErrors_, 1); // no lines, no bytes, no frame
        Add(totalSizeErrors_, 1);
    } else {
        if (flags & HOOK_FLAG_LINE_OVERRUN) {
            Add(lostRuns_, 1);
            Add(totalLostRuns_, 1);
        }
        Add(lines_, lineCount);
        Add(bytes_, bytes);
        Add(totalLines_, lineCount);
        Add(totalBytes_, bytes);
        if (flags & HOOK_FLAG_FRAME) {
            if (frames_.load(kRelaxed) != 0) {
                const int64_t interval = ns - lastFrameNs_.load(kRelaxed);
                const uint64_t n = intervalCount_.load(kRelaxed);
                ring_[n % kRingSize].store(interval, kRelaxed);
                Add(intervalSumNs_, interval);
                if (interval < minNs_.load(kRelaxed))
                    minNs_.store(interval, kRelaxed);
                if (interval > maxNs_.load(kRelaxed))
                    maxNs_.store(interval, kRelaxed);
                // Release: a reader that sees the new count sees the slot written before it.
                intervalCount_.store(n + 1, std::memory_order_release);
            }
            lastFrameNs_.store(ns, kRelaxed);
            const uint64_t frames = frames_.load(kRelaxed);
            frameRing_[frames % kRingSize].store(ns, kRelaxed);
            // Release: a reader that sees the new count sees the time stamp written before it.
            frames_.store(frames + 1, std::memory_order_release);
            Add(totalFrames_, 1);
        }
    }
    deliveries_.store(delivered + 1, std::memory_order_release);
}

TransferStats::Figures TransferStats::Snapshot() const
{
    Figures f;
    if (resetsAsked_.load(std::memory_order_acquire) != resetsDone_.load(std::memory_order_acquire))
        return f; // a reset is pending: the figures are those of a run with no delivery yet
    f.totals.runs = totalRuns_.load(kRelaxed);
    f.totals.deliveries = totalDeliveries_.load(kRelaxed);
    f.totals.frames = totalFrames_.load(kRelaxed);
    f.totals.lines = totalLines_.load(kRelaxed);
    f.totals.bytes = totalBytes_.load(kRelaxed);
    f.totals.sizeErrors = totalSizeErrors_.load(kRelaxed);
    f.totals.lostRuns = totalLostRuns_.load(kRelaxed);
    if (runsAsked_.load(std::memory_order_acquire) != runsDone_.load(std::memory_order_acquire))
        return f; // a new run is pending: it has had no delivery yet
    f.deliveries = deliveries_.load(std::memory_order_acquire);
    f.frames = frames_.load(std::memory_order_acquire);
    f.lines = lines_.load(kRelaxed);
    f.bytes = bytes_.load(kRelaxed);
    f.sizeErrors = sizeErrors_.load(kRelaxed);
    f.lostRuns = lostRuns_.load(kRelaxed);

    const uint64_t count = intervalCount_.load(std::memory_order_acquire);
    const uint64_t kept = count < kRingSize ? count : kRingSize;
    f.recentUs.reserve(kept);
    for (uint64_t i = count - kept; i < count; ++i)
        f.recentUs.push_back(double(ring_[i % kRingSize].load(kRelaxed)) / 1000.0);
    f.intervals = ComputeIntervalFigures(f.recentUs);
    const uint64_t stamped = f.frames < kRingSize ? f.frames : kRingSize;
    f.firstRecentFrame = f.frames - stamped + 1;
    f.recentFrames.reserve(stamped);
    for (uint64_t i = f.frames - stamped; i < f.frames; ++i) {
        const int64_t ns = frameRing_[i % kRingSize].load(kRelaxed);
        f.recentFrames.push_back(Clock::time_point(std::chrono::nanoseconds(ns)));
    }
    f.intervals.count = count;
    if (count != 0) {
        f.intervals.minUs = double(minNs_.load(kRelaxed)) / 1000.0;
        f.intervals.maxUs = double(maxNs_.load(kRelaxed)) / 1000.0;
        const int64_t sum = intervalSumNs_.load(kRelaxed);
        if (sum > 0)
            f.framesPerSecond = double(count) * 1e9 / double(sum);
    }
    if (f.deliveries != 0) {
        const int64_t firstNs = firstNs_.load(kRelaxed);
        f.firstDelivery = Clock::time_point(std::chrono::nanoseconds(firstNs));
        const int64_t span = lastNs_.load(kRelaxed) - firstNs;
        f.seconds = double(span) / 1e9;
        const uint64_t first = firstBytes_.load(kRelaxed);
        if (span > 0 && f.bytes >= first)
            f.mbPerSecond = double(f.bytes - first) * 1e3 / double(span);
    }
    return f;
}

void TransferStats::BeginRun()
{
    runsAsked_.fetch_add(1, std::memory_order_acq_rel);
}

void TransferStats::Reset()
{
    resetsAsked_.fetch_add(1, std::memory_order_acq_rel);
}

} // namespace ops
