#include "Scenario.h"

#include "Injector.h"
#include "Memory.h"
#include "Registry.h"
#include "Settings.h"
#include "SimGlobals.h"
#include "Status.h"

#include "simctl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

namespace sim {

namespace {

void always(int op, int32_t result)
{
    Injector::instance().add(op, false, 0, result, -1);
}

struct Entry {
    ScenarioInfo info;
    std::function<void()> apply;
};

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> list = {
        {{"open-busy", "BoardOpen answers 16: the board is already open"},
         [] { always(SIM_OP_BoardOpen, BOARD_ERR_ALREADY_OPEN); }},
        {{"not-installed", "no board is installed: BoardOpen answers 17 for every index"},
         [] {
             for (uint32_t i = 0; i < kMaxBoards; ++i)
                 Settings::instance().setInstalled(i, false);
         }},
        {{"both-installed", "boards 0 and 1 are both installed"},
         [] { Settings::instance().setInstalled(1, true); }},
        {{"open-duplicated", "board 0 is duplicated: BoardOpen answers 18"},
         [] { Settings::instance().setDuplicated(0, true); }},
        {{"open-fails", "BoardOpen fails with error 0x20 (no memory window)"},
         [] { always(SIM_OP_BoardOpen, 0x20); }},
        {{"close-fails", "BoardClose fails once"},
         [] { Injector::instance().add(SIM_OP_BoardClose, false, 0, kErrState, 1); }},
        {{"reset-fails", "BoardReset fails"}, [] { always(SIM_OP_BoardReset, kErrState); }},
        {{"errorinfo-fails", "ErrorInfoGet fails"}, [] { always(SIM_OP_ErrorInfoGet, kErrState); }},
        {{"dsp-fault", "DspDownload answers 48: a fault during the download"},
         [] { always(SIM_OP_DspDownload, BOARD_STATUS_DSP_DOWNLOAD_FAULT); }},
        {{"dsp-fails", "DspDownload fails with 0x31 (file not readable)"},
         [] { always(SIM_OP_DspDownload, kErrFile); }},
        {{"dsp-interrupts", "the DSP raises an interrupt for every command it accepts"},
         [] { globals().dspAnnouncesCommands = true; }},
        {{"dsp-reject", "the DSP answers every command with a fault interrupt and starts nothing"},
         [] { globals().dspRejectsCommands = true; }},
        {{"scan-fifo-error", "ScanPrepare answers 128: scan FIFO initialisation error"},
         [] { always(SIM_OP_ScanPrepare, BOARD_STATUS_SCAN_FIFO_INIT); }},
        {{"prepare-fails", "ScanPrepare fails with 0x03"},
         [] { always(SIM_OP_ScanPrepare, kErrState); }},
        {{"request-fails", "ImageRequest fails"}, [] { always(SIM_OP_ImageRequest, kErrState); }},
        {{"request-clear-fails", "ImageRequestClear fails"},
         [] { always(SIM_OP_ImageRequestClear, kErrState); }},
        {{"cancel-busy", "ScanCancel answers 288: a cancel is already running"},
         [] { always(SIM_OP_ScanCancel, BOARD_STATUS_CANCEL_IN_PROGRESS); }},
        {{"cancel-fails", "ScanCancel fails with 0x03"},
         [] { always(SIM_OP_ScanCancel, kErrState); }},
        {{"cancel-timeout",
          "a cancelled scan never ends by itself: it stops at the time-out (reason 4)"},
         [] { globals().cancelStalls = true; }},
        {{"exclusive-held", "another program holds the exclusive right"},
         [] { Registry::instance().holdElsewhere(true); }},
        {{"exclusive-fails", "ExclusiveAcquire fails at once with 0x05"},
         [] { always(SIM_OP_ExclusiveAcquire, kErrTimeout); }},
        {{"frame-fault", "frame memory: bad bytes in bank 0, stuck bits in bank 1"},
         [] {
             FrameFaults &f = FrameFaults::instance();
             f.plantByte(0, 0x10, 0xA5);
             f.plantByte(0, 0x1234, 0x00);
             f.plantByte(0, 0xFFFFF, 0xFF);
             for (uint32_t off = 0; off < 0x100000; off += 0x1000)
                 f.plantStuck(1, off + 7, 0xFE, 0x80);
         }},
        {{"frame-read-fails", "FrameMemoryRead fails"},
         [] { always(SIM_OP_FrameMemoryRead, kErrState); }},
        {{"frame-write-fails", "FrameMemoryWrite fails"},
         [] { always(SIM_OP_FrameMemoryWrite, kErrState); }},
        {{"register-read-fails", "IoReadLong and IoReadShort fail"},
         [] {
             always(SIM_OP_IoReadLong, kErrState);
             always(SIM_OP_IoReadShort, kErrState);
         }},
        {{"register-write-fails", "IoWriteLong and IoWriteShort fail for every offset"},
         [] {
             always(SIM_OP_IoWriteLong, kErrState);
             always(SIM_OP_IoWriteShort, kErrState);
         }},
        {{"stream-fails", "StreamBufferSet fails"},
         [] { always(SIM_OP_StreamBufferSet, kErrState); }},
        {{"scandata-fails", "ScanDataSet fails with 0x08"},
         [] { always(SIM_OP_ScanDataSet, kErrData); }},
        {{"scandata-overflow",
          "the off-board loop can queue no table: a set while it runs gives 113"},
         [] { globals().scanDataQueueDepth = 0; }},
        {{"slow-scan", "area scans at 2 frames (and 2 x lines) per second"},
         [] { Settings::instance().setFrameRate(2.0); }},
        {{"fast-scan", "area scans as fast as the program takes them"},
         [] { Settings::instance().setFrameRate(0.0); }},
    };
    return list;
}

// Scenarios of the overlay stand-in, which reads the same variable when it is loaded.
bool isOverlayScenario(const std::string &name)
{
    return name == "overlay-fails";
}

uint32_t parseNumber(const std::string &s, bool *ok)
{
    char *end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 0);
    *ok = !s.empty() && end != nullptr && *end == '\0';
    return static_cast<uint32_t>(v);
}

// "fail:<Operation>[@<first argument>][=<result>]": an injection written by hand.
bool applyFailRule(const std::string &rule)
{
    std::string body = rule.substr(5);
    int32_t result = kErrState;
    bool ok = true;
    if (auto eq = body.find('='); eq != std::string::npos) {
        result = static_cast<int32_t>(parseNumber(body.substr(eq + 1), &ok));
        if (!ok)
            return false;
        body.erase(eq);
    }
    bool match = false;
    uint32_t first = 0;
    if (auto at = body.find('@'); at != std::string::npos) {
        first = parseNumber(body.substr(at + 1), &ok);
        if (!ok)
            return false;
        match = true;
        body.erase(at);
    }
    for (int op = 1; op < SIM_OP_COUNT; ++op) {
        if (body == SimOpName(op)) {
            Injector::instance().add(op, match, first, result, -1);
            return true;
        }
    }
    return false;
}

} // namespace

const std::vector<ScenarioInfo> &scenarioList()
{
    static const std::vector<ScenarioInfo> list = [] {
        std::vector<ScenarioInfo> l;
        for (const Entry &e : entries())
            l.push_back(e.info);
        return l;
    }();
    return list;
}

int applyScenarios(const std::string &names, bool fromEnvironment)
{
    int unknown = 0;
    std::istringstream in(names);
    std::string name;
    while (std::getline(in, name, ',')) {
        while (!name.empty() && name.front() == ' ')
            name.erase(name.begin());
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name.empty() || name == "none" || (fromEnvironment && isOverlayScenario(name)))
            continue;
        if (name.rfind("fail:", 0) == 0) {
            if (!applyFailRule(name))
                ++unknown;
            continue;
        }
        bool found = false;
        for (const Entry &e : entries()) {
            if (name == e.info.name) {
                e.apply();
                found = true;
                break;
            }
        }
        if (!found)
            ++unknown;
    }
    return unknown == 0 ? 0 : -1;
}

namespace {

// Applies PELORA_SIM_SCENARIO when the library is loaded.
struct ScenarioAtLoad {
    ScenarioAtLoad()
    {
        const char *names = std::getenv("PELORA_SIM_SCENARIO");
        if (names != nullptr && *names != '\0' && applyScenarios(names, true) != 0)
            std::fprintf(stderr, "PEL2CTL simulator: unknown scenario in PELORA_SIM_SCENARIO=%s\n",
                         names);
    }
} scenarioAtLoad;

} // namespace

} // namespace sim
