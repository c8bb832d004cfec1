#include "display/NtscOverlay.h"

#include "framework/UiThread.h"

std::mutex g_overlayLock;
OverlaySurface g_hOverlaySurface = 0;

std::unique_lock<std::mutex> LockOverlayPumping()
{
    std::unique_lock<std::mutex> lock(g_overlayLock, std::try_to_lock);
    if (!lock.owns_lock())
        fw::PumpingWaitUntil([&lock] { return lock.try_lock(); });
    return lock;
}

void PresentOverlayLocked(const std::uint8_t *frame, QPoint screenPos, OverlayKey key)
{
    if (g_hOverlaySurface == 0 || frame == nullptr)
        return;
    const OverlayImage image{0, 0, OVERLAY_WIDTH, OVERLAY_HEIGHT, OVERLAY_FORMAT_RGB24, frame,
                             OVERLAY_IMAGE_BYTES};
    if (OverlayWriteImage(g_hOverlaySurface, &image) != 0)
        return;
    const OverlayPlacement placement{0, 0, OVERLAY_WIDTH, OVERLAY_HEIGHT,
                                     screenPos.x(), screenPos.y(), OVERLAY_WIDTH, OVERLAY_HEIGHT,
                                     key.red, key.green, key.blue};
    OverlayShow(g_hOverlaySurface, &placement);
}
