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
#include <mutex>
#include <sstream>

namespace sim {

namespace {

// Serialises switching: a scenario's look at its state and the change it makes happen together.
// Each setting it changes has a lock of its own (or is atomic), which the board threads take;
// this one comes before all of them (the registry's and the boards' included), never after.
std::mutex switchMutex;

struct Entry {
    ScenarioInfo info;
    std::function<void()> apply;
    std::function<void()> revert; // undoes the effect, leaving alone what was set after it
    std::function<bool()> active; // the effect is in place (a once-only fault is used up)
};

// A scenario that makes whole operations answer `result` (for ever, or once).
Entry failing(const char *name, const char *what, std::vector<int> ops, int32_t result,
              int32_t times = -1)
{
    return Entry{{name, what},
                 [=] {
                     for (int op : ops)
                         Injector::instance().add(op, false, 0, result, times);
                 },
                 [=] {
                     for (int op : ops)
                         Injector::instance().removeIf(op, result);
                 },
                 [=] {
                     for (int op : ops)
                         if (!Injector::instance().has(op, result))
                             return false;
                     return true;
                 }};
}

// A scenario that sets one of the machine-wide switches.
Entry flag(const char *name, const char *what, std::atomic<bool> Globals::*member)
{
    return Entry{{name, what},
                 [=] { globals().*member = true; },
                 [=] { globals().*member = false; },
                 [=] { return (globals().*member).load(); }};
}

// A scenario that sets the area scan's frame rate; off brings the default back unless the rate
// was changed since.
Entry frameRate(const char *name, const char *what, double fps)
{
    return Entry{{name, what},
                 [=] {
                     Settings::instance().setFrameRate(fps);
                     Registry::instance().retimeAll();
                 },
                 [=] {
                     if (Settings::instance().frameRate() != fps)
                         return;
                     Settings::instance().setFrameRate(kDefaultFrameRate);
                     Registry::instance().retimeAll();
                 },
                 [=] { return Settings::instance().frameRate() == fps; }};
}

bool noBoardInstalled()
{
    for (uint32_t i = 0; i < kMaxBoards; ++i)
        if (Settings::instance().installed(i))
            return false;
    return true;
}

// The planted frame memory faults of `frame-fault` read as planted.
bool frameFaultPlanted()
{
    uint8_t bad = 0x00, stuck = 0x01;
    FrameFaults::instance().apply(0, 0x10, 1, &bad);
    FrameFaults::instance().apply(1, 7, 1, &stuck);
    return bad == 0xA5 && stuck == 0x80;
}

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> list = {
        failing("open-busy", "BoardOpen answers 16: the board is already open", {SIM_OP_BoardOpen},
                BOARD_ERR_ALREADY_OPEN),
        {{"not-installed", "no board is installed: BoardOpen answers 17 for every index"},
         [] {
             for (uint32_t i = 0; i < kMaxBoards; ++i)
                 Settings::instance().setInstalled(i, false);
         },
         [] { Settings::instance().setInstalled(0, true); },
         noBoardInstalled},
        {{"both-installed", "boards 0 and 1 are both installed"},
         [] {
             Settings::instance().setInstalled(0, true);
             Settings::instance().setInstalled(1, true);
         },
         [] { Settings::instance().setInstalled(1, false); },
         [] { return Settings::instance().installed(0) && Settings::instance().installed(1); }},
        {{"open-duplicated", "board 0 is duplicated: BoardOpen answers 18"},
         [] { Settings::instance().setDuplicated(0, true); },
         [] { Settings::instance().setDuplicated(0, false); },
         [] { return Settings::instance().duplicated(0); }},
        failing("open-fails", "BoardOpen fails with error 0x20 (no memory window)",
                {SIM_OP_BoardOpen}, 0x20),
        failing("close-fails", "BoardClose fails once", {SIM_OP_BoardClose}, kErrState, 1),
        failing("reset-fails", "BoardReset fails", {SIM_OP_BoardReset}, kErrState),
        failing("errorinfo-fails", "ErrorInfoGet fails", {SIM_OP_ErrorInfoGet}, kErrState),
        failing("dsp-fault", "DspDownload answers 48: a fault during the download",
                {SIM_OP_DspDownload}, BOARD_STATUS_DSP_DOWNLOAD_FAULT),
        failing("dsp-fails", "DspDownload fails with 0x31 (file not readable)",
                {SIM_OP_DspDownload}, kErrFile),
        flag("dsp-interrupts", "the DSP raises an interrupt for every command it accepts",
             &Globals::dspAnnouncesCommands),
        flag("dsp-reject", "the DSP answers every command with a fault interrupt and starts nothing",
             &Globals::dspRejectsCommands),
        failing("scan-fifo-error", "ScanPrepare answers 128: scan FIFO initialisation error",
                {SIM_OP_ScanPrepare}, BOARD_STATUS_SCAN_FIFO_INIT),
        failing("prepare-fails", "ScanPrepare fails with 0x03", {SIM_OP_ScanPrepare}, kErrState),
        failing("request-fails", "ImageRequest fails", {SIM_OP_ImageRequest}, kErrState),
        failing("request-clear-fails", "ImageRequestClear fails", {SIM_OP_ImageRequestClear},
                kErrState),
        failing("cancel-busy", "ScanCancel answers 288: a cancel is already running",
                {SIM_OP_ScanCancel}, BOARD_STATUS_CANCEL_IN_PROGRESS),
        failing("cancel-fails", "ScanCancel fails with 0x03", {SIM_OP_ScanCancel}, kErrState),
        flag("cancel-timeout",
             "a cancelled scan never ends by itself: it stops at the time-out (reason 4)",
             &Globals::cancelStalls),
        {{"exclusive-held", "another program holds the exclusive right"},
         [] { Registry::instance().holdElsewhere(true); },
         [] { Registry::instance().holdElsewhere(false); },
         [] { return Registry::instance().heldElsewhere(); }},
        failing("exclusive-fails", "ExclusiveAcquire fails at once with 0x05",
                {SIM_OP_ExclusiveAcquire}, kErrTimeout),
        {{"frame-fault", "frame memory: bad bytes in bank 0, stuck bits in bank 1"},
         [] {
             FrameFaults &f = FrameFaults::instance();
             f.plantByte(0, 0x10, 0xA5);
             f.plantByte(0, 0x1234, 0x00);
             f.plantByte(0, 0xFFFFF, 0xFF);
             for (uint32_t off = 0; off < 0x100000; off += 0x1000)
                 f.plantStuck(1, off + 7, 0xFE, 0x80);
         },
         // Every planted fault goes: only this scenario plants faults outside of tests.
         [] { FrameFaults::instance().clear(); },
         frameFaultPlanted},
        failing("frame-read-fails", "FrameMemoryRead fails", {SIM_OP_FrameMemoryRead}, kErrState),
        failing("frame-write-fails", "FrameMemoryWrite fails", {SIM_OP_FrameMemoryWrite},
                kErrState),
        failing("register-read-fails", "IoReadLong and IoReadShort fail",
                {SIM_OP_IoReadLong, SIM_OP_IoReadShort}, kErrState),
        failing("register-write-fails", "IoWriteLong and IoWriteShort fail for every offset",
                {SIM_OP_IoWriteLong, SIM_OP_IoWriteShort}, kErrState),
        failing("stream-fails", "StreamBufferSet fails", {SIM_OP_StreamBufferSet}, kErrState),
        failing("scandata-fails", "ScanDataSet fails with 0x08", {SIM_OP_ScanDataSet}, kErrData),
        {{"scandata-overflow",
          "the off-board loop can queue no table: a set while it runs gives 113"},
         [] { globals().scanDataQueueDepth = 0; },
         [] {
             size_t none = 0;
             globals().scanDataQueueDepth.compare_exchange_strong(none, 1);
         },
         [] { return globals().scanDataQueueDepth.load() == 0; }},
        flag("still-picture", "area scans show a fixed test chart instead of the moving picture",
             &Globals::stillPicture),
        flag("stale-frame", "every 10th frame of an area scan repeats the previous picture",
             &Globals::staleFrames),
        flag("short-frame",
             "the last 16 lines of every 7th frame are not written, though delivered as written",
             &Globals::shortFrames),
        flag("dead-column", "pixel column 100 of area scans always reads 0", &Globals::deadColumn),
        frameRate("slow-scan", "area scans at 2 frames (and 2 x lines) per second", 2.0),
        frameRate("fast-scan", "area scans as fast as the program takes them", 0.0),
    };
    return list;
}

const Entry *find(const std::string &name)
{
    for (const Entry &e : entries())
        if (name == e.info.name)
            return &e;
    return nullptr;
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
        if (const Entry *e = find(name)) {
            std::lock_guard lock(switchMutex);
            e->apply();
        } else {
            ++unknown;
        }
    }
    return unknown == 0 ? 0 : -1;
}

int setScenario(const std::string &name, bool on)
{
    const Entry *e = find(name);
    if (e == nullptr)
        return -1;
    std::lock_guard lock(switchMutex);
    if (on)
        e->apply();
    else if (e->active())
        e->revert();
    return 0;
}

int scenarioActive(const std::string &name)
{
    const Entry *e = find(name);
    if (e == nullptr)
        return -1;
    std::lock_guard lock(switchMutex);
    return e->active() ? 1 : 0;
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
