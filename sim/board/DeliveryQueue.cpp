#include "DeliveryQueue.h"

#include "pel2ctl.h"

namespace sim {

namespace {

template <typename... Fs> struct Overload : Fs... {
    using Fs::operator()...;
};
template <typename... Fs> Overload(Fs...) -> Overload<Fs...>;

} // namespace

std::optional<HookArgs> hookArgs(const Delivery &d)
{
    return std::visit(
        Overload{
            [](const ImageDelivery &i) -> std::optional<HookArgs> {
                return HookArgs{i.flags, i.startLine, i.lineCount, i.bufferKind, i.data};
            },
            [](const SizeReport &s) -> std::optional<HookArgs> {
                return HookArgs{HOOK_FLAG_AREA_SIZE, s.startLine, s.lineCount, s.bufferKind,
                                s.buffer};
            },
            [](const LostRun &l) -> std::optional<HookArgs> {
                return HookArgs{HOOK_FLAG_LINE_OVERRUN, l.startLine, 0, l.bufferKind, nullptr};
            },
            [](const ScanEnd &) -> std::optional<HookArgs> { return std::nullopt; },
        },
        d);
}

bool stepCounted(const Delivery &d)
{
    return std::visit(Overload{[](const ScanEnd &) { return false; },
                               [](const auto &hook) { return hook.stepCounted; }},
                      d);
}

void DeliveryQueue::pushHook(const ImageDelivery &d)
{
    ++waitingHooks_;
    queue_.emplace_back(d);
}

void DeliveryQueue::pushHook(const SizeReport &d)
{
    ++waitingHooks_;
    queue_.emplace_back(d);
}

bool DeliveryQueue::pushLostRun(const LostRun &d)
{
    if (lostRunWaiting_)
        return false;
    lostRunWaiting_ = true;
    queue_.emplace_back(d);
    return true;
}

void DeliveryQueue::pushEnd(int32_t reason)
{
    if (filling_ > 0)
        heldEnds_.push_back(reason);
    else
        queue_.emplace_back(ScanEnd{reason});
}

void DeliveryQueue::beginFill()
{
    ++filling_;
}

void DeliveryQueue::endFill()
{
    if (filling_ > 0 && --filling_ > 0)
        return;
    for (int32_t reason : heldEnds_)
        queue_.emplace_back(ScanEnd{reason});
    heldEnds_.clear();
}

std::optional<Delivery> DeliveryQueue::pop()
{
    if (queue_.empty())
        return std::nullopt;
    Delivery d = std::move(queue_.front());
    queue_.pop_front();
    if (std::holds_alternative<ScanEnd>(d))
        return d;
    if (std::holds_alternative<LostRun>(d))
        lostRunWaiting_ = false;
    else if (waitingHooks_ > 0)
        --waitingHooks_;
    hookRunning_ = true;
    return d;
}

std::vector<Delivery> DeliveryQueue::dropHooks()
{
    std::vector<Delivery> dropped;
    std::deque<Delivery> keep;
    for (Delivery &d : queue_) {
        if (std::holds_alternative<ScanEnd>(d))
            keep.push_back(std::move(d));
        else
            dropped.push_back(std::move(d));
    }
    queue_.swap(keep);
    waitingHooks_ = 0;
    lostRunWaiting_ = false;
    return dropped;
}

void DeliveryQueue::clear()
{
    queue_.clear();
    heldEnds_.clear();
    waitingHooks_ = 0;
    lostRunWaiting_ = false;
}

size_t DeliveryQueue::namedIn(const uint8_t *begin, size_t size) const
{
    size_t n = 0;
    for (const Delivery &d : queue_) {
        const auto args = hookArgs(d);
        const auto *p = args ? static_cast<const uint8_t *>(args->data) : nullptr;
        n += p != nullptr && p >= begin && p < begin + size ? 1 : 0;
    }
    return n;
}

} // namespace sim
