/* Overlay display library: puts a 640 x 480 24-bit picture on the screen, keyed by a colour.
 * Compiles as C and as C++. OverlayWriteImage and OverlayShow may be called from any thread. */
#ifndef OVERLAY_H
#define OVERLAY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t OverlaySurface; /* 0 = no surface / creation failed */

#define OVERLAY_WIDTH 640u
#define OVERLAY_HEIGHT 480u
#define OVERLAY_FORMAT_RGB24 1u
#define OVERLAY_IMAGE_BYTES 921600u /* 640 * 480 * 3 */

typedef struct OverlaySurfaceSize {
    uint32_t width;  /* 640 */
    uint32_t height; /* 480 */
} OverlaySurfaceSize;

typedef struct OverlayImage {
    uint32_t left, top, right, bottom; /* part of the surface to fill */
    uint32_t format;                   /* 1: 24-bit pixels, 3 bytes each (B, G, R), rows top down */
    const void *pixels;
    uint32_t byteCount; /* 921600 */
} OverlayImage;

typedef struct OverlayPlacement {
    uint32_t srcLeft, srcTop, srcRight, srcBottom;
    int32_t destX, destY; /* screen coordinates */
    uint32_t destWidth, destHeight;
    uint32_t keyRed, keyGreen, keyBlue; /* colour key, 0..255 each */
} OverlayPlacement;

int32_t OverlayInit(void);
int32_t OverlayTerm(void);
OverlaySurface OverlayCreateSurface(const OverlaySurfaceSize *size, uint32_t *reserved);
int32_t OverlayWriteImage(OverlaySurface surface, const OverlayImage *image);
int32_t OverlayShow(OverlaySurface surface, const OverlayPlacement *placement);
int32_t OverlayDestroySurface(OverlaySurface surface);

#ifdef __cplusplus
}
#endif

#endif /* OVERLAY_H */
