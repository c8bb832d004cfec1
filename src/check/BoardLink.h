// The checker's own connection to the board: BoardOpen with the checker's callbacks, and the
// forwarding of those callbacks to the capture check that runs (scan or video). The library takes
// plain function pointers, so the link is one object per process.
#pragma once

#include "board/pel2ctl.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace check {

// What a capture check hands the link to receive the board's callbacks. Both run on the
// library's threads (delivery thread).
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                         void *data) = 0;
    virtual void OnScanEnd(int32_t reason) = 0;
};

class BoardLink {
public:
    static BoardLink &Instance();

    // BoardOpen with the checker's callbacks. Answers the handle, or BOARD_INVALID_HANDLE with
    // the library's error code in `errorCode`.
    BoardHandle Open(uint32_t boardIndex, uint32_t &errorCode);
    // BoardClose of the open board (none: 0). Detaches any sink first. After it returns no
    // callback runs (the library's promise), so the sink's buffers may go.
    int32_t Close();
    BoardHandle handle() const { return handle_.load(); }

    // Callbacks go to `sink` from now on.
    void Attach(CaptureSink *sink);
    // Callbacks go nowhere from now on; returns once no callback is inside the sink any more.
    void Detach();

    uint64_t dspInterrupts() const { return dspInterrupts_.load(); }
    int32_t lastDspStatus() const { return lastDspStatus_.load(); }
    uint64_t strayImages() const { return strayImages_.load(); } // deliveries with no sink
    // Interrupts whose status carries the DSP's fault bit (0x8000: a command rejected or failed).
    uint64_t dspFaults() const { return dspFaults_.load(); }
    int32_t lastDspFault() const { return lastDspFault_.load(); }
    // Memory area 0 as BoardOpen mapped it (the first address); null when none.
    uint8_t *firstArea() const { return firstArea_.load(); }

    // The static callbacks BoardOpen takes; library threads.
    static void HookEntry(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                          void *data);
    static void ScanEndEntry(int32_t reason);
    static void BufferFreeEntry(int32_t bank);
    static void DspInterruptEntry(int32_t status);

private:
    BoardLink() = default;
    CaptureSink *Enter();  // the sink to call, counted in; null when there is none
    void Leave();

    std::atomic<BoardHandle> handle_{BOARD_INVALID_HANDLE};
    std::mutex mutex_;          // guards sink_ and inside_
    std::condition_variable left_;
    CaptureSink *sink_ = nullptr;
    int inside_ = 0;            // callbacks inside sink_
    std::atomic<uint64_t> dspInterrupts_{0};
    std::atomic<int32_t> lastDspStatus_{0};
    std::atomic<uint64_t> strayImages_{0};
    std::atomic<uint64_t> dspFaults_{0};
    std::atomic<int32_t> lastDspFault_{0};
    std::atomic<uint8_t *> firstArea_{nullptr};
};

// Attaches a sink for the life of the scope; detaches (waiting for callbacks inside) at its end.
class SinkScope {
public:
    SinkScope(BoardLink &link, CaptureSink &sink) : link_(link) { link_.Attach(&sink); }
    ~SinkScope() { link_.Detach(); }
    SinkScope(const SinkScope &) = delete;
    SinkScope &operator=(const SinkScope &) = delete;

private:
    BoardLink &link_;
};

} // namespace check
