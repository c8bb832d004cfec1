// The recording board library's twenty operations: each forwards to the real library and, while
// a trace is being written, records the call with its arguments, result, out parameters and the
// bytes that crossed. Called on any thread of the program.
#pragma GCC visibility push(default)
#include "pel2ctl.h"
extern "C" const char *PeloraTraceForwardedLibrary(void);
#pragma GCC visibility pop

#include "Callbacks.h"
#include "Recorder.h"

#include <cstring>
#include <fstream>
#include <iterator>

using namespace rec;

namespace {

constexpr size_t kMaxDspFileBytes = size_t(64) << 20;
constexpr size_t kWarmBuffers = 3; // copy buffers ready before deliveries come (see ImageRequest)

// One call being recorded: the entry time at construction, the rest when it has returned.
struct Call {
    Recorder &r = Recorder::get();
    const bool on = r.recording();
    trace::Record rec;
    std::vector<uint8_t> bytes;

    Call(int op, std::initializer_list<uint64_t> args)
    {
        if (!on)
            return;
        rec.kind = trace::Kind::Call;
        rec.op = op;
        rec.args = args;
        rec.thread = Recorder::threadId();
        rec.timeNs = r.now();
    }
    int32_t done(int32_t result)
    {
        if (on) {
            rec.durationNs = r.now() - rec.timeNs;
            rec.result = result;
            r.submit(std::move(rec), std::move(bytes));
        }
        return result;
    }
    // Bytes from the caller's memory, as far as the budget allows.
    void keep(trace::DataKind kind, const void *from, size_t size)
    {
        rec.dataKind = kind;
        rec.dataSize = size;
        rec.dataKept = size == 0 || (from != nullptr && r.reserve(size));
        if (rec.dataKept && size != 0)
            bytes.assign(static_cast<const uint8_t *>(from), static_cast<const uint8_t *>(from) + size);
    }
};

uint64_t addr(const void *p) { return reinterpret_cast<uintptr_t>(p); }
template <typename F> uint64_t fnAddr(F *f) { return reinterpret_cast<uintptr_t>(f); }
template <typename T> uint64_t out(const T *p) { return p != nullptr ? uint64_t(*p) : 0; }

// After a clear the library names none of the cleared buffers again: every copy out of them has
// to be done before the program may free them.
int32_t clearing(Call &c, int32_t result)
{
    if (c.on) {
        c.r.clearRequests();
        c.r.copier().epoch.fetch_add(1, std::memory_order_acq_rel);
        c.r.copier().waitAll();
    }
    return c.done(result);
}

// The register calls, one of each for the 32-bit and the 16-bit width.
using ReadFn = int32_t (*)(BoardHandle, uint32_t, uint32_t *);
using WriteFn = int32_t (*)(BoardHandle, uint32_t, uint32_t);

int32_t readRegister(int op, ReadFn real, BoardHandle h, uint32_t offset, uint32_t *value)
{
    Call c(op, {offset, addr(value)});
    const int32_t result = real(h, offset, value);
    c.rec.outputs = {out(value)};
    return c.done(result);
}

int32_t writeRegister(int op, WriteFn real, uint32_t width, BoardHandle h, uint32_t offset, uint32_t value)
{
    Call c(op, {offset, value});
    const int32_t result = real(h, offset, value);
    if (c.on && result == BOARD_STATUS_OK)
        c.r.noteRegisterWrite(offset, width, value);
    return c.done(result);
}

} // namespace

extern "C" {

const char *PeloraTraceForwardedLibrary(void) { return Recorder::get().real().path.c_str(); }

BoardHandle BoardOpen(uint32_t boardIndex, ImageTransferHookFn imageTransferHook,
                      BoardEventFn scanBufferFree, BoardEventFn dspInterrupt, BoardEventFn scanEnd,
                      void **firstAddress, void **secondAddress, uint32_t *errorCode)
{
    Call c(1, {boardIndex, fnAddr(imageTransferHook), fnAddr(scanBufferFree), fnAddr(dspInterrupt),
               fnAddr(scanEnd), addr(firstAddress), addr(secondAddress), addr(errorCode)});
    Wrapped w{imageTransferHook, scanBufferFree, dspInterrupt, scanEnd};
    if (c.on)
        w = wrapCallbacks(imageTransferHook, scanBufferFree, dspInterrupt, scanEnd);
    const BoardHandle h = c.r.real().BoardOpen(boardIndex, w.hook, w.scanBufferFree, w.dspInterrupt,
                                               w.scanEnd, firstAddress, secondAddress, errorCode);
    c.rec.outputs = {firstAddress ? addr(*firstAddress) : 0, secondAddress ? addr(*secondAddress) : 0,
                     out(errorCode)};
    return BoardHandle(c.done(int32_t(h)));
}

int32_t BoardClose(BoardHandle h)
{
    Call c(2, {});
    return clearing(c, c.r.real().BoardClose(h));
}

int32_t DspDownload(BoardHandle h, const char *path)
{
    Call c(3, {path ? std::strlen(path) : 0});
    if (c.on && path != nullptr) {
        c.rec.text = path;
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> file;
        if (in)
            file.assign(std::istreambuf_iterator<char>(in), {});
        if (file.size() <= kMaxDspFileBytes)
            c.keep(trace::DataKind::DspFile, file.data(), file.size());
    }
    return c.done(c.r.real().DspDownload(h, path));
}

int32_t IoReadLong(BoardHandle h, uint32_t offset, uint32_t *value)
{
    return readRegister(4, Recorder::get().real().IoReadLong, h, offset, value);
}

int32_t IoWriteLong(BoardHandle h, uint32_t offset, uint32_t value)
{
    return writeRegister(5, Recorder::get().real().IoWriteLong, 4, h, offset, value);
}

int32_t StreamBufferSet(BoardHandle h, uint32_t a, uint32_t b, uint32_t cc, uint32_t d)
{
    Call c(6, {a, b, cc, d});
    return c.done(c.r.real().StreamBufferSet(h, a, b, cc, d));
}

int32_t ScanDataSet(BoardHandle h, uint32_t offset, uint32_t byteCount)
{
    Call c(7, {offset, byteCount});
    return c.done(c.r.real().ScanDataSet(h, offset, byteCount));
}

int32_t ScanPrepare(BoardHandle h, uint32_t scanKind, uint32_t unitFlags, uint32_t bytesPerPixel,
                    uint32_t lineIntInterval)
{
    Call c(8, {scanKind, unitFlags, bytesPerPixel, lineIntInterval});
    const int32_t result = c.r.real().ScanPrepare(h, scanKind, unitFlags, bytesPerPixel, lineIntInterval);
    if (c.on && result == BOARD_STATUS_OK)
        c.r.notePrepare(unitFlags, bytesPerPixel);
    return c.done(result);
}

int32_t ImageRequest(BoardHandle h, void *buffer, uint32_t size)
{
    Call c(9, {addr(buffer), size});
    uint64_t id = 0;
    const uint64_t w0 = c.on ? c.r.now() : 0;
    if (c.on) {
        // The library may write into the buffer as soon as it has the request: no copy out of
        // it may still be running. (Copies out of the library's own buffer end before the hook
        // call returns.) Queued before the call, since a delivery may follow at once.
        if (buffer != nullptr)
            c.r.copier().waitRange(addr(buffer), addr(buffer) + size);
        id = c.r.pushRequest(buffer, size);
        // Buffers for the first deliveries' copies, made on this thread rather than the
        // callback thread's (a request from inside the hook comes when they exist already).
        if (!Recorder::inHook)
            c.r.copier().warm(c.r.frameBytes(), kWarmBuffers);
    }
    const uint64_t w1 = c.on ? c.r.now() : 0;
    const int32_t result = c.r.real().ImageRequest(h, buffer, size);
    if (!c.on)
        return result;
    const uint64_t w2 = c.r.now();
    if (result != BOARD_STATUS_OK)
        c.r.dropRequest(id);
    c.done(result);
    if (Recorder::inHook) // the recorder's share of the hook call that made this one
        Recorder::nestedNs += (w1 - w0) + (c.r.now() - w2);
    return result;
}

int32_t ErrorInfoGet(BoardHandle h, int32_t *notifiedNoRequest, int32_t *notifiedHookBusy)
{
    Call c(10, {addr(notifiedNoRequest), addr(notifiedHookBusy)});
    const int32_t result = c.r.real().ErrorInfoGet(h, notifiedNoRequest, notifiedHookBusy);
    c.rec.outputs = {uint64_t(uint32_t(out(notifiedNoRequest))), uint64_t(uint32_t(out(notifiedHookBusy)))};
    return c.done(result);
}

int32_t ImageRequestClear(BoardHandle h)
{
    Call c(11, {});
    return clearing(c, c.r.real().ImageRequestClear(h));
}

int32_t ScanCancel(BoardHandle h, uint32_t cancelKind, uint32_t timeoutMs)
{
    Call c(12, {cancelKind, timeoutMs});
    return c.done(c.r.real().ScanCancel(h, cancelKind, timeoutMs));
}

int32_t BoardReset(BoardHandle h)
{
    Call c(13, {});
    return clearing(c, c.r.real().BoardReset(h));
}

int32_t ExclusiveAcquire(BoardHandle h, uint32_t timeoutMs)
{
    Call c(14, {timeoutMs});
    return c.done(c.r.real().ExclusiveAcquire(h, timeoutMs));
}

int32_t ExclusiveRelease(BoardHandle h)
{
    Call c(15, {});
    return c.done(c.r.real().ExclusiveRelease(h));
}

int32_t FrameMemoryRead(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count, void *buffer)
{
    Call c(16, {bank, offset, count, addr(buffer)});
    const int32_t result = c.r.real().FrameMemoryRead(h, bank, offset, count, buffer);
    // Only what the library accepted: then it wrote `count` bytes there itself.
    if (c.on && result == BOARD_STATUS_OK && count <= FRAME_MEMORY_BANK_SIZE)
        c.keep(trace::DataKind::FrameRead, buffer, count);
    return c.done(result);
}

int32_t FrameMemoryWrite(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count,
                         const void *buffer)
{
    Call c(17, {bank, offset, count, addr(buffer)});
    const int32_t result = c.r.real().FrameMemoryWrite(h, bank, offset, count, buffer);
    if (c.on && result == BOARD_STATUS_OK && count <= FRAME_MEMORY_BANK_SIZE)
        c.keep(trace::DataKind::FrameWrite, buffer, count);
    return c.done(result);
}

int32_t IoReadShort(BoardHandle h, uint32_t offset, uint32_t *value)
{
    return readRegister(18, Recorder::get().real().IoReadShort, h, offset, value);
}

int32_t IoWriteShort(BoardHandle h, uint32_t offset, uint32_t value)
{
    return writeRegister(19, Recorder::get().real().IoWriteShort, 2, h, offset, value);
}

int32_t OperationInfoGet(BoardHandle h, uint32_t *first, uint32_t *history1, uint32_t *index1,
                         uint32_t *history2, uint32_t *index2, uint32_t *history3, uint32_t *index3,
                         uint32_t *history4, uint32_t *index4)
{
    Call c(20, {addr(first), addr(history1), addr(index1), addr(history2), addr(index2),
                addr(history3), addr(index3), addr(history4), addr(index4)});
    const int32_t result = c.r.real().OperationInfoGet(h, first, history1, index1, history2, index2,
                                                       history3, index3, history4, index4);
    c.rec.outputs = {out(first), out(index1), out(index2), out(index3), out(index4)};
    if (c.on && result == BOARD_STATUS_OK) {
        // The four histories back to back, little-endian; a history not asked for is zeros.
        std::vector<uint8_t> all(4 * OPERATION_HISTORY_LENGTH * 4, 0);
        const uint32_t *histories[4] = {history1, history2, history3, history4};
        for (int i = 0; i < 4; ++i)
            if (histories[i] != nullptr)
                for (uint32_t k = 0; k < OPERATION_HISTORY_LENGTH; ++k)
                    for (int b = 0; b < 4; ++b)
                        all[(size_t(i) * OPERATION_HISTORY_LENGTH + k) * 4 + size_t(b)] =
                            uint8_t(histories[i][k] >> (8 * b));
        c.keep(trace::DataKind::History, all.data(), all.size());
    }
    return c.done(result);
}

} // extern "C"
