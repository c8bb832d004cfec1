// What ErrorInfoGet and OperationInfoGet report: images lost, event-wait overruns and the
// history of the last hook calls. Nothing the engine decides depends on these figures, so they
// have a lock of their own: a leaf lock, taken alone or under the board lock.
#pragma once

#include "pel2ctl.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace sim {

class Statistics {
public:
    // Engine thread: an image lost because no request was pending, or because the hook was
    // still busy with earlier deliveries.
    void countNoRequest();
    void countHookBusy();
    // Engine thread: deliveries pending when a paced image was captured (2 or more).
    void recordOverrun(uint32_t backlog);

    // Delivery thread: a hook call begins; a hook call returned after `micros`.
    void hookStarted();
    void hookFinished(uint32_t lineCount, uint32_t flags, int64_t micros);

    void errorInfo(int32_t *noRequest, int32_t *hookBusy) const;
    void operationInfo(uint32_t *first, uint32_t *histories[4], uint32_t *indices[4]) const;

private:
    using History = std::array<uint32_t, OPERATION_HISTORY_LENGTH>;

    mutable std::mutex mutex_; // guards everything below
    int32_t dropNoRequest_ = 0;
    int32_t dropHookBusy_ = 0;
    History overrunHistory_{};
    uint32_t overrunIndex_ = 0;
    uint32_t hookCalls_ = 0;    // hook calls begun: the operation info's first output
    History lineHistory_{};     // line count per hook call
    History flagHistory_{};     // flags per hook call
    History hookTimeHistory_{}; // hook duration, us
    uint32_t hookIndex_ = 0;
};

} // namespace sim
