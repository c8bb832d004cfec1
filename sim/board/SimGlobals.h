// Machine-wide switches of the simulator that boards read while they run.
#pragma once

#include <atomic>
#include <cstddef>

namespace sim {

struct Globals {
    std::atomic<bool> dspRejectsCommands{false};   // the DSP answers every command with a fault
    std::atomic<bool> dspAnnouncesCommands{false}; // an interrupt for every command accepted
    std::atomic<int> activeEngines{0};             // boards with a scan, live video or loop
    std::atomic<size_t> scanDataQueueDepth{1};     // tables the off-board loop can queue
    std::atomic<bool> cancelStalls{false};         // cancelled scans end only at the time-out
    // Faults of the area scan picture (see PictureFaults in Synth.h).
    std::atomic<bool> stillPicture{false}, staleFrames{false}, shortFrames{false}, deadColumn{false};
    void reset()
    {
        dspRejectsCommands = false;
        dspAnnouncesCommands = false;
        scanDataQueueDepth = 1;
        cancelStalls = false;
        stillPicture = staleFrames = shortFrames = deadColumn = false;
    }
};

Globals &globals();

} // namespace sim
