// The recording board library's state: the real library's functions, the clock and thread
// numbers, what the recorder knows of the board (geometry, pixel size, pending requests) to tell
// how many bytes a delivery wrote, and the writer thread that compresses and writes the trace.
#ifndef PELORA_TRACE_RECORDER_H
#define PELORA_TRACE_RECORDER_H

#include "Copier.h"
#include "trace/format/TraceFile.h"

#include "pel2ctl.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace rec {

// The real library's entry points.
struct RealLibrary {
    decltype(&::BoardOpen) BoardOpen = nullptr;
    decltype(&::BoardClose) BoardClose = nullptr;
    decltype(&::DspDownload) DspDownload = nullptr;
    decltype(&::IoReadLong) IoReadLong = nullptr;
    decltype(&::IoWriteLong) IoWriteLong = nullptr;
    decltype(&::StreamBufferSet) StreamBufferSet = nullptr;
    decltype(&::ScanDataSet) ScanDataSet = nullptr;
    decltype(&::ScanPrepare) ScanPrepare = nullptr;
    decltype(&::ImageRequest) ImageRequest = nullptr;
    decltype(&::ErrorInfoGet) ErrorInfoGet = nullptr;
    decltype(&::ImageRequestClear) ImageRequestClear = nullptr;
    decltype(&::ScanCancel) ScanCancel = nullptr;
    decltype(&::BoardReset) BoardReset = nullptr;
    decltype(&::ExclusiveAcquire) ExclusiveAcquire = nullptr;
    decltype(&::ExclusiveRelease) ExclusiveRelease = nullptr;
    decltype(&::FrameMemoryRead) FrameMemoryRead = nullptr;
    decltype(&::FrameMemoryWrite) FrameMemoryWrite = nullptr;
    decltype(&::IoReadShort) IoReadShort = nullptr;
    decltype(&::IoWriteShort) IoWriteShort = nullptr;
    decltype(&::OperationInfoGet) OperationInfoGet = nullptr;
    std::string path; // the file they come from
};

// Where a hook call's bytes lie in the buffer it names.
struct Extent {
    size_t offset = 0;    // from the named address to the first line
    size_t lineBytes = 0; // bytes of each line
    size_t pitch = 0;     // from one line to the next
    size_t lines = 0;
    size_t span() const { return lines ? (lines - 1) * pitch + lineBytes : 0; }
};

// One record on its way to the writer thread.
struct Event {
    trace::Record record;            // without its bytes
    std::shared_ptr<CopyJob> copy;   // hook lines being copied (packed), or null
    std::vector<uint8_t> bytes;      // data copied on the caller's thread
};

class Recorder {
public:
    // The recorder of this process; it resolves the real library and opens the trace at the
    // first call. Any thread.
    static Recorder &get();
    const RealLibrary &real() const { return real_; }
    bool recording() const { return recording_.load(std::memory_order_acquire); }

    uint64_t now() const;       // ns since the recording started
    // Callback thread: inside a hook call of the program, and the time calls the hook made
    // spent in the recorder (waits for copies), which counts as the recorder's overhead.
    static thread_local bool inHook;
    static thread_local uint64_t nestedNs;
    static uint32_t threadId(); // 1, 2, ... in the order threads first called or were called

    // Any thread: hands a finished record to the writer thread. `bytes` (moved) are the
    // record's data when it has some copied already.
    void submit(trace::Record &&record, std::vector<uint8_t> &&bytes = {});
    void submitHook(trace::Record &&record, std::shared_ptr<CopyJob> copy);
    // Bytes copied on a caller's thread (frame memory, histories, DSP files) have a budget of
    // their own, as large as the hook copies'; off the callback thread the call waits up to 5 s
    // for room. False: no room (the record keeps dataKept = false).
    bool reserve(size_t bytes);

    Copier &copier() { return *copier_; }
    // Whether a delivery's lines are copied while the program's hook runs (less time on the
    // callback thread) rather than before it: the library's own buffer by default (the program
    // reads it, it never writes into it); a program buffer only with PELORA_TRACE_OVERLAP=all,
    // since a program may write into its own buffer in its hook (the checker's line canaries)
    // and the bytes would then be recorded as the program left them. "none": no overlap.
    bool overlapCopies(uint32_t bufferKind) const
    {
        return bufferKind == HOOK_BUFFER_LIBRARY ? overlapLibrary_ : overlapProgram_;
    }

    // What the recorder knows of the board, from the calls it forwarded.
    struct Shadow {
        uint32_t geometry = 0; // REG_MAC_H_UDTCSR: lines << 16 | pixels
        uint32_t getMode = 0;  // REG_DIO_IMG_GETMODE
        uint32_t bytesPerPixel = 0;
        bool frameUnit = false;
    };
    void noteRegisterWrite(uint32_t offset, uint32_t width, uint32_t value);
    void notePrepare(uint32_t unitFlags, uint32_t bytesPerPixel);
    // Requests in the order the library serves them.
    uint64_t pushRequest(void *buffer, uint32_t size); // before the call; an id
    void dropRequest(uint64_t id);                     // the call failed
    void clearRequests();
    // The bytes a frame delivery of the board as set up now writes (0: not known).
    size_t frameBytes();
    // Callback thread: the extent of a hook call's bytes; false when it wrote none.
    bool hookExtent(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind,
                    const void *data, Extent *out);

    // Share of the program hook's time the recorder may take on a hook call when deliveries
    // come back to back (PELORA_TRACE_HOOK_BUDGET, percent; 0: no limit).
    double hookBudgetPercent() const { return hookBudgetPercent_; }
    // Summary figures: a delivery, whether its pixels were kept, their bytes, and whether they
    // were given up for the hook's time budget (else, when not kept, for a full buffer).
    void countHook(bool kept, uint64_t bytes, bool overBudget);
    // Callback thread: time a hook call spent in the recorder rather than in the program.
    void countOverhead(uint64_t ns);
    uint64_t overheadQuantile(int percent) const; // ns, to 0.1 us (1 us above 100 us)
    void shutdown(); // process exit: drains the queue, writes the summary, finishes the file
    void forgetAfterFork(); // in a child: no threads of ours, record nothing

private:
    Recorder();
    void start();      // resolves the library, claims the trace file
    void writerMain(); // the writer thread

    RealLibrary real_;
    std::atomic<bool> recording_{false};
    uint64_t startNs_ = 0; // steady clock at start
    std::unique_ptr<Copier> copier_;
    bool overlapLibrary_ = true, overlapProgram_ = false;
    double hookBudgetPercent_ = 5;
    std::unique_ptr<trace::Writer> writer_; // used by the writer thread only, after start()
    std::thread writerThread_;

    std::mutex queueMutex_;        // guards queue_, stop_, reservedBytes_
    std::condition_variable queueCv_; // stop (the writer otherwise looks every 2 ms)
    std::condition_variable roomCv_;  // reservedBytes_ went down, or stop
    std::deque<Event> queue_;
    bool stop_ = false;
    size_t reservedBytes_ = 0; // caller-thread copies not yet written
    size_t budget_ = 0;

    std::mutex shadowMutex_; // guards shadow_, requests_, nextRequestId_
    Shadow shadow_;
    struct Request {
        uint64_t id;
        uintptr_t buffer;
        uint32_t size;
    };
    std::deque<Request> requests_;
    uint64_t nextRequestId_ = 1;

    std::atomic<uint64_t> deliveries_{0}, deliveriesNotKept_{0}, bytesNotKept_{0};
    std::atomic<uint64_t> otherNotKept_{0};
    std::atomic<uint64_t> deliveriesOverBudget_{0}, bytesOverBudget_{0}; // part of the not kept
    std::atomic<uint64_t> overheadCount_{0}, overheadSumNs_{0}, overheadMaxNs_{0};
    // The recorder's time on a hook call: 100 ns buckets up to 100 us (a full-rate hook's 5 %
    // is a few microseconds), then 1 us buckets up to 2 ms; the last one: everything above.
    static constexpr int kFineBuckets = 1000, kBuckets = kFineBuckets + 1900;
    static int bucketOf(uint64_t ns);
    static uint64_t bucketEnd(int bucket); // ns: the upper end of the bucket
    std::atomic<uint64_t> overheadBuckets_[kBuckets] = {};
};

} // namespace rec

#endif
