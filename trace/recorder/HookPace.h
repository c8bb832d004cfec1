// The pace of one callback thread, and the time the recorder may take on each hook call there.
// Used by the callback thread it belongs to only.
#ifndef PELORA_TRACE_HOOK_PACE_H
#define PELORA_TRACE_HOOK_PACE_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace rec {

// Deliveries that come back to back are held up by every microsecond the recorder spends on the
// callback thread: then each hook call gets `percent` % of the time the program's hook takes
// (the median of its latest calls), and pixels that cannot be copied within it are not kept.
// With time to spare between deliveries (30 frames per second against a hook of a fraction of a
// millisecond) the recorder's time delays no delivery, and it keeps every pixel.
//
// Back to back: the call came less than kBusy times the hook's time after the last call
// returned -- the library's own work between two deliveries (writing the next one) is of the
// order of the hook's -- or less than kBusyAtMost times that while most of the latest calls
// came back to back (the library's work grows by scheduler delays when the machine is busy,
// and a full-rate scan is not taken for one with slack at every delay). A thread with slack
// waits a frame period, some hundred times the hook's time.
class HookPace {
public:
    static constexpr size_t kKept = 31;
    static constexpr uint64_t kBusy = 4, kBusyAtMost = 16;

    // A hook call entered at `enteredNs`; the program's hook took `hookNs`; the call returned
    // at `returnedNs` (one clock, any origin).
    void add(uint64_t enteredNs, uint64_t hookNs, uint64_t returnedNs)
    {
        if (count_ > 0)
            gaps_[(count_ - 1) % kKept] = enteredNs - lastReturnNs_;
        hooks_[count_ % kKept] = hookNs;
        ++count_;
        lastReturnNs_ = returnedNs;
    }
    uint64_t hookMedian() const { return median(hooks_, count_); }

    // The time the recorder may take on a call entered at `nowNs`, in ns; 0: no limit.
    uint64_t budgetNs(uint64_t nowNs, double percent) const
    {
        if (percent <= 0 || count_ == 0)
            return 0; // nothing to go by yet
        const uint64_t service = hookMedian(), gap = nowNs - lastReturnNs_;
        const bool busy = gap < kBusy * service ||
                          (gap < kBusyAtMost * service && count_ > 3 &&
                           median(gaps_, count_ - 1) < kBusy * service);
        if (!busy)
            return 0;
        return std::max<uint64_t>(1, uint64_t(double(service) * percent / 100.0));
    }

private:
    static uint64_t median(std::array<uint64_t, kKept> values, size_t count)
    {
        const size_t n = std::min(count, kKept);
        if (n == 0)
            return 0;
        std::nth_element(values.begin(), values.begin() + n / 2, values.begin() + n);
        return values[n / 2];
    }

    std::array<uint64_t, kKept> hooks_{}; // the program's time in the latest calls
    std::array<uint64_t, kKept> gaps_{};  // from a call's return to the next call
    size_t count_ = 0;
    uint64_t lastReturnNs_ = 0;
};

} // namespace rec

#endif
