// Life cycle, callback threads, scan control and the operations that are not register or DSP
// access.
#include "Board.h"

#include "Settings.h"
#include "SimGlobals.h"
#include "Status.h"

#include <cstring>

namespace sim {

Board::Board(uint32_t index, BoardHandle handle, const Callbacks &callbacks)
    : index_(index), handle_(handle), callbacks_(callbacks), memory_(boardMemory(index))
{
    std::lock_guard lock(mutex_);
    resetLocked();
}

Board::~Board()
{
    // shutdown() has joined or detached every thread; joinable threads here would terminate.
    if (engine_.joinable())
        engine_.detach();
    if (delivery_.joinable())
        delivery_.detach();
    if (eventThread_.joinable())
        eventThread_.detach();
}

void Board::start()
{
    // Each thread keeps the board alive until it ends (a close from a callback detaches it).
    auto self = shared_from_this();
    engine_ = std::thread([self] { self->engineMain(); });
    delivery_ = std::thread([self] { self->deliveryMain(); });
    eventThread_ = std::thread([self] { self->eventMain(); });
}

void Board::shutdown()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        // Undelivered hook calls are dropped; their step-mode events end here.
        dropRequestsLocked();
        deliveries_.clear();
        events_.stop();
        if (mode_ != Mode::Idle)
            setModeLocked(Mode::Idle);
        ++wakeSerial_;
        engineCv_.notify_all();
        deliveryCv_.notify_all();
        idleCv_.notify_all();
    }
    StepGate::instance().wake();
    const auto me = std::this_thread::get_id();
    for (std::thread *t : {&engine_, &delivery_, &eventThread_}) {
        if (!t->joinable())
            continue;
        if (t->get_id() == me)
            t->detach(); // closing from inside a callback: this thread ends when it returns
        else
            t->join();
    }
}

// ---- callback threads -----------------------------------------------------------------------

// Delivery thread.
void Board::deliveryMain()
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    for (;;) {
        deliveryCv_.wait(lock, [&] { return stop_ || !deliveries_.empty(); });
        const std::optional<Delivery> d = deliveries_.pop();
        if (!d)
            break; // stopping and nothing left
        const std::optional<HookArgs> hook = hookArgs(*d);
        if (hook)
            stats_.hookStarted();
        lock.unlock();
        const auto begin = Clock::now();
        if (hook) {
            Settings::instance().hookCalls.fetch_add(1);
            if (callbacks_.hook != nullptr)
                callbacks_.hook(hook->flags, hook->startLine, hook->lineCount, hook->bufferKind,
                                hook->data);
        } else if (callbacks_.scanEnd != nullptr) {
            callbacks_.scanEnd(std::get<ScanEnd>(*d).reason);
        }
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
        if (hook)
            stats_.hookFinished(hook->lineCount, hook->flags, micros);
        lock.lock();
        if (hook) {
            deliveries_.hookReturned();
            if (const auto *image = std::get_if<ImageDelivery>(&*d))
                requests_.releaseSlot(image->librarySlot);
            wakeEngineForProgramLocked();
        }
        if (stepCounted(*d))
            StepGate::instance().done();
    }
}

// Event thread.
void Board::eventMain()
{
    while (const auto e = events_.wait()) {
        const BoardEventFn fn = e->kind == EventQueue::Event::Kind::DspInterrupt
                                    ? callbacks_.dspInterrupt
                                    : callbacks_.bufferFree;
        if (fn != nullptr)
            fn(e->value);
    }
}

// ---- scan set-up, requests, cancel ------------------------------------------------------------

int32_t Board::scanPrepare(uint32_t kind, uint32_t unitFlags, uint32_t bytesPerPixel,
                           uint32_t lineInt)
{
    if ((kind != SCAN_KIND_AREA && kind != SCAN_KIND_DATA_TEST) ||
        (unitFlags & ~(SCAN_UNIT_FRAME | SCAN_NO_MASK_OPEN_DELAY)) != 0 || bytesPerPixel < 1 ||
        bytesPerPixel > 4 || lineInt > 0xFFFF)
        return kErrParam;
    std::lock_guard lock(mutex_);
    if (mode_ != Mode::Idle)
        return kErrBusy;
    prep_ = Preparation{true, kind, unitFlags, bytesPerPixel, lineInt};
    return kOk;
}

void Board::setModeLocked(Mode mode)
{
    mode_ = mode;
    ++modeSerial_;
    ++wakeSerial_;
    cancel_ = Cancel{};
    const bool active = mode != Mode::Idle;
    if (active != activeFlag_.exchange(active))
        globals().activeEngines += active ? 1 : -1;
    nextDue_ = std::chrono::steady_clock::now();
    engineCv_.notify_all();
    // The engine may be waiting in the step gate (lock order: board, then gate).
    StepGate::instance().wake();
}

void Board::startAreaLocked(const AreaScan &scan)
{
    area_ = scan;
    area_.frame = 0;
    area_.nextLine = 0;
    const bool maskDelay = (prep_.unit & SCAN_NO_MASK_OPEN_DELAY) == 0;
    prep_.prepared = false;
    setModeLocked(Mode::Area);
    // Paced scans wait for the mask to open before the first image.
    if (maskDelay)
        nextDue_ += std::chrono::milliseconds(kMaskOpenDelayMs);
}

void Board::endScanLocked(int32_t reason)
{
    setModeLocked(Mode::Idle);
    // Held back while the engine fills a delivery: the end follows the scan's last delivery.
    deliveries_.pushEnd(reason);
    deliveryCv_.notify_all();
}

int32_t Board::imageRequest(void *buffer, uint32_t size)
{
    std::lock_guard lock(mutex_);
    const int32_t result = requests_.add(buffer, size);
    if (result == kOk)
        wakeEngineForProgramLocked();
    return result;
}

void Board::dropRequestsLocked()
{
    requests_.dropAll();
    // Deliveries not yet handed to the hook belong to dropped requests too.
    for (const Delivery &d : deliveries_.dropHooks()) {
        if (const auto *image = std::get_if<ImageDelivery>(&d))
            requests_.releaseSlot(image->librarySlot);
        if (stepCounted(d))
            StepGate::instance().done();
    }
    engineCv_.notify_all();
}

// A buffer the engine is filling right now belongs to a dropped request too: waits until the
// engine has let go of it.
void Board::waitFillsLocked(std::unique_lock<std::mutex> &lock)
{
    idleCv_.wait(lock, [&] { return !deliveries_.filling(); });
}

int32_t Board::imageRequestClear()
{
    std::unique_lock lock(mutex_);
    dropRequestsLocked();
    waitFillsLocked(lock);
    return kOk;
}

size_t Board::namedIn(const uint8_t *begin, size_t size)
{
    std::lock_guard lock(mutex_);
    return requests_.namedIn(begin, size) + deliveries_.namedIn(begin, size);
}

int32_t Board::errorInfo(int32_t *noRequest, int32_t *hookBusy)
{
    if (noRequest == nullptr || hookBusy == nullptr)
        return kErrParam;
    stats_.errorInfo(noRequest, hookBusy);
    return kOk;
}

int32_t Board::scanCancel(uint32_t kind, uint32_t timeoutMs)
{
    if (kind != CANCEL_FRAME && kind != CANCEL_LINE)
        return kErrParam;
    std::lock_guard lock(mutex_);
    if (cancel_.pending)
        return BOARD_STATUS_CANCEL_IN_PROGRESS;
    switch (mode_) {
    case Mode::Idle:
        prep_.prepared = false; // the board is already stopped; a preparation is forgotten
        return kOk;
    case Mode::Live:
    case Mode::Loop:
        setModeLocked(Mode::Idle);
        return kOk;
    case Mode::Area:
        break;
    }
    cancel_.pending = true;
    cancel_.kind = kind;
    cancel_.hasDeadline = timeoutMs != 0;
    cancel_.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    cancel_.stalled = globals().cancelStalls;
    if (cancel_.stalled && timeoutMs == 0) {
        endScanLocked(SCAN_END_TIMEOUT);
        return kOk;
    }
    ++wakeSerial_;
    engineCv_.notify_all();
    StepGate::instance().wake();
    return kOk;
}

// ---- reset -----------------------------------------------------------------------------------

void Board::resetLocked()
{
    regs_.reset();
    dsp_.reset();
    prep_.prepared = false;
    loop_.reset();
    if (mode_ != Mode::Idle)
        setModeLocked(Mode::Idle);
}

void Board::retime()
{
    std::lock_guard lock(mutex_);
    ++wakeSerial_;
    engineCv_.notify_all();
}

int32_t Board::reset()
{
    std::unique_lock lock(mutex_);
    resetLocked();
    dropRequestsLocked();
    events_.clear();
    waitFillsLocked(lock);
    return kOk;
}

// ---- frame memory ----------------------------------------------------------------------------

int32_t Board::frameMemory(bool write, uint32_t bank, uint32_t offset, uint32_t count, void *buffer)
{
    if (bank >= FRAME_MEMORY_BANKS || count == 0 || count > FRAME_MEMORY_MAX_TRANSFER ||
        offset > FRAME_MEMORY_BANK_SIZE || count > FRAME_MEMORY_BANK_SIZE - offset ||
        buffer == nullptr)
        return kErrParam;
    std::lock_guard lock(memory_.frameMutex);
    uint8_t *base = memory_.banks[bank].get();
    if (base == nullptr)
        return kErrState;
    if (write) {
        std::memcpy(base + offset, buffer, count);
    } else {
        std::memcpy(buffer, base + offset, count);
        FrameFaults::instance().apply(bank, offset, count, static_cast<uint8_t *>(buffer));
    }
    return kOk;
}

// ---- stream buffer and scan data ------------------------------------------------------------

int32_t Board::streamBufferSet(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    // (first bank, bank count, enable, direction): the only set-up used is (0, 1, 1, 1).
    if (a > 3 || b < 1 || b > 4 || c > 1 || d > 1)
        return kErrParam;
    std::lock_guard lock(mutex_);
    loop_.setStream();
    return kOk;
}

int32_t Board::scanDataSet(uint32_t offset, uint32_t byteCount)
{
    if (byteCount == 0 || byteCount % 4 != 0 || byteCount > kMaxScanDataBytes ||
        offset > kWindowBytes || byteCount > kWindowBytes - offset)
        return kErrParam;
    const uint8_t *window = memory_.window.get();
    if (window == nullptr)
        return kErrState;
    // Each entry: two equal 16-bit words with bit 15 set (a drive value and its echo).
    for (uint32_t i = 0; i < byteCount; i += 4) {
        uint16_t w0, w1;
        std::memcpy(&w0, window + offset + i, 2);
        std::memcpy(&w1, window + offset + i + 2, 2);
        if (w0 != w1 || (w0 & 0x8000) == 0)
            return kErrData;
    }
    std::lock_guard lock(mutex_);
    return loop_.set(byteCount / 4, mode_ == Mode::Loop, globals().scanDataQueueDepth.load());
}

// ---- statistics ------------------------------------------------------------------------------

int32_t Board::operationInfo(uint32_t *first, uint32_t *histories[4], uint32_t *indices[4])
{
    stats_.operationInfo(first, histories, indices);
    return kOk;
}

} // namespace sim
