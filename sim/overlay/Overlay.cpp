// The six operations of the overlay display library, over a frameless window per shown surface.
// Any thread: data goes into the locked surface table and only the GUI thread touches widgets.
#include "overlay.h"
#include "overlayctl.h"

#include "OverlayState.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace overlay;

namespace overlay {

State &state()
{
    static State s;
    return s;
}

namespace {

// PELORA_SIM_SCENARIO=overlay-fails makes every surface creation fail when started by hand.
struct ScenarioAtLoad {
    ScenarioAtLoad() { OverlaySimApplyScenario(std::getenv("PELORA_SIM_SCENARIO")); }
} scenarioAtLoad;

bool validRect(uint32_t l, uint32_t t, uint32_t r, uint32_t b)
{
    return l < r && t < b && r <= OVERLAY_WIDTH && b <= OVERLAY_HEIGHT;
}

} // namespace

} // namespace overlay

extern "C" {

int32_t OverlayInit(void)
{
    std::lock_guard lock(state().mutex);
    ++state().initCount;
    return 0;
}

int32_t OverlayTerm(void)
{
    {
        std::lock_guard lock(state().mutex);
        State &s = state();
        if (s.initCount == 0)
            return 1;
        // The last user gone: surfaces left behind go with it.
        if (--s.initCount == 0)
            s.surfaces.clear();
    }
    scheduleSync();
    return 0;
}

OverlaySurface OverlayCreateSurface(const OverlaySurfaceSize *size, uint32_t *reserved)
{
    (void)reserved;
    std::lock_guard lock(state().mutex);
    State &s = state();
    if (s.failCreate != 0) {
        if (s.failCreate > 0)
            --s.failCreate;
        return 0;
    }
    if (s.initCount == 0 || size == nullptr || size->width != OVERLAY_WIDTH ||
        size->height != OVERLAY_HEIGHT || s.surfaces.size() >= 4)
        return 0;
    const OverlaySurface handle = s.nextHandle++;
    s.surfaces.emplace(handle, Surface{});
    return handle;
}

int32_t OverlayWriteImage(OverlaySurface surface, const OverlayImage *image)
{
    if (image == nullptr || image->format != OVERLAY_FORMAT_RGB24 || image->pixels == nullptr ||
        !validRect(image->left, image->top, image->right, image->bottom))
        return 2;
    const uint32_t width = image->right - image->left, height = image->bottom - image->top;
    if (image->byteCount < width * height * 3)
        return 2;
    bool shown;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().surfaces.find(surface);
        if (it == state().surfaces.end())
            return 1;
        const uint8_t *src = static_cast<const uint8_t *>(image->pixels);
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(it->second.pixels.data() +
                            ((image->top + y) * OVERLAY_WIDTH + image->left) * 3,
                        src + size_t{y} * width * 3, size_t{width} * 3);
        ++it->second.version;
        ++state().writes;
        shown = it->second.shown;
    }
    if (shown)
        scheduleSync();
    return 0;
}

int32_t OverlayShow(OverlaySurface surface, const OverlayPlacement *placement)
{
    if (placement == nullptr ||
        !validRect(placement->srcLeft, placement->srcTop, placement->srcRight,
                   placement->srcBottom) ||
        placement->destWidth == 0 || placement->destHeight == 0 || placement->destWidth > 8192 ||
        placement->destHeight > 8192 || placement->keyRed > 255 || placement->keyGreen > 255 ||
        placement->keyBlue > 255)
        return 2;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().surfaces.find(surface);
        if (it == state().surfaces.end())
            return 1;
        it->second.placement = *placement;
        it->second.shown = true;
        ++it->second.version;
        ++state().shows;
    }
    scheduleSync();
    return 0;
}

int32_t OverlayDestroySurface(OverlaySurface surface)
{
    {
        std::lock_guard lock(state().mutex);
        if (state().surfaces.erase(surface) == 0)
            return 1;
    }
    scheduleSync();
    return 0;
}

void OverlaySimReset(void)
{
    {
        std::lock_guard lock(state().mutex);
        State &s = state();
        s.surfaces.clear();
        s.initCount = 0;
        s.failCreate = 0;
        s.writes = 0;
        s.shows = 0;
    }
    scheduleSync();
}

void OverlaySimFailCreate(int32_t times)
{
    std::lock_guard lock(state().mutex);
    state().failCreate = times;
}

int OverlaySimApplyScenario(const char *names)
{
    std::string list = ",";
    for (const char *c = names; c != nullptr && *c != '\0'; ++c)
        if (*c != ' ')
            list += *c;
    if ((list + ",").find(",overlay-fails,") == std::string::npos)
        return 0;
    OverlaySimFailCreate(-1);
    return 1;
}

int OverlaySimSurfaceCount(void)
{
    std::lock_guard lock(state().mutex);
    return static_cast<int>(state().surfaces.size());
}

uint64_t OverlaySimWriteCount(void)
{
    std::lock_guard lock(state().mutex);
    return state().writes;
}

uint64_t OverlaySimShowCount(void)
{
    std::lock_guard lock(state().mutex);
    return state().shows;
}

int OverlaySimReadSurface(OverlaySurface surface, void *out)
{
    std::lock_guard lock(state().mutex);
    auto it = state().surfaces.find(surface);
    if (it == state().surfaces.end() || out == nullptr)
        return 1;
    std::memcpy(out, it->second.pixels.data(), OVERLAY_IMAGE_BYTES);
    return 0;
}

int OverlaySimLastPlacement(OverlaySurface surface, OverlayPlacement *out)
{
    std::lock_guard lock(state().mutex);
    auto it = state().surfaces.find(surface);
    if (it == state().surfaces.end() || out == nullptr || !it->second.shown)
        return 1;
    *out = it->second.placement;
    return 0;
}

int OverlaySimHasWindows(void)
{
    return haveGui() ? 1 : 0;
}

} // extern "C"
