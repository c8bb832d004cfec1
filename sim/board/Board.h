// One open simulated board: registers, DSP memory, request queue, scan engine and callback
// threads. Created by BoardOpen, stopped by BoardClose; every method may be called from any
// thread (they take the board's lock), except where a comment names a thread.
#pragma once

#include "pel2ctl.h"

#include "Memory.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct Callbacks {
    ImageTransferHookFn hook = nullptr;
    BoardEventFn bufferFree = nullptr;
    BoardEventFn dspInterrupt = nullptr;
    BoardEventFn scanEnd = nullptr;
};

// Read-only registers of the window (documented in docs/simulator.md).
constexpr uint32_t kRegBoardId = 0x00;    // 0x50454C32 "PEL2"
constexpr uint32_t kRegRevision = 0x04;   // hardware and firmware revision
constexpr uint32_t kRegStatus = 0x08;     // live status bits
constexpr uint32_t kRegFrameCount = 0x0C; // frames captured since open or reset
constexpr uint32_t kRegDspStatus = 0x10;  // last DSP status (what DspInterruptCallback got)
constexpr uint32_t kRegBoardIndex = 0x14; // the board's index
constexpr uint32_t kBoardIdValue = 0x50454C32;
constexpr uint32_t kRevisionValue = 0x00020001;

// Status register bits.
constexpr uint32_t kStatusPrepared = 1u << 0;
constexpr uint32_t kStatusScanning = 1u << 1;
constexpr uint32_t kStatusLive = 1u << 2;
constexpr uint32_t kStatusLoop = 1u << 3;
constexpr uint32_t kStatusCancelling = 1u << 4;
constexpr uint32_t kStatusDspLoaded = 1u << 5;
constexpr uint32_t kStatusExclusive = 1u << 6;

// DSP status values passed to DspInterruptCallback.
constexpr uint32_t kDspCommandRejected = 0x8000; // | command
constexpr uint32_t kDspLoopDone = 0x0400;        // | command: the off-board loop ran dry
constexpr uint32_t kDspFault = 0xC000;           // | command: planted DSP fault

class Board : public std::enable_shared_from_this<Board> {
public:
    Board(uint32_t index, BoardHandle handle, const Callbacks &callbacks);
    ~Board();
    Board(const Board &) = delete;
    Board &operator=(const Board &) = delete;

    void start();
    // Stops everything; returns when no callback runs and none can start (a call from one of
    // the board's own callback threads cannot wait for itself and leaves that thread to end).
    void shutdown();

    uint32_t index() const { return index_; }
    BoardHandle handle() const { return handle_; }
    uint8_t *window() { return memory_.window.get(); }
    uint8_t *secondBlock() { return memory_.second.get(); }

    int32_t reset();
    int32_t readRegister(uint32_t offset, unsigned bytes, uint32_t *value);
    int32_t writeRegister(uint32_t offset, unsigned bytes, uint32_t value);
    int32_t dspDownload(const char *path);
    int32_t streamBufferSet(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    int32_t scanDataSet(uint32_t offset, uint32_t byteCount);
    int32_t scanPrepare(uint32_t kind, uint32_t unitFlags, uint32_t bytesPerPixel,
                        uint32_t lineInt);
    int32_t imageRequest(void *buffer, uint32_t size);
    int32_t errorInfo(int32_t *noRequest, int32_t *hookBusy);
    int32_t imageRequestClear();
    int32_t scanCancel(uint32_t kind, uint32_t timeoutMs);
    int32_t frameMemory(bool write, uint32_t bank, uint32_t offset, uint32_t count, void *buffer);
    int32_t operationInfo(uint32_t *first, uint32_t *histories[4], uint32_t *indices[4]);

    // Pending requests and undelivered deliveries whose program buffer lies in the range.
    size_t namedIn(const uint8_t *begin, size_t size);
    uint32_t dspMemory(uint32_t address);
    uint32_t registerValue(uint32_t offset);
    bool active() const { return activeFlag_.load(); }

    // Exclusive right bookkeeping (the arbiter lives in the registry).
    void setExclusiveHeld(bool held) { exclusiveHeld_ = held; }

private:
    enum class Mode { Idle, Area, Live, Loop };

    struct Request {
        uint8_t *buffer; // program buffer, or null for the library's buffer
        uint32_t size;
    };

    struct AreaScan {
        uint32_t pixels = 0, lines = 0, bytesPerPixel = 1, startCount = 0, clkoutWait = 0;
        bool frameUnit = true;
        uint32_t lineInt = 0;
        uint32_t frame = 0;    // frames finished
        uint32_t nextLine = 0; // first line of the next run (line units)
    };

    struct Cancel {
        bool pending = false;
        uint32_t kind = 0;
        bool hasDeadline = false;
        bool stalled = false; // planted fault: the scan does not end before the time-out
        std::chrono::steady_clock::time_point deadline;
    };

    // Work for the delivery thread: a hook call or a scan end notification, in order.
    struct Delivery {
        bool isHook = true;
        uint32_t flags = 0, startLine = 0, lineCount = 0, bufferKind = 0;
        void *data = nullptr;
        int librarySlot = -1; // library buffer slot in use until the hook returns
        uint64_t generation = 0;
        bool stepCounted = false; // a step-mode event that ends when this hook returns
        int32_t endReason = 0;
    };

    // Work for the event thread: ScanBufferFreeCallback or DspInterruptCallback.
    struct Event {
        bool dsp = false;
        int32_t value = 0;
    };

    // Library buffer: a few slots of 4096 lines at the 8192-byte pitch.
    static constexpr uint32_t kLibraryLines = 4096;
    static constexpr size_t kLibrarySlotBytes = size_t{kLibraryLines} * BOARD_LINE_PITCH;
    static constexpr int kLibrarySlots = 4;
    static constexpr size_t kMaxQueuedHooks = 2; // deliveries waiting while the hook runs
    static constexpr size_t kMaxRequests = 4096;
    static constexpr uint32_t kMaxScanDataBytes = 0x10000;
    static constexpr int kMaskOpenDelayMs = 50;

    // Locked helpers (mutex_ held).
    void resetLocked();
    void dspWriteLocked(uint32_t address, uint32_t value);
    void dspCommandLocked(uint32_t command);
    void getModeWrittenLocked(uint32_t mode);
    void startAreaLocked(const AreaScan &scan);
    void stopActivityLocked();
    void endScanLocked(int32_t reason);
    void setModeLocked(Mode mode);
    void raiseDspLocked(uint32_t status);
    void pushDeliveryLocked(Delivery d);
    void dropRequestsLocked();
    int findLibrarySlotLocked(const uint8_t *p) const;
    uint32_t statusBitsLocked() const;
    void recordOverrunLocked(uint32_t value);

    // Threads.
    void engineMain();   // engine thread: capture timing, data into buffers
    void deliveryMain(); // delivery thread: ImageTransferHook and ScanEndCallback
    void eventMain();    // event thread: ScanBufferFreeCallback and DspInterruptCallback
    void areaEvent(std::unique_lock<std::mutex> &lock, bool stepped);
    void liveEvent(std::unique_lock<std::mutex> &lock, bool stepped);
    void loopEvent(std::unique_lock<std::mutex> &lock, bool stepped);
    std::chrono::nanoseconds eventDurationLocked() const;
    bool isOwnThread() const;

    const uint32_t index_;
    const BoardHandle handle_;
    const Callbacks callbacks_;
    BoardMemory &memory_;

    std::thread engine_, delivery_, eventThread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> activeFlag_{false};
    std::atomic<bool> exclusiveHeld_{false};
    std::atomic<uint64_t> wakeSerial_{0}; // bumps on every change the engine must notice

    // Guards everything below. Never held while a callback runs.
    mutable std::mutex mutex_;
    std::condition_variable engineCv_;   // engine thread waits: mode, requests, room, stop
    std::condition_variable deliveryCv_; // delivery thread waits: deliveries_, stop
    std::condition_variable eventCv_;    // event thread waits: events_, stop
    std::condition_variable idleCv_;     // clear/reset/close wait: writers_, hookRunning_

    std::array<uint8_t, BOARD_REGISTER_WINDOW> regs_{};
    std::map<uint32_t, uint32_t> dsp_;
    bool dspLoaded_ = false;
    uint32_t dspAutoStartCount_ = 0;
    uint32_t dspStatus_ = 0;
    bool dspFaultArmed_ = false;
    uint32_t frameCount_ = 0;

    bool prepared_ = false;
    uint32_t prepKind_ = 0, prepUnit_ = 0, prepBytes_ = 0, prepLineInt_ = 0;

    Mode mode_ = Mode::Idle;
    uint64_t modeSerial_ = 0; // bumps whenever an activity starts or stops
    AreaScan area_;
    Cancel cancel_;
    uint32_t liveFrame_ = 0;
    std::chrono::steady_clock::time_point nextDue_;
    bool pacedEvent_ = false; // the event in progress came from the board's own clock

    std::deque<Request> requests_;
    uint64_t generation_ = 0; // bumps when requests are dropped: stale deliveries are skipped
    int writers_ = 0;         // engine writes into a buffer outside the lock
    bool hookRunning_ = false;
    std::deque<Delivery> deliveries_;
    size_t queuedHooks_ = 0;
    bool overrunPending_ = false;
    std::deque<Event> events_;
    bool eventRunning_ = false;

    std::array<std::unique_ptr<Mapping>, kLibrarySlots> librarySlots_;
    std::array<bool, kLibrarySlots> slotBusy_{};
    uint8_t *takeLibrarySlotLocked(int &slot);

    int32_t dropNoRequest_ = 0;
    int32_t dropHookBusy_ = 0;
    std::array<uint32_t, OPERATION_HISTORY_LENGTH> overrunHistory_{};
    uint32_t overrunIndex_ = 0;
    uint32_t deliveriesMade_ = 0; // hook calls begun: the operation info's first output
    std::array<uint32_t, OPERATION_HISTORY_LENGTH> lineHistory_{};     // line count per hook call
    std::array<uint32_t, OPERATION_HISTORY_LENGTH> flagHistory_{};     // flags per hook call
    std::array<uint32_t, OPERATION_HISTORY_LENGTH> hookTimeHistory_{}; // hook duration, us
    uint32_t deliveryIndex_ = 0;

    // Stream buffer and scan data set.
    bool streamSet_ = false;
    bool scanDataValid_ = false; // a table has been set and not consumed
    uint32_t scanEntries_ = 0;
    std::deque<uint32_t> scanQueue_; // banks of queued tables
    uint32_t loopBank_ = 0;          // bank the loop is consuming
    uint32_t nextBank_ = 0;
};

} // namespace sim
