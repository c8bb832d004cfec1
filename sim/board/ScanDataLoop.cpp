#include "ScanDataLoop.h"

#include "Status.h"
#include "pel2ctl.h"

namespace sim {

int32_t ScanDataLoop::set(uint32_t entries, bool running, size_t depth)
{
    if (!streamSet_)
        return kErrState;
    if (running) {
        if (queue_.size() >= depth)
            return BOARD_STATUS_SCANDATA_OVERFLOW;
        queue_.push_back((bank_ + 1 + static_cast<uint32_t>(queue_.size())) % 4);
        return BOARD_STATUS_SCANDATA_QUEUED;
    }
    tableValid_ = true;
    entries_ = entries;
    bank_ = 0;
    queue_.clear();
    return kOk;
}

ScanDataLoop::Consumed ScanDataLoop::consume()
{
    const uint32_t done = bank_;
    if (queue_.empty()) {
        tableValid_ = false;
        return Consumed{done, true};
    }
    bank_ = queue_.front();
    queue_.pop_front();
    return Consumed{done, false};
}

void ScanDataLoop::reset()
{
    streamSet_ = false;
    tableValid_ = false;
    queue_.clear();
}

} // namespace sim
