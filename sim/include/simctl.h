/* Control interface of the simulated board, for tests and developers. Not part of the board
 * control library's interface: the program never calls these. Any thread. */
#ifndef SIMCTL_H
#define SIMCTL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Operations by export number, for injection and the journal. */
enum SimOp {
    SIM_OP_BoardOpen = 1,
    SIM_OP_BoardClose = 2,
    SIM_OP_DspDownload = 3,
    SIM_OP_IoReadLong = 4,
    SIM_OP_IoWriteLong = 5,
    SIM_OP_StreamBufferSet = 6,
    SIM_OP_ScanDataSet = 7,
    SIM_OP_ScanPrepare = 8,
    SIM_OP_ImageRequest = 9,
    SIM_OP_ErrorInfoGet = 10,
    SIM_OP_ImageRequestClear = 11,
    SIM_OP_ScanCancel = 12,
    SIM_OP_BoardReset = 13,
    SIM_OP_ExclusiveAcquire = 14,
    SIM_OP_ExclusiveRelease = 15,
    SIM_OP_FrameMemoryRead = 16,
    SIM_OP_FrameMemoryWrite = 17,
    SIM_OP_IoReadShort = 18,
    SIM_OP_IoWriteShort = 19,
    SIM_OP_OperationInfoGet = 20,
    SIM_OP_COUNT = 21
};

/* Back to power-on defaults: boards 0 installed and 1 not, no injections, empty journal, default
 * rates, no planted faults, exclusive right free. Open boards are closed first. */
void SimReset(void);

/* Which board indices are installed / reported as duplicated. */
void SimSetInstalled(uint32_t boardIndex, int installed);
void SimSetDuplicated(uint32_t boardIndex, int duplicated);

/* Makes an operation answer `result` without doing its work, for the next `times` calls
 * (-1: always, until cleared). For BoardOpen the result is the error code output and the call
 * returns 0xFFFFFFFF. A match argument can narrow it: see SimInjectResultAt. */
void SimInjectResult(int op, int32_t result, int32_t times);
/* The same, only for calls whose first argument after the handle equals `firstArg` (a register
 * offset, a bank, a cancel kind, ...). */
void SimInjectResultAt(int op, uint32_t firstArg, int32_t result, int32_t times);
void SimClearInjections(void);

/* Another program holds the board's exclusive right while `held` is non-zero. */
void SimHoldExclusiveElsewhere(int held);

/* Frame memory faults: a byte that always reads back as `value`, or stuck bits
 * (read = (stored & andMask) | orMask). */
void SimPlantFrameByte(uint32_t bank, uint32_t offset, uint8_t value);
void SimPlantStuckBits(uint32_t bank, uint32_t offset, uint8_t andMask, uint8_t orMask);
void SimClearFrameFaults(void);

/* Timing of the area scan engine: frames per second for frame units and lines per second for
 * line units (0: as fast as the machine allows). A scan that runs takes the new rate at once. */
void SimSetFrameRate(double framesPerSecond);
void SimSetLineRate(double linesPerSecond);

/* Step mode: the scan engine makes no delivery until SimStep allows it. SimStep(n) lets n more
 * deliveries happen and returns at once; SimWaitIdle waits (up to timeoutMs) until every allowed
 * delivery has returned from the hook. */
void SimSetStepMode(int on);
void SimStep(int deliveries);
int SimWaitIdle(uint32_t timeoutMs);

/* Journal of calls, oldest first. */
typedef struct SimCall {
    int op;            /* SimOp */
    uint64_t args[10]; /* arguments after the handle, pointers as addresses */
    int argCount;
    int32_t result;  /* for BoardOpen: the handle */
    uint64_t timeNs; /* monotonic */
} SimCall;
size_t SimJournalCount(void);
int SimJournalEntry(size_t index, SimCall *out); /* 0 when out was filled */
void SimJournalClear(void);
const char *SimOpName(int op);

/* Board state seen from outside. */
uint32_t SimReadDspMemory(uint32_t address);
uint32_t SimReadRegister(uint32_t offset);
int SimScanRunning(void);
uint64_t SimHookCalls(void); /* ImageTransferHook calls since SimReset */
/* Pending requests, and deliveries not yet handed to the hook, whose program buffer lies in
   [begin, begin + size) on the first open board: what the library may still write into there. */
size_t SimNamedBuffersIn(const void *begin, size_t size);
uint64_t SimOpenBoards(void);

/* Applies a named fault scenario, as the PELORA_SIM_SCENARIO environment variable does at load.
 * 0 when the name is known. */
int SimApplyScenario(const char *name);

/* ---- Additions (documented in docs/simulator.md) ------------------------------------------ */

/* Status values of the simulated board besides the ones in pel2ctl.h. */
#define SIM_ERR_HANDLE 0x01   /* unknown or closed handle */
#define SIM_ERR_PARAM 0x02    /* argument out of range or null pointer */
#define SIM_ERR_STATE 0x03    /* not possible in the board's present state */
#define SIM_ERR_BUSY 0x04     /* a scan, live video or off-board loop is running */
#define SIM_ERR_TIMEOUT 0x05  /* ExclusiveAcquire time-out */
#define SIM_ERR_NOT_HELD 0x06 /* ExclusiveRelease without holding the right */
#define SIM_ERR_CLOSING 0x07  /* the board was closed while the call waited */
#define SIM_ERR_DATA 0x08     /* ScanDataSet: the table in the memory window is invalid */
#define SIM_ERR_FILE 0x31     /* DspDownload: the file is missing or unreadable */

/* Read-only identification and status registers. */
#define SIM_REG_BOARD_ID 0x00    /* 0x50454C32 */
#define SIM_REG_REVISION 0x04    /* 0x00020001 */
#define SIM_REG_STATUS 0x08      /* SIM_STATUS_* bits */
#define SIM_REG_FRAME_COUNT 0x0C /* frames captured since open or reset */
#define SIM_REG_DSP_STATUS 0x10  /* last DSP status value */
#define SIM_REG_BOARD_INDEX 0x14 /* the board's index */
#define SIM_STATUS_PREPARED 0x01
#define SIM_STATUS_SCANNING 0x02
#define SIM_STATUS_LIVE 0x04
#define SIM_STATUS_LOOP 0x08
#define SIM_STATUS_CANCELLING 0x10
#define SIM_STATUS_DSP_LOADED 0x20
#define SIM_STATUS_EXCLUSIVE 0x40

/* DSP status values passed to DspInterruptCallback. */
#define SIM_DSP_ACCEPTED 0x0100  /* | command: accepted (only with SimSetDspAnnounce) */
#define SIM_DSP_LOOP_DONE 0x0404 /* the off-board loop ran dry (only with SimSetDspAnnounce) */
#define SIM_DSP_REJECTED 0x8000  /* | command: rejected (bad block, not prepared, busy) */
#define SIM_DSP_FAULT 0xC000     /* | command: planted DSP fault (SimSetDspRejectCommands) */

/* How many tables the off-board loop can hold queued behind the one it consumes (default 1). */
void SimSetScanDataQueueDepth(uint32_t depth);
/* The DSP answers every command with SIM_DSP_FAULT and starts nothing. */
void SimSetDspRejectCommands(int on);
/* The DSP raises SIM_DSP_ACCEPTED for every accepted command and SIM_DSP_LOOP_DONE. */
void SimSetDspAnnounce(int on);
/* A cancelled area scan does not end by itself: it stops at the time-out with reason 4. */
void SimSetCancelStalls(int on);
/* Images not delivered so far on the first open board (what ErrorInfoGet answers). */
void SimDropCounts(int32_t *noRequest, int32_t *hookBusy);
/* The expected value of pixel (x, y) of frame `frame` of an area scan picture. */
uint32_t SimAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                      uint32_t bytesPerPixel, uint32_t frame);
/* Number of scenarios and their names and descriptions, for tools and documentation. */
int SimScenarioCount(void);
const char *SimScenarioName(int index);
const char *SimScenarioDescription(int index);
/* Switches a named scenario on (non-zero) or off while boards run; 0 when the name is known.
 * On applies it again (a once-only fault is re-armed). Off undoes what of it is still in place
 * and leaves alone what was set after it (an injection with another result, another rate). */
int SimSetScenario(const char *name, int on);
/* 1 while the named scenario's effect is in place, 0 when not, -1 for an unknown name. */
int SimScenarioActive(const char *name);
/* Live video frames per second (default 29.97; 0 or less: the default again). */
void SimSetVideoRate(double framesPerSecond);
/* Line units follow the frame rate again (the default): frames per second x lines per frame. */
void SimSetLineRateFollowsFrames(void);
/* The present rates; *linesPerSecond is -1 while line units follow the frame rate. Any pointer
 * may be null. */
void SimGetRates(double *framesPerSecond, double *linesPerSecond, double *videoFramesPerSecond);

/* ---- Replay of a recorded session (PELORA_SIM_REPLAY; docs/trace.md, "Replay") ------------- */

/* The journal entry that marks a replay's first divergence: args[0] the record number the
 * recording has there, args[1] the operation the program called, args[2] the operation the
 * recording expected (0: the recording had ended); result -1. */
#define SIM_JOURNAL_REPLAY_DIVERGENCE 0x100

typedef struct SimReplayInfo {
    int diverged;               /* the program made a call the recording does not have */
    int finished;               /* every record was replayed, no divergence */
    uint64_t recordsRead;       /* records read from the recording so far */
    uint64_t callsMatched;      /* calls answered from the recording */
    uint64_t callbacksMade;     /* recorded callbacks made */
    uint64_t deliveriesDropped; /* recorded deliveries the program had no request for */
    uint64_t bytesNotKept;      /* delivered bytes the recording did not keep (not written) */
    uint64_t divergenceRecord;  /* number of the record the recording has at the divergence */
    char name[256];             /* the recording */
    char called[160];           /* the call the program made there */
    char expected[160];         /* what the recording has there */
} SimReplayInfo;

/* Replays a recording from now on, as PELORA_SIM_REPLAY does at load (no board may be open);
 * speed divides the recorded times (0: no waits). 0 when the file could be read. SimReset and
 * SimReplayStop end the replay. */
int SimReplayStart(const char *path, double speed);
void SimReplayStop(void);
/* 0 and *out filled while a replay runs (also after it diverged), -1 without one. */
int SimReplayStatus(SimReplayInfo *out);
/* 1 when the replay diverged (record number and the report's text filled, text may be null),
 * 0 while it follows the recording, -1 without a replay. */
int SimReplayDivergence(uint64_t *record, char *text, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* SIMCTL_H */
