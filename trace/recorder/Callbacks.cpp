// The recorder's stand-ins for the four callbacks the program registers with BoardOpen: each one
// calls the program's own and records the call. Run on the library's callback threads.
#include "Callbacks.h"
#include "HookPace.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace rec {
namespace {

constexpr int kSlots = 4; // sets of callbacks the recorder can wrap at the same time

struct Slot {
    std::atomic<ImageTransferHookFn> hook{nullptr};
    std::atomic<BoardEventFn> events[3] = {nullptr, nullptr, nullptr};
    bool used = false; // guarded by g_slotMutex
};
std::array<Slot, kSlots> g_slots;
std::mutex g_slotMutex; // guards Slot::used and the choice of a slot

thread_local HookPace t_pace; // the callback thread's own

// Library callback thread: one hook call, its lines copied on the copy thread meanwhile.
void onHook(ImageTransferHookFn program, uint32_t flags, uint32_t startLine, uint32_t lineCount,
            uint32_t bufferKind, void *data)
{
    Recorder &r = Recorder::get();
    if (!r.recording()) {
        program(flags, startLine, lineCount, bufferKind, data);
        return;
    }
    const uint64_t tIn = r.now(), clockIn = Copier::clockNs();
    HookPace &pace = t_pace;
    const uint64_t budget = pace.budgetNs(tIn, r.hookBudgetPercent());
    Copier &copier = r.copier();
    const uint64_t epoch = copier.epoch.load(std::memory_order_acquire);
    Extent e;
    const bool lines = r.hookExtent(flags, startLine, lineCount, bufferKind, data, &e);
    const bool overlap = r.overlapCopies(bufferKind);
    std::shared_ptr<CopyJob> job;
    bool overBudget = false;
    // A copy given up for the budget: its bytes are not kept, none of them is recorded.
    auto giveUp = [&] {
        copier.release(*job);
        job.reset();
        overBudget = true;
    };
    if (lines) {
        // The program may write into the lines it was handed (the checker puts a canary at the
        // end of each line it has read, to tell later which lines the board did not write): the
        // bytes the board delivered are copied before the program sees them, this thread and the
        // copy thread sharing the chunks, unless the copy overlaps the program's hook (see
        // Recorder::overlapCopies). Within a budget, a copy that cannot end in time is not begun:
        // it would only take memory bandwidth from the program and be given up. A copy alongside
        // the hook has the hook's time besides (as long as the hook took lately).
        const uint64_t room = budget + (overlap && copier.threaded() ? pace.hookMedian() : 0);
        if (budget > 0 && copier.estimateNs(e.lineBytes * e.lines) > room)
            overBudget = true;
        else
            job = copier.submit(static_cast<const uint8_t *>(data) + e.offset, e.lineBytes,
                                e.pitch, e.lines, epoch, true);
        if (job && !overlap) {
            if (budget == 0)
                copier.waitDone(*job);
            else if (!copier.finishBy(*job, clockIn + budget))
                giveUp();
        }
    }
    Recorder::nestedNs = 0;
    Recorder::inHook = true;
    const uint64_t t0 = r.now();
    program(flags, startLine, lineCount, bufferKind, data);
    const uint64_t t1 = r.now();
    Recorder::inHook = false;
    // The library's own buffer is the library's again once this call returns: what the copy
    // thread has not done yet is finished here, or, within a budget, given up in time.
    if (job && bufferKind == HOOK_BUFFER_LIBRARY) {
        if (budget == 0)
            copier.waitDone(*job);
        else if (!copier.finishBy(*job, clockIn + budget + (t1 - t0)))
            giveUp();
    }
    // A clear since an earlier delivery began: the program may free that buffer as soon as this
    // call returns, so no copy out of it may still run.
    copier.waitStale(copier.epoch.load(std::memory_order_acquire));

    trace::Record rec;
    rec.kind = trace::Kind::Callback;
    rec.op = trace::kImageTransferHook;
    rec.thread = Recorder::threadId();
    rec.timeNs = tIn; // when the library called
    rec.durationNs = t1 - t0; // inside the program
    rec.args = {flags, startLine, lineCount, bufferKind, reinterpret_cast<uintptr_t>(data)};
    if (lines) {
        rec.dataKind = trace::DataKind::Lines;
        rec.dataKept = job != nullptr;
        rec.dataSize = e.span();
        rec.dataOffset = e.offset;
        if (e.pitch != e.lineBytes) { // the lines are stored without the bytes between them
            rec.lineBytes = e.lineBytes;
            rec.linePitch = e.pitch;
        }
        r.countHook(rec.dataKept, e.lineBytes * e.lines, overBudget);
    }
    r.submitHook(std::move(rec), std::move(job));
    const uint64_t out = r.now();
    pace.add(tIn, t1 - t0, out);
    r.countOverhead(out - tIn - (t1 - t0) + Recorder::nestedNs);
}

void onEvent(int op, BoardEventFn program, int32_t value)
{
    Recorder &r = Recorder::get();
    if (!r.recording()) {
        program(value);
        return;
    }
    const uint64_t t0 = r.now();
    program(value);
    trace::Record rec;
    rec.kind = trace::Kind::Callback;
    rec.op = op;
    rec.thread = Recorder::threadId();
    rec.timeNs = t0;
    rec.durationNs = r.now() - t0;
    rec.args = {uint64_t(uint32_t(value))};
    r.submit(std::move(rec));
}

template <int N> void hookAt(uint32_t f, uint32_t s, uint32_t c, uint32_t k, void *d)
{
    onHook(g_slots[N].hook.load(std::memory_order_acquire), f, s, c, k, d);
}
template <int N, int E> void eventAt(int32_t value)
{
    onEvent(trace::kScanBufferFree + E, g_slots[N].events[E].load(std::memory_order_acquire),
            value);
}

template <int N> Wrapped wrappedAt()
{
    return {&hookAt<N>, &eventAt<N, 0>, &eventAt<N, 1>, &eventAt<N, 2>};
}
const std::array<Wrapped, kSlots> kWrapped = {wrappedAt<0>(), wrappedAt<1>(), wrappedAt<2>(),
                                              wrappedAt<3>()};

} // namespace

Wrapped wrapCallbacks(ImageTransferHookFn hook, BoardEventFn scanBufferFree,
                      BoardEventFn dspInterrupt, BoardEventFn scanEnd)
{
    const BoardEventFn events[3] = {scanBufferFree, dspInterrupt, scanEnd};
    std::lock_guard lock(g_slotMutex);
    int chosen = -1;
    for (int i = 0; i < kSlots && chosen < 0; ++i) {
        Slot &s = g_slots[size_t(i)];
        if (s.used && s.hook.load() == hook && s.events[0].load() == events[0] &&
            s.events[1].load() == events[1] && s.events[2].load() == events[2])
            chosen = i; // the same program callbacks again
    }
    for (int i = 0; i < kSlots && chosen < 0; ++i)
        if (!g_slots[size_t(i)].used)
            chosen = i;
    if (chosen < 0) // more sets than slots: these calls go unrecorded
        return {hook, scanBufferFree, dspInterrupt, scanEnd};
    Slot &s = g_slots[size_t(chosen)];
    s.used = true;
    s.hook.store(hook, std::memory_order_release);
    for (int e = 0; e < 3; ++e)
        s.events[e].store(events[e], std::memory_order_release);
    const Wrapped &w = kWrapped[size_t(chosen)];
    return {hook ? w.hook : nullptr, scanBufferFree ? w.scanBufferFree : nullptr,
            dspInterrupt ? w.dspInterrupt : nullptr, scanEnd ? w.scanEnd : nullptr};
}

} // namespace rec
