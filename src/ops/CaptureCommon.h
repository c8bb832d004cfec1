// Pieces every window-less capture run shares: the watch for a board that stopped delivering,
// the end of the deliveries, and the failures a run reports in the same words.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"
#include "ops/Gate.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <string>

namespace ops {

// The run's thread: tells when a delivery count has not moved for the time-out.
class DeliveryWatch {
public:
    using Clock = std::chrono::steady_clock;
    // `count` answers the deliveries so far (any thread may be adding to them).
    DeliveryWatch(std::function<uint64_t()> count, std::chrono::milliseconds timeout)
        : count_(std::move(count)), timeout_(timeout), seen_(count_()), lastChange_(Clock::now())
    {
    }
    // Asked every poll: true once no delivery came for the time-out.
    bool Stalled(Clock::time_point now = Clock::now())
    {
        const uint64_t count = count_();
        if (count != seen_) {
            seen_ = count;
            lastChange_ = now;
            return false;
        }
        return now - lastChange_ >= timeout_;
    }

private:
    const std::function<uint64_t()> count_;
    const std::chrono::milliseconds timeout_;
    uint64_t seen_;
    Clock::time_point lastChange_;
};

// The run's thread: no callback inside any more and no request left. Answers the clear's status.
inline int32_t EndDeliveries(Gate &gate, BoardHandle board)
{
    gate.Shut();
    gate.WaitUntilNoneInside();
    return ImageRequestClear(board);
}

inline Result NoDeliveryWithin(std::chrono::milliseconds timeout)
{
    return Failed("timeout", 0, std::to_string(timeout.count()) + " ms 以内に画像転送がありませんでした。",
                  Icon::Stop);
}

inline Result NoBuffer()
{
    return Failed("buffer", 0, "バッファの確保に失敗しました。", Icon::Stop);
}

} // namespace ops
