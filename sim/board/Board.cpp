#include "Board.h"

#include "DspProgram.h"
#include "Settings.h"
#include "SimGlobals.h"
#include "Status.h"

#include <algorithm>
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

bool Board::isOwnThread() const
{
    const auto id = std::this_thread::get_id();
    return id == engine_.get_id() || id == delivery_.get_id() || id == eventThread_.get_id();
}

void Board::shutdown()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        // Undelivered hook calls are dropped; their step-mode events end here.
        dropRequestsLocked();
        deliveries_.clear();
        events_.clear();
        if (mode_ != Mode::Idle)
            setModeLocked(Mode::Idle);
        ++wakeSerial_;
        engineCv_.notify_all();
        deliveryCv_.notify_all();
        eventCv_.notify_all();
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

// ---- registers -------------------------------------------------------------------------------

uint32_t Board::statusBitsLocked() const
{
    uint32_t s = 0;
    if (prepared_)
        s |= kStatusPrepared;
    if (mode_ == Mode::Area)
        s |= kStatusScanning;
    if (mode_ == Mode::Live)
        s |= kStatusLive;
    if (mode_ == Mode::Loop)
        s |= kStatusLoop;
    if (cancel_.pending)
        s |= kStatusCancelling;
    if (dspLoaded_)
        s |= kStatusDspLoaded;
    if (exclusiveHeld_)
        s |= kStatusExclusive;
    return s;
}

static bool isReadOnly(uint32_t byteOffset)
{
    return byteOffset < 0x18;
}

int32_t Board::readRegister(uint32_t offset, unsigned bytes, uint32_t *value)
{
    if (value == nullptr || offset > BOARD_REGISTER_WINDOW ||
        bytes > BOARD_REGISTER_WINDOW - offset)
        return kErrParam;
    std::lock_guard lock(mutex_);
    const uint32_t live[6] = {kBoardIdValue, kRevisionValue, statusBitsLocked(),
                              frameCount_,   dspStatus_,     index_};
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = offset + i;
        const uint8_t b =
            isReadOnly(at) ? static_cast<uint8_t>(live[at / 4] >> (8 * (at % 4))) : regs_[at];
        v |= uint32_t{b} << (8 * i);
    }
    *value = v;
    return kOk;
}

uint32_t Board::registerValue(uint32_t offset)
{
    uint32_t v = 0;
    readRegister(std::min(offset, BOARD_REGISTER_WINDOW - 4), 4, &v);
    return v;
}

int32_t Board::writeRegister(uint32_t offset, unsigned bytes, uint32_t value)
{
    if (offset > BOARD_REGISTER_WINDOW || bytes > BOARD_REGISTER_WINDOW - offset)
        return kErrParam;
    std::unique_lock lock(mutex_);
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = offset + i;
        if (!isReadOnly(at))
            regs_[at] = static_cast<uint8_t>(value >> (8 * i));
    }
    auto touches = [&](uint32_t reg) { return offset < reg + 4 && offset + bytes > reg; };
    auto word = [&](uint32_t reg) {
        uint32_t w;
        std::memcpy(&w, &regs_[reg], 4);
        return w;
    };
    if (touches(REG_MAC_DSP_ADR_94))
        dspWriteLocked(word(REG_MAC_DSP_ADR_90), word(REG_MAC_DSP_ADR_94));
    if (touches(REG_DIO_IMG_GETMODE))
        getModeWrittenLocked(word(REG_DIO_IMG_GETMODE));
    return kOk;
}

// ---- DSP -------------------------------------------------------------------------------------

uint32_t Board::dspMemory(uint32_t address)
{
    std::lock_guard lock(mutex_);
    auto it = dsp_.find(address);
    return it == dsp_.end() ? 0 : it->second;
}

void Board::dspWriteLocked(uint32_t address, uint32_t value)
{
    dsp_[address] = value;
    if (address == DSP_COMMAND_WORD)
        dspCommandLocked(value);
}

void Board::raiseDspLocked(uint32_t status)
{
    dspStatus_ = status;
    events_.push_back(Event{true, static_cast<int32_t>(status)});
    eventCv_.notify_all();
}

void Board::dspCommandLocked(uint32_t command)
{
    if (globals().dspRejectsCommands) {
        raiseDspLocked(kDspFault | (command & 0xFF));
        return;
    }
    auto param = [&](uint32_t n) {
        auto it = dsp_.find(DSP_PARAM_BLOCK + n);
        return it == dsp_.end() ? 0u : it->second;
    };
    if (command == DSP_CMD_AREA_SCAN) {
        AreaScan scan;
        scan.pixels = param(0);
        scan.lines = param(1);
        const uint32_t code = param(2);
        scan.startCount = param(3);
        scan.clkoutWait = param(7);
        const bool ready = (prepared_ && prepKind_ == SCAN_KIND_AREA) || mode_ == Mode::Area;
        if (!ready || scan.pixels == 0 || scan.pixels > 0xFFFF || scan.lines == 0 ||
            scan.lines > 0xFFFF || code > 2 || mode_ == Mode::Live || mode_ == Mode::Loop) {
            raiseDspLocked(kDspCommandRejected | command);
            return;
        }
        if (mode_ == Mode::Area) {
            // A new start while scanning takes the new block and keeps the preparation.
            scan.bytesPerPixel = area_.bytesPerPixel;
            scan.frameUnit = area_.frameUnit;
            scan.lineInt = area_.lineInt;
        } else {
            scan.bytesPerPixel = prepBytes_;
            scan.frameUnit = (prepUnit_ & SCAN_UNIT_FRAME) != 0;
            scan.lineInt = prepLineInt_;
        }
        startAreaLocked(scan);
        if (globals().dspAnnouncesCommands)
            raiseDspLocked(0x0100 | command);
        return;
    }
    if (command == DSP_CMD_SCANDATA_LOOP) {
        if (!prepared_ || prepKind_ != SCAN_KIND_DATA_TEST || !streamSet_ || !scanDataValid_ ||
            mode_ != Mode::Idle) {
            raiseDspLocked(kDspCommandRejected | command);
            return;
        }
        prepared_ = false;
        setModeLocked(Mode::Loop);
        if (globals().dspAnnouncesCommands)
            raiseDspLocked(0x0100 | command);
        return;
    }
    if (command != 0) // 0 is the idle command word
        raiseDspLocked(kDspCommandRejected | (command & 0xFFFF));
}

void Board::getModeWrittenLocked(uint32_t mode)
{
    if (mode == 3) {
        if (mode_ == Mode::Idle && prepared_ && prepKind_ == SCAN_KIND_AREA && prepBytes_ == 3 &&
            (prepUnit_ & SCAN_UNIT_FRAME) != 0) {
            prepared_ = false;
            liveFrame_ = 0;
            setModeLocked(Mode::Live);
        }
        return;
    }
    if (mode == 0) {
        if (mode_ == Mode::Live) {
            setModeLocked(Mode::Idle);
            return;
        }
        // A downloaded DSP program starts the prepared area scan by itself.
        if (mode_ == Mode::Idle && dspLoaded_ && prepared_ && prepKind_ == SCAN_KIND_AREA) {
            uint32_t geometry;
            std::memcpy(&geometry, &regs_[REG_MAC_H_UDTCSR], 4);
            AreaScan scan;
            scan.pixels = geometry & 0xFFFF;
            scan.lines = geometry >> 16;
            scan.bytesPerPixel = prepBytes_;
            scan.frameUnit = (prepUnit_ & SCAN_UNIT_FRAME) != 0;
            scan.lineInt = prepLineInt_;
            scan.startCount = dspAutoStartCount_;
            if (scan.pixels == 0 || scan.lines == 0) {
                raiseDspLocked(kDspCommandRejected | DSP_CMD_AREA_SCAN);
                return;
            }
            startAreaLocked(scan);
        }
    }
}

int32_t Board::dspDownload(const char *path)
{
    if (path == nullptr || *path == '\0')
        return kErrParam;
    DspProgram program;
    const DspLoad load = loadDspProgram(path, &program);
    if (load == DspLoad::Unreadable)
        return kErrFile;
    std::lock_guard lock(mutex_);
    if (mode_ != Mode::Idle)
        return kErrBusy;
    if (load == DspLoad::Invalid) {
        dspLoaded_ = false; // a broken download leaves no program behind
        return BOARD_STATUS_DSP_DOWNLOAD_FAULT;
    }
    for (const auto &[address, word] : program.words)
        dsp_[address] = word;
    dspLoaded_ = true;
    dspAutoStartCount_ = program.autoStartCount;
    return kOk;
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
    prepared_ = true;
    prepKind_ = kind;
    prepUnit_ = unitFlags;
    prepBytes_ = bytesPerPixel;
    prepLineInt_ = lineInt;
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
    const bool maskDelay = (prepUnit_ & SCAN_NO_MASK_OPEN_DELAY) == 0;
    prepared_ = false;
    setModeLocked(Mode::Area);
    // Paced scans wait for the mask to open before the first image.
    if (maskDelay)
        nextDue_ += std::chrono::milliseconds(kMaskOpenDelayMs);
}

void Board::endScanLocked(int32_t reason)
{
    setModeLocked(Mode::Idle);
    Delivery d;
    d.isHook = false;
    d.endReason = reason;
    deliveries_.push_back(d);
    deliveryCv_.notify_all();
}

int32_t Board::imageRequest(void *buffer, uint32_t size)
{
    if (buffer != nullptr && size == 0)
        return kErrParam;
    std::lock_guard lock(mutex_);
    if (requests_.size() >= kMaxRequests)
        return kErrState;
    uint8_t *p = static_cast<uint8_t *>(buffer);
    // A request into one of the library's own buffers (a hook handing its delivery back) asks
    // for the library's buffer again: the library never trusts a size it did not allocate.
    if (p != nullptr && findLibrarySlotLocked(p) >= 0)
        p = nullptr;
    requests_.push_back(Request{p, p == nullptr ? 0 : size});
    engineCv_.notify_all();
    return kOk;
}

int Board::findLibrarySlotLocked(const uint8_t *p) const
{
    for (int i = 0; i < kLibrarySlots; ++i) {
        if (!librarySlots_[i])
            continue;
        const uint8_t *base = librarySlots_[i]->peek();
        if (base != nullptr && p >= base && p < base + kLibrarySlotBytes)
            return i;
    }
    return -1;
}

void Board::dropRequestsLocked()
{
    ++generation_;
    requests_.clear();
    // Deliveries not yet handed to the hook belong to dropped requests too.
    std::deque<Delivery> keep;
    for (Delivery &d : deliveries_) {
        if (!d.isHook) {
            keep.push_back(d);
            continue;
        }
        if (d.librarySlot >= 0)
            slotBusy_[d.librarySlot] = false;
        if (d.stepCounted)
            StepGate::instance().done();
    }
    deliveries_.swap(keep);
    queuedHooks_ = 0;
    overrunPending_ = false;
    engineCv_.notify_all();
}

int32_t Board::imageRequestClear()
{
    std::unique_lock lock(mutex_);
    dropRequestsLocked();
    // A buffer the engine is filling right now is dropped too: wait until it is done.
    idleCv_.wait(lock, [&] { return writers_ == 0; });
    return kOk;
}

size_t Board::namedIn(const uint8_t *begin, size_t size)
{
    std::lock_guard lock(mutex_);
    const auto inside = [&](const void *p) {
        const auto *b = static_cast<const uint8_t *>(p);
        return b != nullptr && b >= begin && b < begin + size;
    };
    size_t n = 0;
    for (const Request &r : requests_)
        n += inside(r.buffer) ? 1 : 0;
    for (const Delivery &d : deliveries_)
        n += d.isHook && d.generation == generation_ && inside(d.data) ? 1 : 0;
    return n;
}

int32_t Board::errorInfo(int32_t *noRequest, int32_t *hookBusy)
{
    if (noRequest == nullptr || hookBusy == nullptr)
        return kErrParam;
    std::lock_guard lock(mutex_);
    *noRequest = dropNoRequest_;
    *hookBusy = dropHookBusy_;
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
        prepared_ = false; // the board is already stopped; a preparation is forgotten
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
    regs_.fill(0);
    dsp_.clear();
    dspLoaded_ = false;
    dspAutoStartCount_ = 0;
    dspStatus_ = 0;
    frameCount_ = 0;
    prepared_ = false;
    streamSet_ = false;
    scanDataValid_ = false;
    scanQueue_.clear();
    if (mode_ != Mode::Idle)
        setModeLocked(Mode::Idle);
}

int32_t Board::reset()
{
    std::unique_lock lock(mutex_);
    resetLocked();
    dropRequestsLocked();
    events_.clear();
    idleCv_.wait(lock, [&] { return writers_ == 0; });
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
    streamSet_ = true;
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
    if (!streamSet_)
        return kErrState;
    if (mode_ == Mode::Loop) {
        if (scanQueue_.size() >= globals().scanDataQueueDepth.load())
            return BOARD_STATUS_SCANDATA_OVERFLOW;
        const uint32_t bank = (loopBank_ + 1 + static_cast<uint32_t>(scanQueue_.size())) % 4;
        scanQueue_.push_back(bank);
        return BOARD_STATUS_SCANDATA_QUEUED;
    }
    scanDataValid_ = true;
    scanEntries_ = byteCount / 4;
    loopBank_ = 0;
    scanQueue_.clear();
    return kOk;
}

// ---- statistics ------------------------------------------------------------------------------

int32_t Board::operationInfo(uint32_t *first, uint32_t *histories[4], uint32_t *indices[4])
{
    std::lock_guard lock(mutex_);
    if (first != nullptr)
        *first = deliveriesMade_;
    const std::array<uint32_t, OPERATION_HISTORY_LENGTH> *sources[4] = {
        &overrunHistory_, &lineHistory_, &flagHistory_, &hookTimeHistory_};
    const uint32_t sourceIndex[4] = {overrunIndex_, deliveryIndex_, deliveryIndex_, deliveryIndex_};
    for (int i = 0; i < 4; ++i) {
        if (histories[i] != nullptr)
            std::memcpy(histories[i], sources[i]->data(), OPERATION_HISTORY_LENGTH * 4);
        if (indices[i] != nullptr)
            *indices[i] = sourceIndex[i];
    }
    return kOk;
}

void Board::recordOverrunLocked(uint32_t value)
{
    overrunHistory_[overrunIndex_] = value;
    overrunIndex_ = (overrunIndex_ + 1) % OPERATION_HISTORY_LENGTH;
}

} // namespace sim
