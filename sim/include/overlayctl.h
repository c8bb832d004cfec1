/* Control interface of the overlay stand-in, for tests and developers. Any thread. */
#ifndef OVERLAYCTL_H
#define OVERLAYCTL_H

#include "overlay.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Destroys every surface and window, clears counters and failures. */
void OverlaySimReset(void);
/* OverlayCreateSurface returns 0 for the next `times` calls (-1: always, 0: never again). */
void OverlaySimFailCreate(int32_t times);
/* Applies the overlay's scenarios among comma-separated names, as PELORA_SIM_SCENARIO does when
 * the library is loaded (`overlay-fails`: every OverlayCreateSurface returns 0); other names are
 * left to the board library. Returns how many names were the overlay's. */
int OverlaySimApplyScenario(const char *names);
/* Surfaces alive now. */
int OverlaySimSurfaceCount(void);
/* Successful OverlayWriteImage / OverlayShow calls since the last reset. */
uint64_t OverlaySimWriteCount(void);
uint64_t OverlaySimShowCount(void);
/* Copies the surface's 640 x 480 picture (921,600 bytes, B G R). 0 on success. */
int OverlaySimReadSurface(OverlaySurface surface, void *out);
/* The placement of the last successful OverlayShow on the surface. 0 on success. */
int OverlaySimLastPlacement(OverlaySurface surface, OverlayPlacement *out);
/* 1 when the stand-in draws windows (a QApplication exists), 0 when it runs headless. */
int OverlaySimHasWindows(void);

#ifdef __cplusplus
}
#endif

#endif /* OVERLAYCTL_H */
