// The scan engine and callback threads of a simulated board.
#include "Board.h"

#include "Settings.h"
#include "SimGlobals.h"
#include "Synth.h"

#include <algorithm>
#include <cstring>

namespace sim {

using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds Board::eventDurationLocked() const
{
    using namespace std::chrono;
    auto seconds = [](double s) { return duration_cast<nanoseconds>(duration<double>(s)); };
    Settings &settings = Settings::instance();
    switch (mode_) {
    case Mode::Live:
        return seconds(1.0 / kLiveFrameRate);
    case Mode::Loop: {
        // Each table entry takes (CLKOUT wait + 1) cycles of a 40 MHz clock.
        auto it = dsp_.find(DSP_PARAM_BLOCK + 7);
        const double wait = it == dsp_.end() ? 0.0 : it->second;
        return std::max(seconds(scanEntries_ * (wait + 1.0) / 40e6), nanoseconds(milliseconds(1)));
    }
    case Mode::Area: {
        const double fps = settings.frameRate();
        // The CLKOUT wait stretches every line by that many 10 ns cycles when paced.
        const double clkout = area_.clkoutWait * 10e-9;
        if (area_.frameUnit)
            return fps > 0 ? seconds(1.0 / fps + clkout * area_.lines) : nanoseconds(0);
        const double lps = settings.lineRate();
        double lineTime = 0;
        if (lps > 0)
            lineTime = 1.0 / lps;
        else if (lps < 0 && fps > 0)
            lineTime = 1.0 / (fps * area_.lines);
        if (lineTime == 0)
            return nanoseconds(0);
        const uint32_t left = area_.lines - area_.nextLine;
        const uint32_t run = area_.lineInt != 0 ? std::min(area_.lineInt, left) : left;
        return seconds(run * (lineTime + clkout));
    }
    case Mode::Idle:
        break;
    }
    return nanoseconds(0);
}

// Engine thread.
void Board::engineMain()
{
    StepGate &gate = StepGate::instance();
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (mode_ == Mode::Idle) {
            engineCv_.wait(lock, [&] { return stop_ || mode_ != Mode::Idle; });
            continue;
        }
        const uint64_t serial = modeSerial_;
        const uint64_t seen = wakeSerial_;
        auto changed = [&] { return stop_ || modeSerial_ != serial || wakeSerial_ != seen; };
        const bool hasDeadline = mode_ == Mode::Area && cancel_.pending && cancel_.hasDeadline;
        const Clock::time_point deadline =
            hasDeadline ? cancel_.deadline : Clock::time_point::max();
        bool stepped = false;
        bool timedOut = false;
        pacedEvent_ = false;

        if (gate.on()) {
            // One event per permission, each after the previous hook call has returned.
            if (!engineCv_.wait_until(lock, deadline, [&] {
                    return changed() || (queuedHooks_ == 0 && !hookRunning_);
                })) {
                timedOut = true;
            } else if (changed()) {
                continue;
            } else {
                lock.unlock();
                const auto r = gate.take([&] { return stop_.load() || wakeSerial_.load() != seen; },
                                         hasDeadline ? &deadline : nullptr);
                lock.lock();
                if (r == StepGate::Take::TimedOut) {
                    timedOut = true;
                } else if (r == StepGate::Take::Stopped) {
                    continue;
                } else if (stop_ || modeSerial_ != serial) {
                    gate.giveBack();
                    continue;
                } else {
                    stepped = true;
                }
            }
        } else {
            const auto duration = eventDurationLocked();
            if (duration.count() > 0) {
                const Clock::time_point due = nextDue_ + duration;
                engineCv_.wait_until(lock, std::min(due, deadline), changed);
                if (changed())
                    continue;
                const auto now = Clock::now();
                if (now < due) {
                    if (now < deadline)
                        continue; // woken early
                    timedOut = true;
                } else {
                    // Frames keep their rhythm; after a long stall the board does not catch up.
                    nextDue_ = now - due > duration ? now : due;
                    pacedEvent_ = true;
                }
            } else {
                // As fast as the program takes the data: wait for room and for a request (a
                // pending cancel needs no request: the frame runs out without one).
                if (!engineCv_.wait_until(lock, deadline, [&] {
                        return changed() || ((!requests_.empty() || cancel_.pending) &&
                                             queuedHooks_ < kMaxQueuedHooks && !overrunPending_);
                    }))
                    timedOut = true;
                else if (changed())
                    continue;
                nextDue_ = Clock::now();
            }
        }

        if (timedOut) {
            if (mode_ == Mode::Area && cancel_.pending)
                endScanLocked(SCAN_END_TIMEOUT);
            continue;
        }
        switch (mode_) {
        case Mode::Area:
            areaEvent(lock, stepped);
            break;
        case Mode::Live:
            liveEvent(lock, stepped);
            break;
        case Mode::Loop:
            loopEvent(lock, stepped);
            break;
        case Mode::Idle:
            if (stepped)
                gate.giveBack();
            break;
        }
    }
}

void Board::pushDeliveryLocked(Delivery d)
{
    d.generation = generation_;
    if (d.isHook)
        ++queuedHooks_;
    deliveries_.push_back(d);
    deliveryCv_.notify_all();
}

// Engine thread, lock held (released while the data is written).
void Board::areaEvent(std::unique_lock<std::mutex> &lock, bool stepped)
{
    const AreaScan s = area_;
    const uint32_t lineBytesU = s.pixels * s.bytesPerPixel;
    const size_t lineBytes = lineBytesU;
    uint32_t start = 0, count = s.lines, flags = HOOK_FLAG_FRAME;
    if (!s.frameUnit) {
        start = s.nextLine;
        const uint32_t left = s.lines - start;
        count = s.lineInt != 0 ? std::min(s.lineInt, left) : left;
        flags = HOOK_FLAG_LINES | (start + count == s.lines ? HOOK_FLAG_FRAME : 0);
    }
    const bool frameEnds = (flags & HOOK_FLAG_FRAME) != 0;
    const uint32_t frameNumber = s.frame;
    bool delivered = false;

    // On the board's own clock, two or more deliveries still pending is an event-wait overrun
    // (unpaced, the engine waits for the program instead).
    const size_t backlog = queuedHooks_ + (hookRunning_ ? 1 : 0);
    if (pacedEvent_ && backlog >= 2)
        recordOverrunLocked(static_cast<uint32_t>(backlog));

    const bool slotFree = std::find(slotBusy_.begin(), slotBusy_.end(), false) != slotBusy_.end();
    const bool needsSlot = !requests_.empty() && requests_.front().buffer == nullptr;
    if (queuedHooks_ >= kMaxQueuedHooks || (needsSlot && !slotFree)) {
        // The hook is still busy with earlier deliveries: this image is lost.
        ++dropHookBusy_;
        if (!s.frameUnit && !overrunPending_) {
            overrunPending_ = true;
            Delivery d;
            d.flags = HOOK_FLAG_LINE_OVERRUN;
            d.startLine = start;
            d.lineCount = 0;
            d.bufferKind = requests_.empty() || requests_.front().buffer == nullptr
                               ? HOOK_BUFFER_LIBRARY
                               : HOOK_BUFFER_PROGRAM;
            d.stepCounted = stepped;
            d.generation = generation_;
            deliveries_.push_back(d); // carries no data: not held to the queue limit
            deliveryCv_.notify_all();
            delivered = true;
        }
    } else if (requests_.empty()) {
        ++dropNoRequest_;
    } else {
        const Request r = requests_.front();
        requests_.pop_front();
        const bool library = r.buffer == nullptr;
        const bool pitched = library || s.frameUnit;
        // Bytes from the delivered address to the end of the last line written.
        const size_t needed = pitched ? size_t{start + count - 1} * BOARD_LINE_PITCH + lineBytes
                                      : size_t{count} * lineBytes;
        const bool fits = pitched
                              ? lineBytes <= BOARD_LINE_PITCH &&
                                    (library ? start + count <= kLibraryLines : needed <= r.size)
                              : needed <= r.size;
        Delivery d;
        d.startLine = start;
        d.lineCount = count;
        d.bufferKind = library ? HOOK_BUFFER_LIBRARY : HOOK_BUFFER_PROGRAM;
        d.stepCounted = stepped;
        if (!fits) {
            d.flags = HOOK_FLAG_AREA_SIZE;
            d.data = r.buffer;
            pushDeliveryLocked(d);
        } else {
            uint8_t *base = r.buffer;
            int slot = -1;
            if (library)
                base = takeLibrarySlotLocked(slot);
            const uint64_t generation = generation_;
            ++writers_;
            lock.unlock();
            if (base != nullptr) {
                if (pitched)
                    synthAreaLines(base + size_t{start} * BOARD_LINE_PITCH, BOARD_LINE_PITCH,
                                   s.pixels, s.lines, s.bytesPerPixel, start, count, frameNumber);
                else
                    synthAreaLines(base, lineBytes, s.pixels, s.lines, s.bytesPerPixel, start,
                                   count, frameNumber);
            }
            lock.lock();
            --writers_;
            idleCv_.notify_all();
            if (generation == generation_ && base != nullptr) {
                d.flags = flags;
                d.data = base;
                d.librarySlot = slot;
                pushDeliveryLocked(d);
                delivered = true;
            } else if (slot >= 0) {
                slotBusy_[slot] = false; // dropped by a clear, reset or close meanwhile
            }
        }
        if (!fits)
            delivered = true;
    }
    if (stepped && !delivered)
        StepGate::instance().done();

    // The scan may have been stopped while the lock was released.
    if (mode_ != Mode::Area || stop_)
        return;
    if (frameEnds) {
        ++frameCount_;
        ++area_.frame;
        area_.nextLine = 0;
    } else {
        area_.nextLine = start + count;
    }
    if (cancel_.pending && !cancel_.stalled && (cancel_.kind == CANCEL_LINE || frameEnds)) {
        endScanLocked(cancel_.kind == CANCEL_LINE ? SCAN_END_LINE_CANCEL : SCAN_END_FRAME_CANCEL);
        return;
    }
    if (frameEnds && area_.startCount != 0 && area_.frame >= area_.startCount)
        endScanLocked(SCAN_END_NORMAL);
}

// Engine thread, lock held.
void Board::liveEvent(std::unique_lock<std::mutex> &lock, bool stepped)
{
    const uint32_t frame = liveFrame_++;
    ++frameCount_;
    const size_t backlog = queuedHooks_ + (hookRunning_ ? 1 : 0);
    if (pacedEvent_ && backlog >= 2)
        recordOverrunLocked(static_cast<uint32_t>(backlog));
    bool delivered = false;
    if (requests_.empty()) {
        ++dropNoRequest_;
    } else if (queuedHooks_ >= kMaxQueuedHooks ||
               (requests_.front().buffer == nullptr &&
                std::find(slotBusy_.begin(), slotBusy_.end(), false) == slotBusy_.end())) {
        ++dropHookBusy_;
    } else {
        const Request r = requests_.front();
        requests_.pop_front();
        Delivery d;
        d.startLine = 0;
        d.lineCount = kLiveHeight;
        d.bufferKind = r.buffer == nullptr ? HOOK_BUFFER_LIBRARY : HOOK_BUFFER_PROGRAM;
        d.stepCounted = stepped;
        if (r.buffer != nullptr && r.size < kLiveBytes) {
            d.flags = HOOK_FLAG_AREA_SIZE;
            d.data = r.buffer;
            pushDeliveryLocked(d);
            delivered = true;
        } else {
            uint8_t *base = r.buffer;
            int slot = -1;
            if (base == nullptr)
                base = takeLibrarySlotLocked(slot);
            const uint64_t generation = generation_;
            ++writers_;
            lock.unlock();
            if (base != nullptr)
                synthLiveFrame(base, frame);
            lock.lock();
            --writers_;
            idleCv_.notify_all();
            if (generation == generation_ && base != nullptr) {
                d.flags = HOOK_FLAG_FRAME;
                d.data = base;
                d.librarySlot = slot;
                pushDeliveryLocked(d);
                delivered = true;
            } else if (slot >= 0) {
                slotBusy_[slot] = false;
            }
        }
    }
    if (stepped && !delivered)
        StepGate::instance().done();
}

// Engine thread, lock held: the off-board loop has consumed its present table.
void Board::loopEvent(std::unique_lock<std::mutex> &, bool stepped)
{
    events_.push_back(Event{false, static_cast<int32_t>(loopBank_)});
    eventCv_.notify_all();
    if (!scanQueue_.empty()) {
        loopBank_ = scanQueue_.front();
        scanQueue_.pop_front();
    } else {
        // Ran dry: the loop ends and the next table is taken at once.
        scanDataValid_ = false;
        setModeLocked(Mode::Idle);
        if (globals().dspAnnouncesCommands)
            raiseDspLocked(kDspLoopDone | DSP_CMD_SCANDATA_LOOP);
    }
    if (stepped)
        StepGate::instance().done();
}

// Delivery thread.
void Board::deliveryMain()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        deliveryCv_.wait(lock, [&] { return stop_ || !deliveries_.empty(); });
        if (deliveries_.empty())
            break; // stopping and nothing left
        Delivery d = deliveries_.front();
        deliveries_.pop_front();
        if (d.isHook) {
            if (d.flags == HOOK_FLAG_LINE_OVERRUN)
                overrunPending_ = false;
            else if (queuedHooks_ > 0)
                --queuedHooks_;
            hookRunning_ = true;
            ++deliveriesMade_;
        }
        lock.unlock();
        const auto begin = Clock::now();
        if (d.isHook) {
            Settings::instance().hookCalls.fetch_add(1);
            if (callbacks_.hook != nullptr)
                callbacks_.hook(d.flags, d.startLine, d.lineCount, d.bufferKind, d.data);
        } else if (callbacks_.scanEnd != nullptr) {
            callbacks_.scanEnd(d.endReason);
        }
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
        lock.lock();
        if (d.isHook) {
            hookRunning_ = false;
            if (d.librarySlot >= 0)
                slotBusy_[d.librarySlot] = false;
            lineHistory_[deliveryIndex_] = d.lineCount;
            flagHistory_[deliveryIndex_] = d.flags;
            hookTimeHistory_[deliveryIndex_] =
                static_cast<uint32_t>(std::min<int64_t>(micros, UINT32_MAX));
            deliveryIndex_ = (deliveryIndex_ + 1) % OPERATION_HISTORY_LENGTH;
            engineCv_.notify_all();
            idleCv_.notify_all();
        }
        if (d.stepCounted)
            StepGate::instance().done();
    }
}

// Event thread.
void Board::eventMain()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        eventCv_.wait(lock, [&] { return stop_ || !events_.empty(); });
        if (events_.empty())
            break;
        const Event e = events_.front();
        events_.pop_front();
        lock.unlock();
        BoardEventFn fn = e.dsp ? callbacks_.dspInterrupt : callbacks_.bufferFree;
        if (fn != nullptr)
            fn(e.value);
        lock.lock();
    }
}


// With mutex_ held, and only after a free slot was seen: marks the first free library buffer
// busy and returns it (its index in slot). nullptr when none is free.
uint8_t *Board::takeLibrarySlotLocked(int &slot)
{
    for (int i = 0; i < kLibrarySlots; ++i) {
        if (slotBusy_[i])
            continue;
        if (!librarySlots_[i])
            librarySlots_[i] = std::make_unique<Mapping>(kLibrarySlotBytes);
        slotBusy_[i] = true;
        slot = i;
        return librarySlots_[i]->get();
    }
    slot = -1;
    return nullptr;
}

} // namespace sim
