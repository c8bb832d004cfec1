#include "Recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
#include <unistd.h>

namespace rec {
namespace {

constexpr uint64_t kFlushNs = 100'000'000;          // a block at least every 100 ms

uint64_t steadyNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

const char *envOr(const char *name, const char *fallback)
{
    const char *v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : fallback;
}

// A number from the environment within [lo, hi]; anything else is said on stderr and `fallback`
// is used, so that a mistyped setting is not taken silently for another one (a buffer of 0 MB
// would keep no pixels at all).
double envNumber(const char *name, double fallback, double lo, double hi)
{
    const char *v = std::getenv(name);
    if (v == nullptr || *v == '\0')
        return fallback;
    char *end = nullptr;
    const double value = std::strtod(v, &end);
    if (*end == '\0' && value >= lo && value <= hi)
        return value;
    std::fprintf(stderr, "pelora2-trace: %s=%s is not a number from %.15g to %.15g; %.15g is used\n", name, v,
                 lo, hi, fallback);
    return fallback;
}

std::string commandLine()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    while (!all.empty() && all.back() == '\0')
        all.pop_back();
    for (char &c : all)
        if (c == '\0')
            c = ' ';
    return all;
}

template <typename F> bool resolve(void *handle, const char *name, F &out)
{
    out = reinterpret_cast<F>(dlsym(handle, name));
    return out != nullptr;
}

} // namespace

namespace {
std::atomic<Recorder *> g_recorder{nullptr}; // set once the recorder exists
}

Recorder &Recorder::get()
{
    static Recorder *recorder = [] {
        auto *r = new Recorder; // never destroyed: callbacks may outlive exit
        g_recorder.store(r, std::memory_order_release);
        return r;
    }();
    return *recorder;
}

// The latest point of the process's exit: after the program's own exit handlers and static
// destructors, which may still close the board.
__attribute__((destructor)) static void finishTraceAtExit()
{
    if (Recorder *r = g_recorder.load(std::memory_order_acquire))
        r->shutdown();
}

uint64_t Recorder::now() const { return steadyNs() - startNs_; }

thread_local bool Recorder::inHook = false;
thread_local uint64_t Recorder::nestedNs = 0;

uint32_t Recorder::threadId()
{
    static std::atomic<uint32_t> next{0};
    thread_local uint32_t id = ++next;
    return id;
}

Recorder::Recorder()
{
    startNs_ = steadyNs();
    start();
}

void Recorder::start()
{
    // The real library: the one PELORA_TRACE_LIBRARY names, or the next definition after ours.
    void *handle = RTLD_NEXT;
    const char *named = std::getenv("PELORA_TRACE_LIBRARY");
    if (named != nullptr && *named != '\0') {
        handle = dlopen(named, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "pelora2-trace: cannot load %s: %s\n", named, dlerror());
            std::_Exit(127);
        }
    }
    RealLibrary &r = real_;
    bool ok = resolve(handle, "BoardOpen", r.BoardOpen) && resolve(handle, "BoardClose", r.BoardClose) &&
              resolve(handle, "DspDownload", r.DspDownload) &&
              resolve(handle, "IoReadLong", r.IoReadLong) && resolve(handle, "IoWriteLong", r.IoWriteLong) &&
              resolve(handle, "StreamBufferSet", r.StreamBufferSet) &&
              resolve(handle, "ScanDataSet", r.ScanDataSet) && resolve(handle, "ScanPrepare", r.ScanPrepare) &&
              resolve(handle, "ImageRequest", r.ImageRequest) &&
              resolve(handle, "ErrorInfoGet", r.ErrorInfoGet) &&
              resolve(handle, "ImageRequestClear", r.ImageRequestClear) &&
              resolve(handle, "ScanCancel", r.ScanCancel) && resolve(handle, "BoardReset", r.BoardReset) &&
              resolve(handle, "ExclusiveAcquire", r.ExclusiveAcquire) &&
              resolve(handle, "ExclusiveRelease", r.ExclusiveRelease) &&
              resolve(handle, "FrameMemoryRead", r.FrameMemoryRead) &&
              resolve(handle, "FrameMemoryWrite", r.FrameMemoryWrite) &&
              resolve(handle, "IoReadShort", r.IoReadShort) && resolve(handle, "IoWriteShort", r.IoWriteShort) &&
              resolve(handle, "OperationInfoGet", r.OperationInfoGet);
    Dl_info self{}, target{};
    dladdr(reinterpret_cast<void *>(&Recorder::get), &self);
    if (ok && dladdr(reinterpret_cast<void *>(r.BoardOpen), &target) != 0 &&
        target.dli_fbase == self.dli_fbase)
        ok = false; // found ourselves: there is no library behind us
    if (!ok) {
        std::fprintf(stderr, "pelora2-trace: no board library behind the recorder (%s)\n",
                     named != nullptr ? named : "the next one on the library path");
        std::_Exit(127);
    }
    r.path = target.dli_fname != nullptr ? target.dli_fname : "";
    if (char *resolved = realpath(r.path.c_str(), nullptr)) {
        r.path = resolved;
        std::free(resolved);
    }

    const char *out = std::getenv("PELORA_TRACE_OUT");
    if (out == nullptr || *out == '\0')
        return; // forward only
    // The first process of the command that uses the board records; any other one (a child,
    // a second run in a script) finds the file there and only forwards.
    const int claim = ::open(out, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (claim < 0) {
        std::fprintf(stderr, "pelora2-trace: %s exists; process %d is not recorded\n", out,
                     int(getpid()));
        return;
    }
    ::close(claim);
    trace::Header header;
    header.libraryPath = r.path;
    header.command = commandLine();
    header.startUnixNs = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count()) -
                         now();
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    header.host = host;
    writer_ = std::make_unique<trace::Writer>(out, header);
    if (!writer_->ok()) {
        std::fprintf(stderr, "pelora2-trace: %s\n", writer_->error().c_str());
        writer_.reset();
        return;
    }
    writer_->setCompressionLevel(int(envNumber("PELORA_TRACE_LEVEL", 1, 1, 19)));
    budget_ = size_t(envNumber("PELORA_TRACE_BUFFER_MB", 256, 0, 1 << 20)) << 20;
    std::string overlap = envOr("PELORA_TRACE_OVERLAP", "library");
    if (overlap != "library" && overlap != "all" && overlap != "none") {
        std::fprintf(stderr, "pelora2-trace: PELORA_TRACE_OVERLAP=%s is not library, all or none; "
                             "library is used\n", overlap.c_str());
        overlap = "library";
    }
    overlapLibrary_ = overlap != "none";
    overlapProgram_ = overlap == "all";
    hookBudgetPercent_ = envNumber("PELORA_TRACE_HOOK_BUDGET", 5, 0, 100);
    copier_ = std::make_unique<Copier>(budget_, envNumber("PELORA_TRACE_COPY_THREAD", 1, 0, 1) != 0);
    writerThread_ = std::thread([this] { writerMain(); });
    pthread_atfork(nullptr, nullptr, [] { Recorder::get().forgetAfterFork(); });
    recording_.store(true, std::memory_order_release);
}

void Recorder::forgetAfterFork()
{
    // The child has none of our threads: nothing may wait for them or join them (the recorder
    // is never destroyed, so nothing does).
    recording_.store(false, std::memory_order_release);
}

bool Recorder::reserve(size_t bytes)
{
    std::unique_lock lock(queueMutex_);
    // Off the callback thread, a call waits for the writer to make room rather than lose its
    // bytes (frame memory read back is what a replay answers with); a few seconds at most.
    if (!inHook && bytes <= budget_)
        roomCv_.wait_for(lock, std::chrono::seconds(5),
                         [&] { return stop_ || reservedBytes_ + bytes <= budget_; });
    if (stop_ || reservedBytes_ + bytes > budget_)
        return false;
    reservedBytes_ += bytes;
    return true;
}

void Recorder::submit(trace::Record &&record, std::vector<uint8_t> &&bytes)
{
    if (record.dataKind != trace::DataKind::None && record.dataKind != trace::DataKind::Lines &&
        !record.dataKept)
        otherNotKept_.fetch_add(1, std::memory_order_relaxed);
    {
        std::lock_guard lock(queueMutex_);
        if (stop_)
            return;
        Event &e = queue_.emplace_back();
        e.record = std::move(record);
        e.bytes = std::move(bytes);
    }
    // Not woken either (see submitHook): callbacks come here too.
}

void Recorder::submitHook(trace::Record &&record, std::shared_ptr<CopyJob> copy)
{
    {
        std::lock_guard lock(queueMutex_);
        if (stop_) {
            if (copy) {
                copier_->waitDone(*copy);
                copier_->release(*copy);
            }
            return;
        }
        Event &e = queue_.emplace_back();
        e.record = std::move(record);
        e.copy = std::move(copy);
    }
    // No wake-up from the callback thread: a woken writer could take the processor from it.
    // The writer looks at the queue every few milliseconds.
}

// The writer thread: records in the order they were handed over, compressed into blocks.
void Recorder::writerMain()
{
    uint64_t lastFlush = steadyNs();
    std::unique_lock lock(queueMutex_);
    for (;;) {
        queueCv_.wait_for(lock, std::chrono::milliseconds(2),
                          [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            if (stop_)
                return;
            if (steadyNs() - lastFlush >= kFlushNs) {
                lock.unlock();
                writer_->flush();
                lastFlush = steadyNs();
                lock.lock();
            }
            continue;
        }
        Event e = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        if (e.copy) {
            CopyJob &job = *e.copy;
            copier_->waitDone(job);
            // The lines back to back; the record says how they lay in the buffer.
            writer_->append(e.record, job.buffer.get(), job.bytes());
            copier_->release(job);
        } else {
            writer_->append(e.record, e.bytes.data(), e.bytes.size());
        }
        if (steadyNs() - lastFlush >= kFlushNs) {
            writer_->flush();
            lastFlush = steadyNs();
        }
        lock.lock();
        if (!e.bytes.empty()) {
            reservedBytes_ -= std::min(reservedBytes_, e.bytes.size());
            roomCv_.notify_all();
        }
    }
}

void Recorder::countHook(bool kept, uint64_t bytes, bool overBudget)
{
    deliveries_.fetch_add(1, std::memory_order_relaxed);
    if (!kept && overBudget) {
        deliveriesOverBudget_.fetch_add(1, std::memory_order_relaxed);
        bytesOverBudget_.fetch_add(bytes, std::memory_order_relaxed);
    }
    if (!kept) {
        deliveriesNotKept_.fetch_add(1, std::memory_order_relaxed);
        bytesNotKept_.fetch_add(bytes, std::memory_order_relaxed);
    }
}

void Recorder::countOverhead(uint64_t ns)
{
    overheadCount_.fetch_add(1, std::memory_order_relaxed);
    overheadSumNs_.fetch_add(ns, std::memory_order_relaxed);
    uint64_t max = overheadMaxNs_.load(std::memory_order_relaxed);
    while (ns > max && !overheadMaxNs_.compare_exchange_weak(max, ns, std::memory_order_relaxed)) {
    }
    overheadBuckets_[bucketOf(ns)].fetch_add(1, std::memory_order_relaxed);
}

int Recorder::bucketOf(uint64_t ns)
{
    if (ns < uint64_t(kFineBuckets) * 100)
        return int(ns / 100);
    return int(std::min<uint64_t>(kBuckets - 1, kFineBuckets + (ns - kFineBuckets * 100) / 1000));
}

uint64_t Recorder::bucketEnd(int bucket)
{
    return bucket < kFineBuckets ? uint64_t(bucket + 1) * 100
                                 : uint64_t(kFineBuckets) * 100 + uint64_t(bucket - kFineBuckets + 1) * 1000;
}

// The overhead below which `percent` % of the hook calls stayed (the upper end of its bucket).
uint64_t Recorder::overheadQuantile(int percent) const
{
    const uint64_t total = overheadCount_.load();
    uint64_t seen = 0;
    for (int b = 0; b < kBuckets; ++b) {
        seen += overheadBuckets_[b].load();
        if (total > 0 && seen * 100 >= total * uint64_t(percent))
            return bucketEnd(b);
    }
    return 0;
}

void Recorder::shutdown()
{
    if (!recording_.exchange(false))
        return;
    copier_->waitAll();
    trace::Record note;
    note.kind = trace::Kind::Note;
    note.thread = threadId();
    note.timeNs = now();
    note.text = "summary: deliveries " + std::to_string(deliveries_.load()) +
                ", pixels not kept for " + std::to_string(deliveriesNotKept_.load()) + " (" +
                std::to_string(bytesNotKept_.load()) + " bytes): for the hook's time budget " +
                std::to_string(deliveriesOverBudget_.load()) + ", for a full buffer " +
                std::to_string(deliveriesNotKept_.load() - deliveriesOverBudget_.load()) +
                "; other data not kept " + std::to_string(otherNotKept_.load());
    const uint64_t calls = overheadCount_.load();
    if (calls > 0) {
        char figures[160];
        std::snprintf(figures, sizeof figures,
                      "; hook overhead mean %.1f us, median under %.1f us, 99 %% under %.1f us, "
                      "max %.1f us",
                      double(overheadSumNs_.load()) / double(calls) / 1000.0,
                      double(overheadQuantile(50)) / 1000.0, double(overheadQuantile(99)) / 1000.0,
                      double(overheadMaxNs_.load()) / 1000.0);
        note.text += figures;
    }
    const uint64_t byThread = copier_->chunksByThread.load(), byWaiters = copier_->chunksByWaiters.load();
    if (byThread + byWaiters > 0)
        note.text += "; copied by the copy thread " +
                     std::to_string(byThread * 100 / (byThread + byWaiters)) + " %";
    // Figures for programs: deliveries, not kept, bytes not kept, other data not kept, hook
    // calls timed, their overhead in ns (sum, 99 % bound, max, median bound), then deliveries
    // and bytes not kept for the hook's time budget, and the budget in hundredths of a percent.
    note.outputs = {deliveries_.load(), deliveriesNotKept_.load(), bytesNotKept_.load(),
                    otherNotKept_.load(), calls, overheadSumNs_.load(), overheadQuantile(99),
                    overheadMaxNs_.load(), overheadQuantile(50), deliveriesOverBudget_.load(),
                    bytesOverBudget_.load(), uint64_t(hookBudgetPercent_ * 100 + 0.5)};
    submit(std::move(note));
    {
        std::lock_guard lock(queueMutex_);
        stop_ = true;
    }
    queueCv_.notify_all();
    roomCv_.notify_all();
    writerThread_.join();
    if (!writer_->finish())
        std::fprintf(stderr, "pelora2-trace: the trace is incomplete: %s\n",
                     writer_->error().c_str());
    else if (deliveriesNotKept_.load() != 0)
        std::fprintf(stderr,
                     "pelora2-trace: pixels of %llu of %llu deliveries not kept (%llu for the "
                     "hook's time budget, %llu for a full buffer)\n",
                     static_cast<unsigned long long>(deliveriesNotKept_.load()),
                     static_cast<unsigned long long>(deliveries_.load()),
                     static_cast<unsigned long long>(deliveriesOverBudget_.load()),
                     static_cast<unsigned long long>(deliveriesNotKept_.load() -
                                                     deliveriesOverBudget_.load()));
}

} // namespace rec
