// The checker's own connection to the board: BoardOpen with the checker's callbacks, and the
// forwarding of those callbacks to the capture check that runs (scan or video). The library takes
// plain function pointers, so the link is one object per process.
#pragma once

#include "board/pel2ctl.h"
#include "ops/BoardDelivery.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace check {

// What a capture check hands the link to receive the board's callbacks. Both run on the
// library's threads (delivery thread).
class CaptureSink : public ops::DeliveryReceiver {
public:
    virtual void OnImage(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                         void *data) = 0;
    void OnScanEnd(int32_t reason) override = 0;

private:
    uint32_t OnDelivery(const ops::Delivered &d) final
    {
        OnImage(d.flags, d.startLine, d.lineCount, d.bufferKind, d.data);
        return 0;
    }
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

    // Callbacks go to `sink` from now on (while a board is open).
    void Attach(CaptureSink *sink);
    // Callbacks go nowhere from now on; returns once no callback is inside the sink any more.
    void Detach();
    // Hook calls that began while another was inside, over every board opened (the library
    // promises one hook thread at a time).
    uint64_t overlappingHookCalls() const;

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
    static constexpr int kSinkSlot = 0;

    std::atomic<BoardHandle> handle_{BOARD_INVALID_HANDLE};
    // The open board's deliveries; set by Open and reset by Close after BoardClose (run's
    // thread). The callbacks read it through hook_, valid while the board is open.
    std::unique_ptr<ops::BoardDelivery> delivery_;
    std::atomic<ops::BoardDelivery *> hook_{nullptr};
    CaptureSink *sink_ = nullptr;              // the attached sink (run's thread)
    uint64_t closedOverlaps_ = 0;              // of the boards closed so far (run's thread)
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
