// The recorder's copies of delivered lines, in chunks that a copy thread and any thread that has
// to wait for a copy share. A copy either ends before the program's hook is called, or runs
// alongside it (the library's own buffer; see Recorder::overlapCopies).
//
// Rules that keep copies made alongside the program safe (docs/trace.md, "Staying off the
// callback thread's back"):
// - the library writes into a buffer again only after the program requests it again: the
//   ImageRequest wrapper waits for pending copies out of that buffer first (waitRange);
// - the program frees a buffer only after a clear (ImageRequestClear, BoardReset, BoardClose)
//   and, at the earliest, after a hook call that began after the clear has returned: the clear
//   wrappers bump the epoch and wait for every pending copy (waitAll), and each hook call, on its
//   way out, waits for copies begun in an earlier epoch (waitStale);
// - a copy given up for the hook's time budget (finishBy) has no chunk in progress once it is
//   given up, and is no longer pending: the waits above need not wait for it.
#ifndef PELORA_TRACE_COPIER_H
#define PELORA_TRACE_COPIER_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace rec {

struct CopyJob {
    const uint8_t *src = nullptr; // first byte of the first line
    size_t lineBytes = 0;         // bytes per line kept
    size_t pitch = 0;             // distance between lines in the source
    size_t lines = 0;
    uintptr_t lo = 0, hi = 0; // the source range, for waits
    uint64_t epoch = 0;       // clear epoch the delivery belongs to
    std::unique_ptr<uint8_t[]> buffer; // lines back to back, lineBytes each
    size_t capacity = 0;
    bool done = false; // guarded by Copier::mutex_
    // The copy goes in chunks of lines, taken by the copy thread and by any thread that has to
    // wait for the copy (it helps instead of waiting for the copy thread to be scheduled).
    std::atomic<size_t> nextChunk{0};
    std::atomic<size_t> chunksDone{0};

    size_t bytes() const { return lineBytes * lines; }
    size_t chunks() const;
};

class Copier {
public:
    // `useThread` false: no copy thread; the copies are made by whoever has to wait for them
    // (the hook call on its way out for the library's buffer, a new request, the writer).
    Copier(size_t budgetBytes, bool useThread);
    ~Copier(); // finishes the queued copies, then joins

    // Callback thread: a copy to make; null when the bytes in flight would pass their bound (the
    // caller records the lines as not kept). `background`: the copy thread starts on it at once;
    // otherwise it is made by whoever waits for it.
    std::shared_ptr<CopyJob> submit(const uint8_t *src, size_t lineBytes, size_t pitch,
                                    size_t lines, uint64_t epoch, bool background);
    // Any thread: returns when no pending copy reads from [lo, hi).
    void waitRange(uintptr_t lo, uintptr_t hi);
    void waitAll();
    // Any thread: returns when no copy of an epoch before `epoch` is pending.
    void waitStale(uint64_t epoch);
    // Writer thread and callback thread: helps with the job's copy and waits until it is done.
    void waitDone(CopyJob &job);
    // Callback thread: copies what is left of the job (the copy thread helping) as long as the
    // next chunk can end by `deadlineNs` (clockNs()). True: the copy is complete. False: it was
    // abandoned -- no chunk of it is in progress any more, the job is done, and its bytes are
    // incomplete (the caller records them as not kept).
    bool finishBy(CopyJob &job, uint64_t deadlineNs);
    // About how long copying `bytes` takes now, from the chunks copied lately (any thread).
    uint64_t estimateNs(size_t bytes) const;
    static uint64_t clockNs(); // steady clock, ns
    bool threaded() const { return useThread_; } // a copy thread copies alongside the program
    void release(CopyJob &job);
    // Program's thread, before deliveries of about `bytes` each are due: at least `count` idle
    // buffers that large wait in the pool, their pages touched, so that the callback thread's
    // first copies do not pay for fresh memory.
    void warm(size_t bytes, size_t count);

    std::atomic<uint64_t> epoch{0}; // bumped by every clear (see above)
    // Chunks copied by the copy thread and by threads that waited for a copy (figures).
    std::atomic<uint64_t> chunksByThread{0}, chunksByWaiters{0};

private:
    void run(); // the copy thread
    void idle(std::unique_lock<std::mutex> &lock); // the copy thread, waiting for work
    // Copies chunks of `job` not yet taken; true when this call finished the last one.
    bool copyChunks(CopyJob &job, bool copyThread);
    // Copies chunk `c` of `job`; true when it was the last one to end.
    bool copyChunk(CopyJob &job, size_t c, bool copyThread);
    void finishedRaw(CopyJob &job); // mutex_ held: finished() for a job known by reference
    void finished(const std::shared_ptr<CopyJob> &job); // mutex_ held
    // Helps with and waits for every pending copy `match` selects.
    template <typename Match> void helpAndWait(Match match);

    const size_t budget_;
    const bool useThread_;
    // Guards queue_, pending_, pool_, inFlight_, poolBytes_, stop_, sleeping_, lastQueuedNs_,
    // periodNs_ and every job's done.
    std::mutex mutex_;
    std::condition_variable work_; // a job was queued, or stop
    std::condition_variable done_; // a job finished
    std::deque<std::shared_ptr<CopyJob>> queue_;   // not yet taken by the copy thread
    std::deque<std::shared_ptr<CopyJob>> pending_; // not yet done (started or not), oldest first
    std::atomic<size_t> pendingCount_{0};          // pending_.size(), read without the lock
    std::vector<std::pair<std::unique_ptr<uint8_t[]>, size_t>> pool_; // reusable buffers
    size_t poolBytes_ = 0;
    size_t inFlight_ = 0; // bytes of buffers held by jobs not yet released
    bool stop_ = false;
    bool sleeping_ = false;      // the copy thread waits on work_ (else it runs or polls)
    uint64_t lastQueuedNs_ = 0;  // when the last background job was queued
    uint64_t periodNs_ = 0;      // average time between background jobs
    std::atomic<bool> queued_{false}; // queue_ not empty, polled without the lock
    // Copy speed of the latest chunks, picoseconds per byte (a running average; written by
    // every copying thread without a lock, a lost update only delays it).
    std::atomic<uint64_t> psPerByte_{200};
    std::thread thread_;
};

} // namespace rec

#endif
