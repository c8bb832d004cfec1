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
    const BoardHandle h = BoardOpen(boardIndex, HookEntry, BufferFreeEntry, DspInterruptEntry,
                                    ScanEndEntry, &first, &second, &errorCode);
    handle_.store(h);
    firstArea_.store(h == BOARD_INVALID_HANDLE ? nullptr : static_cast<uint8_t *>(first));
    return h;
}

int32_t BoardLink::Close()
{
    Detach();
    const BoardHandle h = handle_.exchange(BOARD_INVALID_HANDLE);
    firstArea_.store(nullptr);
    if (h == BOARD_INVALID_HANDLE)
        return 0;
    return BoardClose(h);
}

void BoardLink::Attach(CaptureSink *sink)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = sink;
}

void BoardLink::Detach()
{
    std::unique_lock<std::mutex> lock(mutex_);
    sink_ = nullptr;
    left_.wait(lock, [this] { return inside_ == 0; });
}

CaptureSink *BoardLink::Enter()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sink_)
        ++inside_;
    return sink_;
}

void BoardLink::Leave()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (--inside_ == 0)
        left_.notify_all();
}

void BoardLink::HookEntry(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                          void *data)
{
    BoardLink &link = Instance();
    CaptureSink *sink = link.Enter();
    if (!sink) {
        link.strayImages_.fetch_add(1);
        return;
    }
    sink->OnImage(flags, startLine, lineCount, bufferKind, data);
    link.Leave();
}

void BoardLink::ScanEndEntry(int32_t reason)
{
    BoardLink &link = Instance();
    if (CaptureSink *sink = link.Enter()) {
        sink->OnScanEnd(reason);
        link.Leave();
    }
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
