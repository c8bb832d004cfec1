// The simulator's control interface (simctl.h). Any thread.
#include "simctl.h"

#include "Injector.h"
#include "Journal.h"
#include "Memory.h"
#include "Registry.h"
#include "ReplayPlayer.h"
#include "Scenario.h"
#include "Settings.h"
#include "SimGlobals.h"
#include "Synth.h"
#include "trace/format/Names.h"

using namespace sim;

namespace {

std::shared_ptr<Board> firstBoard()
{
    std::shared_ptr<Board> first;
    for (auto &b : Registry::instance().all())
        if (!first || b->index() < first->index())
            first = b;
    return first;
}

} // namespace

extern "C" {

void SimReset(void)
{
    ReplayPlayer::instance().stop();
    Registry::instance().closeAll();
    StepGate::instance().reset();
    Injector::instance().clear();
    Journal::instance().clear();
    Settings::instance().reset();
    FrameFaults::instance().clear();
    globals().reset();
    discardAllMemory();
}

void SimSetInstalled(uint32_t boardIndex, int installed)
{
    Settings::instance().setInstalled(boardIndex, installed != 0);
}

void SimSetDuplicated(uint32_t boardIndex, int duplicated)
{
    Settings::instance().setDuplicated(boardIndex, duplicated != 0);
}

void SimInjectResult(int op, int32_t result, int32_t times)
{
    Injector::instance().add(op, false, 0, result, times);
}

void SimInjectResultAt(int op, uint32_t firstArg, int32_t result, int32_t times)
{
    Injector::instance().add(op, true, firstArg, result, times);
}

void SimClearInjections(void)
{
    Injector::instance().clear();
}

void SimHoldExclusiveElsewhere(int held)
{
    Registry::instance().holdElsewhere(held != 0);
}

void SimPlantFrameByte(uint32_t bank, uint32_t offset, uint8_t value)
{
    FrameFaults::instance().plantByte(bank, offset, value);
}

void SimPlantStuckBits(uint32_t bank, uint32_t offset, uint8_t andMask, uint8_t orMask)
{
    FrameFaults::instance().plantStuck(bank, offset, andMask, orMask);
}

void SimClearFrameFaults(void)
{
    FrameFaults::instance().clear();
}

void SimSetFrameRate(double framesPerSecond)
{
    Settings::instance().setFrameRate(framesPerSecond);
    Registry::instance().retimeAll();
}

void SimSetLineRate(double linesPerSecond)
{
    Settings::instance().setLineRate(linesPerSecond > 0 ? linesPerSecond : 0.0);
    Registry::instance().retimeAll();
}

void SimSetLineRateFollowsFrames(void)
{
    Settings::instance().setLineRate(-1.0);
    Registry::instance().retimeAll();
}

void SimSetVideoRate(double framesPerSecond)
{
    Settings::instance().setLiveRate(framesPerSecond);
    Registry::instance().retimeAll();
}

void SimGetRates(double *framesPerSecond, double *linesPerSecond, double *videoFramesPerSecond)
{
    Settings &settings = Settings::instance();
    if (framesPerSecond != nullptr)
        *framesPerSecond = settings.frameRate();
    if (linesPerSecond != nullptr)
        *linesPerSecond = settings.lineRate();
    if (videoFramesPerSecond != nullptr)
        *videoFramesPerSecond = settings.liveRate();
}

void SimSetStepMode(int on)
{
    StepGate::instance().setOn(on != 0);
}

void SimStep(int deliveries)
{
    StepGate::instance().allow(deliveries);
}

int SimWaitIdle(uint32_t timeoutMs)
{
    const bool idle =
        StepGate::instance().waitIdle(timeoutMs, [] { return globals().activeEngines.load() > 0; });
    return idle ? 0 : -1;
}

size_t SimJournalCount(void)
{
    return Journal::instance().count();
}

int SimJournalEntry(size_t index, SimCall *out)
{
    return Journal::instance().entry(index, out) ? 0 : -1;
}

void SimJournalClear(void)
{
    Journal::instance().clear();
}

const char *SimOpName(int op)
{
    if (op == SIM_JOURNAL_REPLAY_DIVERGENCE)
        return "ReplayDivergence";
    static_assert(SIM_OP_COUNT == trace::kOperationCount + 1, "the trace numbers operations as SimOp");
    return trace::OperationName(op);
}

uint32_t SimReadDspMemory(uint32_t address)
{
    auto b = firstBoard();
    return b ? b->dspMemory(address) : 0;
}

uint32_t SimReadRegister(uint32_t offset)
{
    auto b = firstBoard();
    return b ? b->registerValue(offset) : 0;
}

int SimScanRunning(void)
{
    return globals().activeEngines.load() > 0 ? 1 : 0;
}

uint64_t SimHookCalls(void)
{
    return Settings::instance().hookCalls.load();
}

size_t SimNamedBuffersIn(const void *begin, size_t size)
{
    auto b = firstBoard();
    return b ? b->namedIn(static_cast<const uint8_t *>(begin), size) : 0;
}

uint64_t SimOpenBoards(void)
{
    return Registry::instance().all().size();
}

int SimApplyScenario(const char *name)
{
    return applyScenarios(name != nullptr ? name : "");
}

void SimSetScanDataQueueDepth(uint32_t depth)
{
    globals().scanDataQueueDepth = depth;
}

void SimSetDspRejectCommands(int on)
{
    globals().dspRejectsCommands = on != 0;
}

void SimSetDspAnnounce(int on)
{
    globals().dspAnnouncesCommands = on != 0;
}

void SimSetCancelStalls(int on)
{
    globals().cancelStalls = on != 0;
}

void SimDropCounts(int32_t *noRequest, int32_t *hookBusy)
{
    int32_t a = 0, b = 0;
    if (auto board = firstBoard())
        board->errorInfo(&a, &b);
    if (noRequest != nullptr)
        *noRequest = a;
    if (hookBusy != nullptr)
        *hookBusy = b;
}

uint32_t SimAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                      uint32_t bytesPerPixel, uint32_t frame)
{
    return synthAreaPixel(x, y, pixels, lines, bytesPerPixel, frame, globals().stillPicture);
}

int SimScenarioCount(void)
{
    return static_cast<int>(scenarioList().size());
}

const char *SimScenarioName(int index)
{
    const auto &l = scenarioList();
    return index >= 0 && index < static_cast<int>(l.size()) ? l[index].name : "";
}

const char *SimScenarioDescription(int index)
{
    const auto &l = scenarioList();
    return index >= 0 && index < static_cast<int>(l.size()) ? l[index].what : "";
}

int SimSetScenario(const char *name, int on)
{
    return setScenario(name != nullptr ? name : "", on != 0);
}

int SimScenarioActive(const char *name)
{
    return scenarioActive(name != nullptr ? name : "");
}

} // extern "C"
