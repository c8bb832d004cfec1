#include "RequestQueue.h"

#include "Status.h"

#include <algorithm>

namespace sim {

int32_t RequestQueue::add(void *buffer, uint32_t size)
{
    if (buffer != nullptr && size == 0)
        return kErrParam;
    if (requests_.size() >= kMaxRequests)
        return kErrState;
    uint8_t *p = static_cast<uint8_t *>(buffer);
    // A request into one of the library's own buffers (a hook handing its delivery back) asks
    // for the library's buffer again: the library never trusts a size it did not allocate.
    if (p != nullptr && slotContaining(p) >= 0)
        p = nullptr;
    requests_.push_back(Request{p, p == nullptr ? 0 : size});
    return kOk;
}

RequestQueue::Request RequestQueue::pop()
{
    const Request r = requests_.front();
    requests_.pop_front();
    return r;
}

int RequestQueue::slotContaining(const uint8_t *p) const
{
    for (int i = 0; i < kSlots; ++i) {
        if (!slots_[i])
            continue;
        const uint8_t *base = slots_[i]->peek();
        if (base != nullptr && p >= base && p < base + kSlotBytes)
            return i;
    }
    return -1;
}

bool RequestQueue::slotFree() const
{
    return std::find(slotBusy_.begin(), slotBusy_.end(), false) != slotBusy_.end();
}

uint8_t *RequestQueue::takeSlot(int &slot)
{
    for (int i = 0; i < kSlots; ++i) {
        if (slotBusy_[i])
            continue;
        if (!slots_[i])
            slots_[i] = std::make_unique<Mapping>(kSlotBytes);
        slotBusy_[i] = true;
        slot = i;
        return slots_[i]->get();
    }
    slot = -1;
    return nullptr;
}

void RequestQueue::releaseSlot(int slot)
{
    if (slot >= 0 && slot < kSlots)
        slotBusy_[slot] = false;
}

void RequestQueue::dropAll()
{
    ++generation_;
    requests_.clear();
}

size_t RequestQueue::namedIn(const uint8_t *begin, size_t size) const
{
    return static_cast<size_t>(
        std::count_if(requests_.begin(), requests_.end(), [&](const Request &r) {
            return r.buffer != nullptr && r.buffer >= begin && r.buffer < begin + size;
        }));
}

} // namespace sim
