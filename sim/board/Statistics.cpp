#include "Statistics.h"

#include <algorithm>
#include <cstring>

namespace sim {

void Statistics::countNoRequest()
{
    std::lock_guard lock(mutex_);
    ++dropNoRequest_;
}

void Statistics::countHookBusy()
{
    std::lock_guard lock(mutex_);
    ++dropHookBusy_;
}

void Statistics::recordOverrun(uint32_t backlog)
{
    std::lock_guard lock(mutex_);
    overrunHistory_[overrunIndex_] = backlog;
    overrunIndex_ = (overrunIndex_ + 1) % OPERATION_HISTORY_LENGTH;
}

void Statistics::hookStarted()
{
    std::lock_guard lock(mutex_);
    ++hookCalls_;
}

void Statistics::hookFinished(uint32_t lineCount, uint32_t flags, int64_t micros)
{
    std::lock_guard lock(mutex_);
    lineHistory_[hookIndex_] = lineCount;
    flagHistory_[hookIndex_] = flags;
    hookTimeHistory_[hookIndex_] = static_cast<uint32_t>(std::min<int64_t>(micros, UINT32_MAX));
    hookIndex_ = (hookIndex_ + 1) % OPERATION_HISTORY_LENGTH;
}

void Statistics::errorInfo(int32_t *noRequest, int32_t *hookBusy) const
{
    std::lock_guard lock(mutex_);
    *noRequest = dropNoRequest_;
    *hookBusy = dropHookBusy_;
}

void Statistics::operationInfo(uint32_t *first, uint32_t *histories[4], uint32_t *indices[4]) const
{
    std::lock_guard lock(mutex_);
    if (first != nullptr)
        *first = hookCalls_;
    const History *sources[4] = {&overrunHistory_, &lineHistory_, &flagHistory_, &hookTimeHistory_};
    const uint32_t sourceIndex[4] = {overrunIndex_, hookIndex_, hookIndex_, hookIndex_};
    for (int i = 0; i < 4; ++i) {
        if (histories[i] != nullptr)
            std::memcpy(histories[i], sources[i]->data(), OPERATION_HISTORY_LENGTH * 4);
        if (indices[i] != nullptr)
            *indices[i] = sourceIndex[i];
    }
}

} // namespace sim
