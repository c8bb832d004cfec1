// Surfaces of the overlay stand-in: plain data behind one lock, reachable from any thread.
#pragma once

#include "overlay.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace overlay {

struct Surface {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(OVERLAY_IMAGE_BYTES); // B G R, top down
    OverlayPlacement placement{};
    bool shown = false;
    uint64_t version = 0; // bumps with every write or show, so the window knows to repaint
};

struct State {
    std::mutex mutex; // guards everything below
    int initCount = 0;
    std::map<OverlaySurface, Surface> surfaces;
    OverlaySurface nextHandle = 1;
    int32_t failCreate = 0; // < 0: always
    uint64_t writes = 0, shows = 0;
};

State &state();

// Asks the GUI thread to bring the windows in line with the surfaces (no-op when headless).
void scheduleSync();
bool haveGui();

} // namespace overlay
