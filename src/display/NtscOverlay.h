// The one overlay surface of the program and the lock that keeps its users apart: the NTSC
// display's UI thread creates and destroys it, and both its paint and the hook's frame arrival
// (board library callback thread) draw into it.
#pragma once

#include "board/overlay.h"

#include <QPoint>

#include <cstdint>
#include <mutex>

// g_overlayLock guards g_hOverlaySurface and every call that uses or destroys the surface.
// The UI thread never blocks on it without pumping events (see LockOverlayPumping).
extern std::mutex g_overlayLock;
extern OverlaySurface g_hOverlaySurface; // 0 while there is none

// UI thread: takes g_overlayLock while processing UI events, so an overlay call on a callback
// thread that waits for the UI thread can finish.
std::unique_lock<std::mutex> LockOverlayPumping();

// A screen point in one word, so that x and y are published together through one atomic.
inline std::uint64_t PackScreenPoint(QPoint p)
{
    return (std::uint64_t(std::uint32_t(p.x())) << 32) | std::uint32_t(p.y());
}
inline QPoint UnpackScreenPoint(std::uint64_t v)
{
    return QPoint(int(std::int32_t(std::uint32_t(v >> 32))), int(std::int32_t(std::uint32_t(v))));
}

struct OverlayKey {
    std::uint32_t red, green, blue;
};

// Any thread, g_overlayLock held: writes the 640 x 480 frame into the surface and shows it at
// the screen point with the colour key. Nothing when there is no surface or the write fails.
void PresentOverlayLocked(const std::uint8_t *frame, QPoint screenPos, OverlayKey key);
