/* Board control library: the C interface the program calls and the callbacks it registers.
 * Compiles as C and as C++. All callbacks run on threads of the library. */
#ifndef PEL2CTL_H
#define PEL2CTL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BoardHandle; /* 0xFFFFFFFF from a failed BoardOpen */
typedef void (*ImageTransferHookFn)(uint32_t flags, uint32_t startLine, uint32_t lineCount,
                                    uint32_t bufferKind, void *data);
typedef void (*BoardEventFn)(int32_t value); /* bank ID, DSP status register, or end reason */

#define BOARD_INVALID_HANDLE 0xFFFFFFFFu

/* BoardOpen error output */
#define BOARD_ERR_ALREADY_OPEN 16
#define BOARD_ERR_NOT_INSTALLED 17
#define BOARD_ERR_DUPLICATED 18

/* Status values callers tell apart */
#define BOARD_STATUS_OK 0
#define BOARD_STATUS_DSP_DOWNLOAD_FAULT 48     /* DspDownload */
#define BOARD_STATUS_SCANDATA_OVERFLOW 0x71    /* ScanDataSet: queueing overflow */
#define BOARD_STATUS_SCANDATA_QUEUED 0x72      /* ScanDataSet: queued */
#define BOARD_STATUS_SCAN_FIFO_INIT 0x80       /* ScanPrepare: scan FIFO initialisation error */
#define BOARD_STATUS_CANCEL_IN_PROGRESS 0x120  /* ScanCancel: a cancel is already running */

/* ImageTransferHook completion flags */
#define HOOK_FLAG_FRAME 0x1u        /* a frame completed */
#define HOOK_FLAG_LINES 0x2u        /* a run of lines completed */
#define HOOK_FLAG_AREA_SIZE 0x4u    /* area size error */
#define HOOK_FLAG_LINE_OVERRUN 0x8u /* line-scan overrun */

/* ImageTransferHook buffer kind */
#define HOOK_BUFFER_PROGRAM 0u
#define HOOK_BUFFER_LIBRARY 1u

/* Line pitch of the library's buffer and of every frame-unit delivery */
#define BOARD_LINE_PITCH 8192u

/* ScanEndCallback reasons */
#define SCAN_END_NORMAL 1
#define SCAN_END_FRAME_CANCEL 2
#define SCAN_END_LINE_CANCEL 3
#define SCAN_END_TIMEOUT 4

/* ScanPrepare */
#define SCAN_KIND_AREA 1u
#define SCAN_KIND_DATA_TEST 2u
#define SCAN_UNIT_FRAME 0x1u
#define SCAN_UNIT_LINE 0x0u
#define SCAN_NO_MASK_OPEN_DELAY 0x80000000u

/* ScanCancel kinds */
#define CANCEL_FRAME 1u
#define CANCEL_LINE 2u

/* Register window */
#define BOARD_REGISTER_WINDOW 288u
#define REG_MAC_H_UDTCSR 0x44u    /* area geometry: lines << 16 | pixels per line */
#define REG_MAC_L_DDOASR 0x50u
#define REG_MAC_L_DDTCSR 0x54u
#define REG_MAC_L_UDTCSR 0x88u
#define REG_MAC_DSP_ADR_90 0x90u  /* indirect DSP write: DSP-side address */
#define REG_MAC_DSP_ADR_94 0x94u  /* indirect DSP write: value */
#define REG_DIO_IMG_GETMODE 0x108u
#define REG_DIO_L_UDTCSR 0x114u

/* DSP memory */
#define DSP_COMMAND_WORD 0x80006000u
#define DSP_PARAM_BLOCK 0x80006020u /* 0x80006020 .. 0x80006027 */
#define DSP_CMD_AREA_SCAN 0x15u
#define DSP_CMD_SCANDATA_LOOP 0x4u

/* Frame memory */
#define FRAME_MEMORY_BANKS 4u
#define FRAME_MEMORY_BANK_SIZE 0x2000000u
#define FRAME_MEMORY_MAX_TRANSFER 0x100000u

/* Operation statistics */
#define OPERATION_HISTORY_LENGTH 1024u

BoardHandle BoardOpen(uint32_t boardIndex, ImageTransferHookFn imageTransferHook,
                      BoardEventFn scanBufferFree, BoardEventFn dspInterrupt, BoardEventFn scanEnd,
                      void **firstAddress, void **secondAddress, uint32_t *errorCode);
int32_t BoardClose(BoardHandle h);
int32_t DspDownload(BoardHandle h, const char *path);
int32_t IoReadLong(BoardHandle h, uint32_t offset, uint32_t *value);
int32_t IoWriteLong(BoardHandle h, uint32_t offset, uint32_t value);
int32_t StreamBufferSet(BoardHandle h, uint32_t a, uint32_t b, uint32_t c, uint32_t d);
int32_t ScanDataSet(BoardHandle h, uint32_t offset, uint32_t byteCount);
int32_t ScanPrepare(BoardHandle h, uint32_t scanKind, uint32_t unitFlags, uint32_t bytesPerPixel,
                    uint32_t lineIntInterval);
int32_t ImageRequest(BoardHandle h, void *buffer, uint32_t size);
int32_t ErrorInfoGet(BoardHandle h, int32_t *notifiedNoRequest, int32_t *notifiedHookBusy);
int32_t ImageRequestClear(BoardHandle h);
int32_t ScanCancel(BoardHandle h, uint32_t cancelKind, uint32_t timeoutMs);
int32_t BoardReset(BoardHandle h);
int32_t ExclusiveAcquire(BoardHandle h, uint32_t timeoutMs);
int32_t ExclusiveRelease(BoardHandle h);
int32_t FrameMemoryRead(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count, void *buffer);
int32_t FrameMemoryWrite(BoardHandle h, uint32_t bank, uint32_t offset, uint32_t count,
                         const void *buffer);
int32_t IoReadShort(BoardHandle h, uint32_t offset, uint32_t *value);
int32_t IoWriteShort(BoardHandle h, uint32_t offset, uint32_t value);
int32_t OperationInfoGet(BoardHandle h, uint32_t *first,
                         uint32_t *history1, uint32_t *index1, uint32_t *history2, uint32_t *index2,
                         uint32_t *history3, uint32_t *index3, uint32_t *history4, uint32_t *index4);

#ifdef __cplusplus
}
#endif

#endif /* PEL2CTL_H */
