#include "Copier.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace rec {

namespace {
constexpr size_t kPoolKeepBytes = size_t(64) << 20; // idle buffers kept for reuse
constexpr size_t kChunkBytes = 16 * 1024;           // a chunk: lines worth about this much
constexpr uint64_t kMaxPacedNs = 200'000'000;       // slower paces: no polling
constexpr uint64_t kPollEarlyNs = 1'000'000;        // polling starts this long before a job is due
constexpr uint64_t kPollLateNs = 2'000'000;         // and ends this long after

uint64_t steadyNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}
}

size_t CopyJob::chunks() const
{
    const size_t perChunk = std::max<size_t>(1, kChunkBytes / std::max<size_t>(1, lineBytes));
    return (lines + perChunk - 1) / perChunk;
}

bool Copier::copyChunk(CopyJob &job, size_t c, bool copyThread)
{
    const size_t perChunk = std::max<size_t>(1, kChunkBytes / std::max<size_t>(1, job.lineBytes));
    const size_t first = c * perChunk, end = std::min(job.lines, first + perChunk);
    uint8_t *out = job.buffer.get() + first * job.lineBytes;
    const uint64_t t0 = steadyNs();
    if (job.pitch == job.lineBytes) {
        std::memcpy(out, job.src + first * job.pitch, (end - first) * job.lineBytes);
    } else {
        for (size_t i = first; i < end; ++i, out += job.lineBytes)
            std::memcpy(out, job.src + i * job.pitch, job.lineBytes);
    }
    const size_t bytes = (end - first) * job.lineBytes;
    if (bytes >= 4096) {
        // A chunk whose thread lost the processor meanwhile counts as a slow one, not as a stall.
        const uint64_t ps = std::min<uint64_t>((steadyNs() - t0) * 1000 / bytes, 2000);
        psPerByte_.store((psPerByte_.load(std::memory_order_relaxed) * 7 + ps) / 8,
                         std::memory_order_relaxed);
    }
    (copyThread ? chunksByThread : chunksByWaiters).fetch_add(1, std::memory_order_relaxed);
    return job.chunksDone.fetch_add(1, std::memory_order_acq_rel) + 1 == job.chunks();
}

bool Copier::copyChunks(CopyJob &job, bool copyThread)
{
    const size_t total = job.chunks();
    bool last = false;
    for (;;) {
        const size_t c = job.nextChunk.fetch_add(1, std::memory_order_acq_rel);
        if (c >= total)
            return last;
        last = copyChunk(job, c, copyThread);
    }
}

uint64_t Copier::clockNs() { return steadyNs(); }

uint64_t Copier::estimateNs(size_t bytes) const
{
    return uint64_t(bytes) * psPerByte_.load(std::memory_order_relaxed) / 1000;
}

bool Copier::finishBy(CopyJob &job, uint64_t deadlineNs)
{
    const size_t total = job.chunks();
    const size_t perChunk = std::max<size_t>(1, kChunkBytes / std::max<size_t>(1, job.lineBytes));
    const uint64_t chunkNs = estimateNs(std::min(job.lines, perChunk) * job.lineBytes);
    while (steadyNs() + chunkNs <= deadlineNs) {
        const size_t c = job.nextChunk.fetch_add(1, std::memory_order_acq_rel);
        if (c >= total)
            break; // every chunk taken: the ones in progress end soon
        if (copyChunk(job, c, false)) {
            std::lock_guard lock(mutex_);
            finishedRaw(job);
            return true;
        }
    }
    // No more chunks may start. The ones taken before are waited for (a chunk each at most);
    // when every chunk had been taken the copy completes after all.
    const size_t taken = std::min(total, job.nextChunk.exchange(total + (size_t(1) << 40),
                                                                std::memory_order_acq_rel));
    // A chunk is a few microseconds; a thread that lost the processor in the middle of one gets
    // it back sooner when this one gives its own up.
    for (unsigned spins = 0; job.chunksDone.load(std::memory_order_acquire) < taken; ++spins) {
        if (spins < 4096)
            cpuRelax();
        else
            std::this_thread::yield();
    }
    std::lock_guard lock(mutex_);
    finishedRaw(job); // (the thread of the last chunk may be about to say so too)
    return taken == total;
}

void Copier::finished(const std::shared_ptr<CopyJob> &job)
{
    if (job->done)
        return;
    job->done = true;
    pending_.erase(std::find(pending_.begin(), pending_.end(), job));
    pendingCount_.store(pending_.size(), std::memory_order_release);
    done_.notify_all();
}

Copier::Copier(size_t budgetBytes, bool useThread)
    : budget_(budgetBytes), useThread_(useThread), thread_([this] { run(); })
{
}

Copier::~Copier()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    thread_.join();
}

std::shared_ptr<CopyJob> Copier::submit(const uint8_t *src, size_t lineBytes, size_t pitch,
                                        size_t lines, uint64_t jobEpoch, bool background)
{
    const size_t need = lineBytes * lines;
    auto job = std::make_shared<CopyJob>();
    job->src = src;
    job->lineBytes = lineBytes;
    job->pitch = pitch;
    job->lines = lines;
    job->lo = reinterpret_cast<uintptr_t>(src);
    job->hi = job->lo + (lines ? (lines - 1) * pitch + lineBytes : 0);
    job->epoch = jobEpoch;
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return nullptr;
        // A buffer from the pool when one is large enough: no allocation on this thread.
        auto it = std::find_if(pool_.begin(), pool_.end(),
                               [need](const auto &b) { return b.second >= need; });
        const size_t cap = it != pool_.end() ? it->second : need;
        if (inFlight_ + cap > budget_)
            return nullptr;
        if (it != pool_.end()) {
            job->buffer = std::move(it->first);
            poolBytes_ -= it->second;
            pool_.erase(it);
        } else {
            // Not value-initialised: the pages are first touched by the copy thread.
            job->buffer.reset(new (std::nothrow) uint8_t[need ? need : 1]);
            if (!job->buffer)
                return nullptr;
        }
        job->capacity = cap;
        inFlight_ += cap;
        background = background && useThread_;
        if (background) {
            queue_.push_back(job);
            queued_.store(true, std::memory_order_release);
            const uint64_t now = steadyNs();
            if (lastQueuedNs_ != 0) {
                const uint64_t interval = now - lastQueuedNs_;
                periodNs_ = periodNs_ == 0 ? interval : (periodNs_ * 7 + interval) / 8;
            }
            lastQueuedNs_ = now;
            background = sleeping_; // a spinning copy thread needs no wake-up call
        }
        pending_.push_back(job);
        pendingCount_.store(pending_.size(), std::memory_order_release);
    }
    if (background)
        work_.notify_one();
    return job;
}

// Copy thread, mutex_ held, queue empty: sleeps until a job comes. When deliveries come at a
// steady pace, it wakes shortly before the next one is due and polls for it, so that the copy
// starts the moment the hook hands it over instead of a wake-up later.
void Copier::idle(std::unique_lock<std::mutex> &lock)
{
    auto ready = [this] { return stop_ || !queue_.empty(); };
    const uint64_t period = periodNs_, due = lastQueuedNs_ + periodNs_;
    if (period > 0 && period <= kMaxPacedNs) {
        const uint64_t now = steadyNs();
        sleeping_ = true;
        if (now + kPollEarlyNs < due)
            work_.wait_for(lock, std::chrono::nanoseconds(due - kPollEarlyNs - now), ready);
        sleeping_ = false;
        if (ready())
            return;
        lock.unlock();
        const uint64_t until = std::max(due, steadyNs()) + kPollLateNs;
        while (!queued_.load(std::memory_order_acquire) && steadyNs() < until)
            cpuRelax();
        lock.lock();
        if (ready())
            return;
    }
    sleeping_ = true;
    work_.wait(lock, ready);
    sleeping_ = false;
}

// The copy thread.
void Copier::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty() && !stop_)
            idle(lock);
        if (queue_.empty())
            return; // stop, nothing left
        std::shared_ptr<CopyJob> job = std::move(queue_.front());
        queue_.pop_front();
        queued_.store(!queue_.empty(), std::memory_order_release);
        lock.unlock();
        const bool last = copyChunks(*job, true) || job->chunks() == 0;
        lock.lock();
        if (last)
            finished(job);
    }
}

template <typename Match> void Copier::helpAndWait(Match match)
{
    if (pendingCount_.load(std::memory_order_acquire) == 0)
        return;
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<CopyJob> job;
        for (const auto &j : pending_)
            if (match(*j)) {
                job = j;
                break;
            }
        if (!job)
            return;
        // Chunks nobody took yet are copied here; then the ones in progress are waited for.
        lock.unlock();
        const bool last = copyChunks(*job, false);
        lock.lock();
        if (last)
            finished(job);
        done_.wait(lock, [&] { return job->done; });
    }
}

void Copier::waitRange(uintptr_t lo, uintptr_t hi)
{
    helpAndWait([&](const CopyJob &j) { return j.lo < hi && lo < j.hi; });
}

void Copier::waitAll()
{
    helpAndWait([](const CopyJob &) { return true; });
}

void Copier::waitStale(uint64_t current)
{
    helpAndWait([&](const CopyJob &j) { return j.epoch < current; });
}

void Copier::finishedRaw(CopyJob &job)
{
    for (const auto &j : pending_)
        if (j.get() == &job) {
            finished(j);
            return;
        }
}

void Copier::waitDone(CopyJob &job)
{
    if (job.chunks() > 0 && copyChunks(job, false)) {
        std::lock_guard lock(mutex_);
        finishedRaw(job);
    }
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return job.done; });
}

void Copier::warm(size_t bytes, size_t count)
{
    if (bytes == 0 || count == 0 || bytes > kPoolKeepBytes / count)
        return;
    size_t have = 0;
    {
        std::lock_guard lock(mutex_);
        for (const auto &b : pool_)
            have += b.second >= bytes ? 1 : 0;
    }
    for (; have < count; ++have) {
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
        if (!buffer)
            return;
        std::memset(buffer.get(), 0, bytes); // the pages are taken here, not on a hook call
        std::lock_guard lock(mutex_);
        if (poolBytes_ + bytes > kPoolKeepBytes)
            return;
        poolBytes_ += bytes;
        pool_.emplace_back(std::move(buffer), bytes);
    }
}

void Copier::release(CopyJob &job)
{
    std::lock_guard lock(mutex_);
    if (!job.buffer)
        return;
    inFlight_ -= job.capacity;
    if (poolBytes_ + job.capacity <= kPoolKeepBytes) {
        poolBytes_ += job.capacity;
        pool_.emplace_back(std::move(job.buffer), job.capacity);
    }
    job.buffer.reset();
}

} // namespace rec
