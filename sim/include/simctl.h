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
 * line units (0: as fast as the machine allows). */
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
    int op;                /* SimOp */
    uint64_t args[10];     /* arguments after the handle, pointers as addresses */
    int argCount;
    int32_t result;        /* for BoardOpen: the handle */
    uint64_t timeNs;       /* monotonic */
} SimCall;
size_t SimJournalCount(void);
int SimJournalEntry(size_t index, SimCall *out); /* 0 when out was filled */
void SimJournalClear(void);
const char *SimOpName(int op);

/* Board state seen from outside. */
uint32_t SimReadDspMemory(uint32_t address);
uint32_t SimReadRegister(uint32_t offset);
int SimScanRunning(void);
uint64_t SimHookCalls(void);          /* ImageTransferHook calls since SimReset */
uint64_t SimOpenBoards(void);

/* Applies a named fault scenario, as the PELORA_SIM_SCENARIO environment variable does at load.
 * 0 when the name is known. */
int SimApplyScenario(const char *name);

#ifdef __cplusplus
}
#endif

#endif /* SIMCTL_H */
