#include "check/BoardLink.h"

namespace check {

BoardLink &BoardLink::Instance()
{
    static BoardLink link;
    return link;
}

BoardHandle BoardLink::Open(uint32_t boardIndex, uint32_t &errorCode)
{
    void *first = nullptr;
    void *second = nullptr;
    errorCode = 0;
    // Ready before BoardOpen: a callback may come as soon as the board is open.
    auto delivery = std::make_unique<ops::BoardDelivery>(BOARD_INVALID_HANDLE);
    hook_.store(delivery.get());
    const BoardHandle h = BoardOpen(boardIndex, HookEntry, BufferFreeEntry, DspInterruptEntry,
                                    ScanEndEntry, &first, &second, &errorCode);
    handle_.store(h);
    firstArea_.store(h == BOARD_INVALID_HANDLE ? nullptr : static_cast<uint8_t *>(first));
    if (h == BOARD_INVALID_HANDLE) {
        hook_.store(nullptr);
        return h;
    }
    delivery_ = std::move(delivery);
    if (sink_)
        delivery_->Register(kSinkSlot, sink_);
    return h;
}

int32_t BoardLink::Close()
{
    Detach();
    const BoardHandle h = handle_.exchange(BOARD_INVALID_HANDLE);
    firstArea_.store(nullptr);
    if (h == BOARD_INVALID_HANDLE)
        return 0;
    const int32_t result = BoardClose(h);
    if (result == 0 && delivery_) { // no callback runs any more
        hook_.store(nullptr);
        closedOverlaps_ += delivery_->OverlappingHookCalls();
        delivery_.reset();
    }
    return result;
}

void BoardLink::Attach(CaptureSink *sink)
{
    Detach();
    sink_ = sink;
    if (delivery_ && sink_)
        delivery_->Register(kSinkSlot, sink_);
}

void BoardLink::Detach()
{
    if (delivery_ && sink_)
        delivery_->Unregister(kSinkSlot, sink_);
    sink_ = nullptr;
}

uint64_t BoardLink::overlappingHookCalls() const
{
    return closedOverlaps_ + (delivery_ ? delivery_->OverlappingHookCalls() : 0);
}

void BoardLink::HookEntry(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                          void *data)
{
    BoardLink &link = Instance();
    ops::BoardDelivery *delivery = link.hook_.load();
    if (!delivery || !delivery->Deliver(ops::Delivered{flags, startLine, lineCount, bufferKind, data}).served)
        link.strayImages_.fetch_add(1);
}

void BoardLink::ScanEndEntry(int32_t reason)
{
    if (ops::BoardDelivery *delivery = Instance().hook_.load())
        delivery->ScanEnded(kSinkSlot, reason);
}

void BoardLink::BufferFreeEntry(int32_t) {}

void BoardLink::DspInterruptEntry(int32_t status)
{
    BoardLink &link = Instance();
    link.lastDspStatus_.store(status);
    if (status & 0x8000) {
        link.lastDspFault_.store(status);
        link.dspFaults_.fetch_add(1);
    }
    link.dspInterrupts_.fetch_add(1);
}

} // namespace check
