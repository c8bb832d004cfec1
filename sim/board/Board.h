// One open simulated board. Created by BoardOpen, stopped by BoardClose; every method may be
// called from any thread, except where a comment names a thread.
//
// The board orchestrates its parts: the register window and the DSP, the request queue with
// the library's buffer slots, the delivery queue, the off-board loop's tables, the statistics
// and the event queue. It runs three threads: the engine (times the board and writes image
// data), the delivery thread (ImageTransferHook, ScanEndCallback) and the event thread
// (ScanBufferFreeCallback, DspInterruptCallback).
//
// Locks, in the only order they are ever nested (no lock is held while a callback runs):
//   1. mutex_ (the board lock): the scan state below and the parts that have no lock of their
//      own (RegisterFile, Dsp, RequestQueue, DeliveryQueue, ScanDataLoop). The engine decides
//      on all of them at once: whether an image is lost depends on the requests, the library
//      slots and the room in the delivery queue; a register write can start a scan that needs
//      the preparation, the DSP block and the stream set-up.
//   2. leaf locks, taken alone or under the board lock, never holding another lock of the
//      board: stats_ (Statistics), events_ (EventQueue); and, outside the board, the step gate
//      (StepGate::wake/done), the settings (frame and line rates) and a slot's Mapping.
// The registry's lock comes before all of these (a board is built under it), never after.
// Frame memory transfers take only memory_.frameMutex.
#pragma once

#include "pel2ctl.h"

#include "DeliveryQueue.h"
#include "Dsp.h"
#include "EventQueue.h"
#include "Memory.h"
#include "RegisterFile.h"
#include "RequestQueue.h"
#include "ScanDataLoop.h"
#include "Statistics.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace sim {

struct Callbacks {
    ImageTransferHookFn hook = nullptr;
    BoardEventFn bufferFree = nullptr;
    BoardEventFn dspInterrupt = nullptr;
    BoardEventFn scanEnd = nullptr;
};

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
    // A rate changed: a paced wait in progress is measured again with the new rate.
    void retime();

    // Exclusive right bookkeeping (the arbiter lives in the registry).
    void setExclusiveHeld(bool held) { exclusiveHeld_ = held; }

private:
    enum class Mode { Idle, Area, Live, Loop };

    struct Preparation {
        bool prepared = false; // used up by the start it enables
        uint32_t kind = 0, unit = 0, bytes = 0, lineInt = 0;
    };

    struct AreaScan {
        uint32_t pixels = 0, lines = 0, bytesPerPixel = 1, startCount = 0, clkoutWait = 0;
        bool frameUnit = true;
        uint32_t lineInt = 0;
        uint32_t frame = 0;    // frames finished
        uint32_t nextLine = 0; // first line of the next run (line units)
    };

    // The part of the frame an area event produces: a frame, or a run of lines.
    struct Run {
        uint32_t start = 0, count = 0, flags = 0;
        bool frameEnds = false;
    };

    struct Cancel {
        bool pending = false;
        uint32_t kind = 0;
        bool hasDeadline = false;
        bool stalled = false; // planted fault: the scan does not end before the time-out
        std::chrono::steady_clock::time_point deadline;
    };

    // What the engine waited for; Again: something changed, look again.
    enum class Wake { Again, TimedOut, Event };
    // The serials the engine saw before it waited: a change in them ends the wait.
    struct Seen {
        uint64_t mode, wake;
    };

    static constexpr uint32_t kMaxScanDataBytes = 0x10000;
    static constexpr int kMaskOpenDelayMs = 50;

    // Registers and DSP commands (BoardRegisters.cpp), board lock held.
    uint32_t statusBitsLocked() const;
    void dspCommandLocked(uint32_t command);
    void dspAreaCommandLocked(uint32_t command);
    void dspLoopCommandLocked(uint32_t command);
    void getModeWrittenLocked(uint32_t mode);
    void raiseDspLocked(uint32_t status);

    // Scan control (Board.cpp), board lock held.
    void resetLocked();
    void setModeLocked(Mode mode);
    void startAreaLocked(const AreaScan &scan);
    void endScanLocked(int32_t reason);
    void dropRequestsLocked();
    void waitFillsLocked(std::unique_lock<std::mutex> &lock);

    // Engine thread (BoardEngine.cpp), board lock held (released while waiting or writing).
    void engineMain();
    Wake waitForStep(std::unique_lock<std::mutex> &lock, Seen seen,
                     std::chrono::steady_clock::time_point deadline, bool &stepped);
    Wake waitForClock(std::unique_lock<std::mutex> &lock, Seen seen,
                      std::chrono::steady_clock::time_point deadline,
                      std::chrono::nanoseconds duration);
    Wake waitForProgram(std::unique_lock<std::mutex> &lock, Seen seen,
                        std::chrono::steady_clock::time_point deadline);
    bool changedLocked(Seen seen) const;
    void wakeEngineForProgramLocked();
    std::chrono::nanoseconds eventDurationLocked() const;
    std::chrono::nanoseconds areaDurationLocked() const;
    void recordBacklogLocked();
    void areaEvent(std::unique_lock<std::mutex> &lock, bool stepped, uint64_t serial);
    Run nextRunLocked() const;
    bool deliverAreaLocked(std::unique_lock<std::mutex> &lock, const AreaScan &s, const Run &run,
                           bool stepped);
    void advanceAreaLocked(const Run &run, uint64_t serial);
    void liveEvent(std::unique_lock<std::mutex> &lock, bool stepped);
    void loopEvent(bool stepped);
    enum class WakeDelivery { UnderLock, AfterUnlock };
    template <typename Fill>
    bool fillAndQueue(std::unique_lock<std::mutex> &lock, const RequestQueue::Request &r,
                      ImageDelivery d, Fill &&fill, WakeDelivery wake = WakeDelivery::UnderLock);

    // Callback threads (Board.cpp).
    void deliveryMain(); // delivery thread: ImageTransferHook and ScanEndCallback
    void eventMain();    // event thread: ScanBufferFreeCallback and DspInterruptCallback

    const uint32_t index_;
    const BoardHandle handle_;
    const Callbacks callbacks_;
    BoardMemory &memory_;

    std::thread engine_, delivery_, eventThread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> activeFlag_{false};
    std::atomic<bool> exclusiveHeld_{false};
    std::atomic<uint64_t> wakeSerial_{0}; // bumps on every change the engine must notice

    // The board lock: guards every member below up to stats_ (see the top of this file).
    mutable std::mutex mutex_;
    std::condition_variable engineCv_;   // engine waits: mode, requests, room, cancel, stop
    std::condition_variable deliveryCv_; // delivery thread waits: deliveries_, stop
    std::condition_variable idleCv_;     // clear, reset wait: no fill in progress

    RegisterFile regs_;
    Dsp dsp_;
    Preparation prep_;
    Mode mode_ = Mode::Idle;
    uint64_t modeSerial_ = 0; // bumps whenever an activity starts or stops
    AreaScan area_;
    Cancel cancel_;
    uint32_t liveFrame_ = 0;
    std::chrono::steady_clock::time_point nextDue_;
    bool pacedEvent_ = false; // the event in progress came from the board's own clock
    bool engineOnClock_ = false; // the engine sleeps until its clock's next event
    RequestQueue requests_;
    DeliveryQueue deliveries_;
    ScanDataLoop loop_;

    Statistics stats_;  // its own lock
    EventQueue events_; // its own lock
};

} // namespace sim
