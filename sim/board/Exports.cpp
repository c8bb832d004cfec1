// The twenty operations of the board control library. Each one is journalled with its
// arguments; in replay mode it is answered from the recording; otherwise it may be answered by
// an injected result, and else goes to the open board. Called on any thread of the program.
#include "pel2ctl.h"

#include "Injector.h"
#include "Journal.h"
#include "PanelLoader.h"
#include "Registry.h"
#include "ReplayPlayer.h"
#include "Status.h"

#include <cstring>

using namespace sim;

namespace {

// Runs `work` on the board of `h` unless an injection answers first; journals the call.
template <typename Work>
int32_t dispatch(int op, uint32_t firstArg, std::initializer_list<uint64_t> args, BoardHandle h,
                 Work &&work, const ReplayOutputs &outputs = {})
{
    const uint64_t t = Journal::now();
    int32_t result;
    if (auto replayed = ReplayPlayer::instance().answer(op, args, outputs, h)) {
        result = *replayed;
    } else if (auto injected = Injector::instance().take(op, firstArg)) {
        result = *injected;
    } else if (auto board = Registry::instance().find(h)) {
        result = work(*board);
    } else {
        result = kErrHandle;
    }
    Journal::instance().record(op, args, result, t);
    return result;
}

// The register calls of one width. The journal keeps the value as the caller passed it; only
// the low `width` bytes of it reach the register.
int32_t readRegister(int op, BoardHandle h, uint32_t offset, uint32_t width, uint32_t *value)
{
    if (value != nullptr)
        *value = 0;
    ReplayOutputs outputs;
    outputs.words[0] = value;
    return dispatch(
        op, offset, {offset, arg(value)}, h,
        [&](Board &b) { return b.readRegister(offset, width, value); }, outputs);
}

int32_t writeRegister(int op, BoardHandle h, uint32_t offset, uint32_t width, uint32_t value)
{
    return dispatch(op, offset, {offset, value}, h,
                    [&](Board &b) {
                        const uint32_t mask = width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
                        return b.writeRegister(offset, width, value & mask);
                    });
}

} // namespace

extern "C" {

BoardHandle BoardOpen(uint32_t boardIndex, ImageTransferHookFn imageTransferHook,
                      BoardEventFn scanBufferFree, BoardEventFn dspInterrupt, BoardEventFn scanEnd,
                      void **firstAddress, void **secondAddress, uint32_t *errorCode)
{
    showPanelIfAsked();
    const uint64_t t = Journal::now();
    const Callbacks callbacks{imageTransferHook, scanBufferFree, dspInterrupt, scanEnd};
    const std::initializer_list<uint64_t> args{
        boardIndex,          argFn(imageTransferHook), argFn(scanBufferFree),
        argFn(dspInterrupt), argFn(scanEnd),           arg(firstAddress),
        arg(secondAddress),  arg(errorCode)};
    BoardHandle h;
    if (auto replayed = ReplayPlayer::instance().open(boardIndex, callbacks, args, firstAddress,
                                                      secondAddress, errorCode)) {
        h = *replayed;
    } else if (auto injected = Injector::instance().take(SIM_OP_BoardOpen, boardIndex)) {
        if (errorCode != nullptr)
            *errorCode = static_cast<uint32_t>(*injected);
        h = BOARD_INVALID_HANDLE;
    } else {
        h = Registry::instance().open(boardIndex, callbacks, firstAddress, secondAddress,
                                      errorCode);
    }
    Journal::instance().record(SIM_OP_BoardOpen, args, static_cast<int32_t>(h), t);
    return h;
}

int32_t BoardClose(BoardHandle h)
{
    const uint64_t t = Journal::now();
    int32_t result;
    if (auto replayed = ReplayPlayer::instance().close(h))
        result = *replayed;
    else if (auto injected = Injector::instance().take(SIM_OP_BoardClose, 0))
        result = *injected;
    else
        result = Registry::instance().close(h);
    Journal::instance().record(SIM_OP_BoardClose, {}, result, t);
    return result;
}

int32_t DspDownload(BoardHandle h, const char *path)
{
    return dispatch(SIM_OP_DspDownload, 0, {arg(path)}, h,
                    [&](Board &b) { return b.dspDownload(path); });
}

int32_t IoReadLong(BoardHandle h, uint32_t offset, uint32_t *value)
{
    return readRegister(SIM_OP_IoReadLong, h, offset, 4, value);
}

int32_t IoWriteLong(BoardHandle h, uint32_t offset, uint32_t value)
{
    return writeRegister(SIM_OP_IoWriteLong, h, offset, 4, value);
}

int32_t StreamBufferSet(BoardHandle h, uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return dispatch(SIM_OP_StreamBufferSet, a, {a, b, c, d}, h,
                    [&](Board &board) { return board.streamBufferSet(a, b, c, d); });
}

int32_t ScanDataSet(BoardHandle h, uint32_t offset, uint32_t byteCount)
{
    return dispatch(SIM_OP_ScanDataSet, offset, {offset, byteCount}, h,
                    [&](Board &b) { return b.scanDataSet(offset, byteCount); });
}

int32_t ScanPrepare(BoardHandle h, uint32_t scanKind, uint32_t unitFlags, uint32_t bytesPerPixel,
                    uint32_t lineIntInterval)
{
    return dispatch(SIM_OP_ScanPrepare, scanKind,
                    {scanKind, unitFlags, bytesPerPixel, lineIntInterval}, h, [&](Board &b) {
                        return b.scanPrepare(scanKind, unitFlags, bytesPerPixel, lineIntInterval);
                    });
}

int32_t ImageRequest(BoardHandle h, void *buffer, uint32_t size)
{
    return dispatch(SIM_OP_ImageRequest, static_cast<uint32_t>(arg(buffer)), {arg(buffer), size}, h,
                    [&](Board &b) { return b.imageRequest(buffer, size); });
}

int32_t ErrorInfoGet(BoardHandle h, int32_t *notifiedNoRequest, int32_t *notifiedHookBusy)
{
    if (notifiedNoRequest != nullptr)
        *notifiedNoRequest = 0;
    if (notifiedHookBusy != nullptr)
        *notifiedHookBusy = 0;
    ReplayOutputs outputs;
    outputs.words = {notifiedNoRequest, notifiedHookBusy};
    return dispatch(
        SIM_OP_ErrorInfoGet, 0, {arg(notifiedNoRequest), arg(notifiedHookBusy)}, h,
        [&](Board &b) { return b.errorInfo(notifiedNoRequest, notifiedHookBusy); }, outputs);
}

int32_t ImageRequestClear(BoardHandle h)
{
    return dispatch(SIM_OP_ImageRequestClear, 0, {}, h,
                    [&](Board &b) { return b.imageRequestClear(); });
}

int32_t ScanCancel(BoardHandle h, uint32_t cancelKind, uint32_t timeoutMs)
{
    return dispatch(SIM_OP_ScanCancel, cancelKind, {cancelKind, timeoutMs}, h,
                    [&](Board &b) { return b.scanCancel(cancelKind, timeoutMs); });
}

int32_t BoardReset(BoardHandle h)
{
    return dispatch(SIM_OP_BoardReset, 0, {}, h, [&](Board &b) { return b.reset(); });
}

int32_t ExclusiveAcquire(BoardHandle h, uint32_t timeoutMs)
{
    return dispatch(SIM_OP_ExclusiveAcquire, timeoutMs, {timeoutMs}, h,
                    [&](Board &) { return Registry::instance().acquire(h, timeoutMs); });
}

int32_t ExclusiveRelease(BoardHandle h)
{
    return dispatch(SIM_OP_ExclusiveRelease, 0, {}, h,
                    [&](Board &) { return Registry::instance().release(h); });
}

int32_t FrameMemoryRead(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count, void *buffer)
{
    ReplayOutputs outputs;
    outputs.bytes = static_cast<uint8_t *>(buffer);
    outputs.byteCount = buffer == nullptr ? 0 : count;
    return dispatch(
        SIM_OP_FrameMemoryRead, bank, {bank, offset, count, arg(buffer)}, h,
        [&](Board &b) { return b.frameMemory(false, bank, offset, count, buffer); }, outputs);
}

int32_t FrameMemoryWrite(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count,
                         const void *buffer)
{
    ReplayOutputs io;
    io.written = static_cast<const uint8_t *>(buffer);
    io.writtenCount = buffer == nullptr ? 0 : count;
    return dispatch(
        SIM_OP_FrameMemoryWrite, bank, {bank, offset, count, arg(buffer)}, h,
        [&](Board &b) {
            return b.frameMemory(true, bank, offset, count, const_cast<void *>(buffer));
        },
        io);
}

int32_t IoReadShort(BoardHandle h, uint32_t offset, uint32_t *value)
{
    return readRegister(SIM_OP_IoReadShort, h, offset, 2, value);
}

int32_t IoWriteShort(BoardHandle h, uint32_t offset, uint32_t value)
{
    return writeRegister(SIM_OP_IoWriteShort, h, offset, 2, value);
}

int32_t OperationInfoGet(BoardHandle h, uint32_t *first, uint32_t *history1, uint32_t *index1,
                         uint32_t *history2, uint32_t *index2, uint32_t *history3, uint32_t *index3,
                         uint32_t *history4, uint32_t *index4)
{
    ReplayOutputs outputs;
    outputs.words = {first, index1, index2, index3, index4};
    outputs.histories[0] = history1;
    outputs.histories[1] = history2;
    outputs.histories[2] = history3;
    outputs.histories[3] = history4;
    return dispatch(
        SIM_OP_OperationInfoGet, 0,
        {arg(first), arg(history1), arg(index1), arg(history2), arg(index2), arg(history3),
         arg(index3), arg(history4), arg(index4)},
        h,
        [&](Board &b) {
            uint32_t *histories[4] = {history1, history2, history3, history4};
            uint32_t *indices[4] = {index1, index2, index3, index4};
            return b.operationInfo(first, histories, indices);
        },
        outputs);
}

} // extern "C"
