// The scan engine of a simulated board: one thread that times the board (frame and line rates,
// live video, the off-board loop) and writes image data into request buffers.
#include "Board.h"

#include "Settings.h"
#include "SimGlobals.h"
#include "Synth.h"

#include <algorithm>

namespace sim {

using Clock = std::chrono::steady_clock;

namespace {

std::chrono::nanoseconds seconds(double s)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(s));
}

} // namespace

std::chrono::nanoseconds Board::eventDurationLocked() const
{
    switch (mode_) {
    case Mode::Live:
        return seconds(1.0 / Settings::instance().liveRate());
    case Mode::Loop: {
        // Each table entry takes (CLKOUT wait + 1) cycles of a 40 MHz clock.
        const double wait = dsp_.param(7);
        return std::max(seconds(loop_.entries() * (wait + 1.0) / 40e6),
                        std::chrono::nanoseconds(std::chrono::milliseconds(1)));
    }
    case Mode::Area:
        return areaDurationLocked();
    case Mode::Idle:
        break;
    }
    return std::chrono::nanoseconds(0);
}

// A frame at the frame rate, or a run at the line rate; 0 when unpaced.
std::chrono::nanoseconds Board::areaDurationLocked() const
{
    Settings &settings = Settings::instance();
    const double fps = settings.frameRate();
    // The CLKOUT wait stretches every line by that many 10 ns cycles when paced.
    const double clkout = area_.clkoutWait * 10e-9;
    if (area_.frameUnit)
        return fps > 0 ? seconds(1.0 / fps + clkout * area_.lines) : std::chrono::nanoseconds(0);
    const double lps = settings.lineRate();
    double lineTime = 0;
    if (lps > 0)
        lineTime = 1.0 / lps;
    else if (lps < 0 && fps > 0)
        lineTime = 1.0 / (fps * area_.lines);
    if (lineTime == 0)
        return std::chrono::nanoseconds(0);
    const uint32_t left = area_.lines - area_.nextLine;
    const uint32_t run = area_.lineInt != 0 ? std::min(area_.lineInt, left) : left;
    return seconds(run * (lineTime + clkout));
}

bool Board::changedLocked(Seen seen) const
{
    return stop_ || modeSerial_ != seen.mode || wakeSerial_ != seen.wake;
}

// Board lock held: a request came or the hook returned. An engine waiting for its clock looks
// at neither (it decides when the event is due), so it is not woken for them: at video rate
// that would be two wake-ups for nothing per frame.
void Board::wakeEngineForProgramLocked()
{
    if (!engineOnClock_)
        engineCv_.notify_all();
}

// Engine thread.
void Board::engineMain()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (mode_ == Mode::Idle) {
            engineCv_.wait(lock, [&] { return stop_ || mode_ != Mode::Idle; });
            continue;
        }
        const Seen seen{modeSerial_, wakeSerial_};
        const bool hasDeadline = mode_ == Mode::Area && cancel_.pending && cancel_.hasDeadline;
        const Clock::time_point deadline =
            hasDeadline ? cancel_.deadline : Clock::time_point::max();
        bool stepped = false;
        pacedEvent_ = false;
        Wake wake;
        if (StepGate::instance().on())
            wake = waitForStep(lock, seen, deadline, stepped);
        else if (const auto duration = eventDurationLocked(); duration.count() > 0)
            wake = waitForClock(lock, seen, deadline, duration);
        else
            wake = waitForProgram(lock, seen, deadline);
        if (wake == Wake::Again)
            continue;
        if (wake == Wake::TimedOut) {
            if (mode_ == Mode::Area && cancel_.pending)
                endScanLocked(SCAN_END_TIMEOUT);
            continue;
        }
        switch (mode_) {
        case Mode::Area:
            areaEvent(lock, stepped, seen.mode);
            break;
        case Mode::Live:
            liveEvent(lock, stepped);
            break;
        case Mode::Loop:
            loopEvent(stepped);
            break;
        case Mode::Idle:
            if (stepped)
                StepGate::instance().giveBack();
            break;
        }
    }
}

// Step mode: one event per permission, each after the previous hook call has returned.
Board::Wake Board::waitForStep(std::unique_lock<std::mutex> &lock, Seen seen,
                               Clock::time_point deadline, bool &stepped)
{
    if (!engineCv_.wait_until(lock, deadline,
                              [&] { return changedLocked(seen) || deliveries_.hookIdle(); }))
        return Wake::TimedOut;
    if (changedLocked(seen))
        return Wake::Again;
    const bool hasDeadline = deadline != Clock::time_point::max();
    StepGate &gate = StepGate::instance();
    lock.unlock();
    const auto taken = gate.take([&] { return stop_.load() || wakeSerial_.load() != seen.wake; },
                                 hasDeadline ? &deadline : nullptr);
    lock.lock();
    if (taken == StepGate::Take::TimedOut)
        return Wake::TimedOut;
    if (taken == StepGate::Take::Stopped)
        return Wake::Again;
    if (stop_ || modeSerial_ != seen.mode) {
        gate.giveBack();
        return Wake::Again;
    }
    stepped = true;
    return Wake::Event;
}

// On the board's own clock: the next event is due one event duration after the last.
Board::Wake Board::waitForClock(std::unique_lock<std::mutex> &lock, Seen seen,
                                Clock::time_point deadline, std::chrono::nanoseconds duration)
{
    const Clock::time_point due = nextDue_ + duration;
    engineOnClock_ = true;
    engineCv_.wait_until(lock, std::min(due, deadline), [&] { return changedLocked(seen); });
    engineOnClock_ = false;
    if (changedLocked(seen))
        return Wake::Again;
    const auto now = Clock::now();
    if (now < due)
        return now < deadline ? Wake::Again /* woken early */ : Wake::TimedOut;
    // Frames keep their rhythm; after a long stall the board does not catch up.
    nextDue_ = now - due > duration ? now : due;
    pacedEvent_ = true;
    return Wake::Event;
}

// As fast as the program takes the data: waits for room and for a request (a pending cancel
// needs no request: the frame runs out without one).
Board::Wake Board::waitForProgram(std::unique_lock<std::mutex> &lock, Seen seen,
                                  Clock::time_point deadline)
{
    const bool ready = engineCv_.wait_until(lock, deadline, [&] {
        return changedLocked(seen) || ((!requests_.empty() || cancel_.pending) &&
                                       deliveries_.hasRoom() && !deliveries_.lostRunWaiting());
    });
    if (ready && changedLocked(seen))
        return Wake::Again;
    nextDue_ = Clock::now();
    return ready ? Wake::Event : Wake::TimedOut;
}

// On the board's own clock, two or more deliveries still pending is an event-wait overrun
// (unpaced, the engine waits for the program instead).
void Board::recordBacklogLocked()
{
    const size_t backlog = deliveries_.backlog();
    if (pacedEvent_ && backlog >= 2)
        stats_.recordOverrun(static_cast<uint32_t>(backlog));
}

// Engine thread, board lock held; released while a buffer is filled (`fill(base)`), and with
// WakeDelivery::AfterUnlock while the delivery thread is woken (for an event that changes
// nothing after its delivery: the hook may run at once). Queues the delivery unless its request
// was dropped meanwhile; true when queued.
template <typename Fill>
bool Board::fillAndQueue(std::unique_lock<std::mutex> &lock, const RequestQueue::Request &r,
                         ImageDelivery d, Fill &&fill, WakeDelivery wake)
{
    uint8_t *base = r.buffer;
    int slot = -1;
    if (base == nullptr)
        base = requests_.takeSlot(slot);
    const uint64_t generation = requests_.generation();
    deliveries_.beginFill();
    lock.unlock();
    if (base != nullptr)
        fill(base);
    lock.lock();
    const bool queued = generation == requests_.generation() && base != nullptr;
    if (queued) {
        d.data = base;
        d.librarySlot = slot;
        deliveries_.pushHook(d);
    } else {
        requests_.releaseSlot(slot); // dropped by a clear, reset or close meanwhile
    }
    deliveries_.endFill();
    idleCv_.notify_all();
    if (!deliveries_.empty()) {
        if (wake == WakeDelivery::AfterUnlock) {
            // Woken while this thread holds the lock, the delivery thread would at once wait
            // for it again: one more sleep and wake-up per delivery.
            lock.unlock();
            deliveryCv_.notify_all();
            lock.lock();
        } else {
            deliveryCv_.notify_all();
        }
    }
    return queued;
}

// Engine thread, board lock held: one frame or run of an area scan.
void Board::areaEvent(std::unique_lock<std::mutex> &lock, bool stepped, uint64_t serial)
{
    const AreaScan s = area_;
    const Run run = nextRunLocked();
    recordBacklogLocked();
    const bool delivered = deliverAreaLocked(lock, s, run, stepped);
    if (stepped && !delivered)
        StepGate::instance().done();
    advanceAreaLocked(run, serial);
}

Board::Run Board::nextRunLocked() const
{
    Run run;
    run.count = area_.lines;
    run.flags = HOOK_FLAG_FRAME;
    if (!area_.frameUnit) {
        run.start = area_.nextLine;
        const uint32_t left = area_.lines - run.start;
        run.count = area_.lineInt != 0 ? std::min(area_.lineInt, left) : left;
        run.flags = HOOK_FLAG_LINES | (run.start + run.count == area_.lines ? HOOK_FLAG_FRAME : 0);
    }
    run.frameEnds = (run.flags & HOOK_FLAG_FRAME) != 0;
    return run;
}

// Delivers, loses or reports the run; true when a hook call was queued for it.
bool Board::deliverAreaLocked(std::unique_lock<std::mutex> &lock, const AreaScan &s, const Run &run,
                              bool stepped)
{
    if (!deliveries_.hasRoom() || (requests_.frontNeedsSlot() && !requests_.slotFree())) {
        // The hook is still busy with earlier deliveries: this image is lost.
        stats_.countHookBusy();
        const uint32_t kind = requests_.empty() || requests_.front().buffer == nullptr
                                  ? HOOK_BUFFER_LIBRARY
                                  : HOOK_BUFFER_PROGRAM;
        if (s.frameUnit || !deliveries_.pushLostRun(LostRun{run.start, kind, stepped}))
            return false;
        deliveryCv_.notify_all();
        return true;
    }
    if (requests_.empty()) {
        stats_.countNoRequest();
        return false;
    }
    const RequestQueue::Request r = requests_.pop();
    const bool library = r.buffer == nullptr;
    const bool pitched = library || s.frameUnit;
    const size_t lineBytes = s.pixels * s.bytesPerPixel;
    // Bytes from the delivered address to the end of the last line written.
    const size_t needed = pitched ? size_t{run.start + run.count - 1} * BOARD_LINE_PITCH + lineBytes
                                  : size_t{run.count} * lineBytes;
    const bool fits = pitched ? lineBytes <= BOARD_LINE_PITCH &&
                                    (library ? run.start + run.count <= RequestQueue::kLibraryLines
                                             : needed <= r.size)
                              : needed <= r.size;
    const uint32_t kind = library ? HOOK_BUFFER_LIBRARY : HOOK_BUFFER_PROGRAM;
    if (!fits) {
        deliveries_.pushHook(SizeReport{run.start, run.count, kind, r.buffer, stepped});
        deliveryCv_.notify_all();
        return true;
    }
    const ImageDelivery d{run.flags, run.start, run.count, kind, nullptr, -1, stepped};
    PictureFaults faults;
    faults.still = globals().stillPicture;
    faults.stale = globals().staleFrames;
    faults.shortFrame = globals().shortFrames;
    faults.deadColumn = globals().deadColumn;
    return fillAndQueue(lock, r, d, [&](uint8_t *base) {
        if (pitched)
            synthAreaRun(base + size_t{run.start} * BOARD_LINE_PITCH, BOARD_LINE_PITCH, s.pixels,
                         s.lines, s.bytesPerPixel, run.start, run.count, s.frame, faults);
        else
            synthAreaRun(base, lineBytes, s.pixels, s.lines, s.bytesPerPixel, run.start,
                         run.count, s.frame, faults);
    });
}

// The scan moves on past the run: the frame count, the start count, a pending cancel.
void Board::advanceAreaLocked(const Run &run, uint64_t serial)
{
    // The scan may have been stopped while the lock was released.
    if (mode_ != Mode::Area || stop_)
        return;
    if (run.frameEnds)
        regs_.countFrame();
    // Or restarted (a 0x15 while it ran): the new scan begins at its own first line and frame.
    if (modeSerial_ != serial)
        return;
    if (run.frameEnds) {
        ++area_.frame;
        area_.nextLine = 0;
    } else {
        area_.nextLine = run.start + run.count;
    }
    if (cancel_.pending && !cancel_.stalled && (cancel_.kind == CANCEL_LINE || run.frameEnds)) {
        endScanLocked(cancel_.kind == CANCEL_LINE ? SCAN_END_LINE_CANCEL : SCAN_END_FRAME_CANCEL);
        return;
    }
    if (run.frameEnds && area_.startCount != 0 && area_.frame >= area_.startCount)
        endScanLocked(SCAN_END_NORMAL);
}

// Engine thread, board lock held: one live video frame.
void Board::liveEvent(std::unique_lock<std::mutex> &lock, bool stepped)
{
    const uint32_t frame = liveFrame_++;
    regs_.countFrame();
    recordBacklogLocked();
    bool delivered = false;
    if (requests_.empty()) {
        stats_.countNoRequest();
    } else if (!deliveries_.hasRoom() || (requests_.frontNeedsSlot() && !requests_.slotFree())) {
        stats_.countHookBusy();
    } else {
        const RequestQueue::Request r = requests_.pop();
        const uint32_t kind = r.buffer == nullptr ? HOOK_BUFFER_LIBRARY : HOOK_BUFFER_PROGRAM;
        if (r.buffer != nullptr && r.size < kLiveBytes) {
            deliveries_.pushHook(SizeReport{0, kLiveHeight, kind, r.buffer, stepped});
            deliveryCv_.notify_all();
            delivered = true;
        } else {
            const ImageDelivery d{HOOK_FLAG_FRAME, 0, kLiveHeight, kind, nullptr, -1, stepped};
            delivered =
                fillAndQueue(lock, r, d, [&](uint8_t *base) { synthLiveFrame(base, frame); },
                             WakeDelivery::AfterUnlock);
        }
    }
    if (stepped && !delivered)
        StepGate::instance().done();
}

// Engine thread, board lock held: the off-board loop has consumed its present table.
void Board::loopEvent(bool stepped)
{
    const ScanDataLoop::Consumed consumed = loop_.consume();
    events_.push(EventQueue::Event{EventQueue::Event::Kind::BufferFree,
                                   static_cast<int32_t>(consumed.bank)});
    if (consumed.dry) {
        // Ran dry: the loop ends and the next table is taken at once.
        setModeLocked(Mode::Idle);
        if (globals().dspAnnouncesCommands)
            raiseDspLocked(kDspLoopDone | DSP_CMD_SCANDATA_LOOP);
    }
    if (stepped)
        StepGate::instance().done();
}

} // namespace sim
