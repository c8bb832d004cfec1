#include "ops/BoardDelivery.h"

#include <algorithm>

namespace ops {

void RequestUser::Open(std::shared_ptr<BoardDelivery> delivery)
{
    if (open_)
        return;
    delivery_ = std::move(delivery);
    if (delivery_)
        delivery_->requestUsers_.fetch_add(1);
    open_ = true;
}

void RequestUser::Close()
{
    if (!open_)
        return;
    if (delivery_)
        delivery_->requestUsers_.fetch_sub(1);
    delivery_.reset();
    open_ = false;
}

bool RequestUser::Alone() const
{
    if (!delivery_)
        return true;
    return delivery_->requestUsers_.load() == (open_ ? 1 : 0);
}

BoardDelivery::BoardDelivery(BoardHandle board, const GateWaiting &waiting) : board_(board)
{
    for (auto &slot : slots_)
        slot = std::make_unique<Slot>(waiting);
    active_.reserve(kSlots);
}

BoardDelivery::~BoardDelivery() = default;

// ---- Receivers ----

void BoardDelivery::Register(int slot, DeliveryReceiver *receiver)
{
    Slot &s = *slots_.at(slot);
    if (DeliveryReceiver *previous = s.receiver.load())
        Unregister(slot, previous);
    s.receiver.store(receiver);
    s.gate.Open();
}

void BoardDelivery::Withdraw(int slot, DeliveryReceiver *receiver)
{
    Slot &s = *slots_.at(slot);
    if (receiver != nullptr && s.receiver.load() == receiver)
        s.gate.Shut();
}

void BoardDelivery::Unregister(int slot, DeliveryReceiver *receiver)
{
    Slot &s = *slots_.at(slot);
    if (receiver == nullptr || s.receiver.load() != receiver)
        return;
    s.gate.Shut();
    s.gate.WaitUntilNoneInside();
    s.receiver.store(nullptr);
}

bool BoardDelivery::Busy(int slot) const
{
    return slots_.at(slot)->gate.Busy();
}

// ---- Callbacks ----

BoardDelivery::Outcome BoardDelivery::Deliver(const Delivered &d)
{
    return DeliverWithin(0, kSlots, d);
}

BoardDelivery::Outcome BoardDelivery::DeliverTo(int slot, const Delivered &d)
{
    if (slot < 0 || slot >= kSlots)
        return {};
    return DeliverWithin(slot, slot + 1, d);
}

// Library's hook thread: to the first receiver of slots [first, last). The ticket keeps every
// retired buffer that d.data may point into until the receiver is done with it.
BoardDelivery::Outcome BoardDelivery::DeliverWithin(int first, int last, const Delivered &d)
{
    uint64_t ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ticket = ++lastTicket_;
        if (!active_.empty()) {
            overlaps_.fetch_add(1);
            violated_ = true;
        }
        active_.push_back(ticket);
    }
    Outcome outcome;
    for (int i = first; i < last; ++i) {
        Slot &slot = *slots_[i];
        GateVisit visit(slot.gate);
        if (!visit.inside())
            continue;
        outcome.served = true;
        outcome.pauseMs = slot.receiver.load()->OnDelivery(d);
        break;
    }
    // A call's end is where covered buffers go: once one that began after the covering clear
    // has returned and none that began before it is still inside. They are freed after the lock.
    std::vector<HeldBuffer> freeable;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        active_.erase(std::find(active_.begin(), active_.end(), ticket));
        for (Retired &r : retired_)
            if (r.covered && ticket > r.coveredAt)
                r.laterReturned = true;
        freeable = TakeFreeableLocked();
    }
    return outcome;
}

// Scan-end callback thread.
bool BoardDelivery::ScanEnded(int slot, int32_t reason)
{
    Slot &s = *slots_.at(slot);
    GateVisit visit(s.gate);
    if (!visit.inside())
        return false;
    s.receiver.load()->OnScanEnd(reason);
    return true;
}

// ---- Request buffers ----

// mutex_ held: moves out the buffers nothing can reach any more. Once hook calls have
// overlapped, "a later call has returned" says nothing about an earlier delivery: only the
// board's close frees them.
std::vector<HeldBuffer> BoardDelivery::TakeFreeableLocked()
{
    std::vector<HeldBuffer> freeable;
    if (violated_)
        return freeable;
    const uint64_t oldestActive = active_.empty() ? UINT64_MAX : active_.front();
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (it->covered && it->laterReturned && it->coveredAt < oldestActive) {
            freeable.push_back(std::move(it->buffer));
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
    return freeable;
}

void BoardDelivery::Retire(HeldBuffer buffer)
{
    if (!buffer)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    retired_.push_back(Retired{std::move(buffer)});
}

// What this clear covers is freed at the end of a hook call that began after it returned, or at
// the board's close, never here: a delivery taken off the library's queue just before the clear
// may not have reached the hook yet.
int32_t BoardDelivery::ClearRequests()
{
    const int32_t result = ImageRequestClear(board_);
    if (result == 0)
        RequestsDropped();
    return result;
}

void BoardDelivery::RequestsDropped()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (Retired &r : retired_) {
        if (!r.covered) {
            r.covered = true;
            r.coveredAt = lastTicket_;
        }
    }
}

void BoardDelivery::GiveBack(const RequestUser &user, std::vector<HeldBuffer> buffers)
{
    if (user.Alone() && ClearRequests() == 0)
        return; // no request names them any more, and no call is inside the user
    for (HeldBuffer &b : buffers)
        Retire(std::move(b));
}

void BoardDelivery::BoardClosed()
{
    std::vector<Retired> freeable; // freed after the lock
    std::lock_guard<std::mutex> lock(mutex_);
    freeable.swap(retired_);
}

size_t BoardDelivery::RetiredCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return retired_.size();
}

size_t BoardDelivery::RetiredBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    size_t bytes = 0;
    for (const Retired &r : retired_)
        bytes += r.buffer.bytes();
    return bytes;
}

} // namespace ops
