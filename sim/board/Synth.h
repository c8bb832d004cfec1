// Synthetic pictures of the simulated board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// Area scan picture: a diagonal gradient over the full range of the pixel size, a grid every 64
// pixels and lines at full scale, a black square that moves with the frame number and the frame
// number itself in digits at the top left. Pixels are little-endian, `bytesPerPixel` bytes each.
// Writes lines [firstLine, firstLine + count) to dst, one every `pitch` bytes. Engine thread only
// (keeps a per-thread cache of the row template).
void synthAreaLines(uint8_t *dst, size_t pitch, uint32_t pixels, uint32_t lines,
                    uint32_t bytesPerPixel, uint32_t firstLine, uint32_t count, uint32_t frame,
                    bool still = false);

// Value of one pixel of that picture, for tests and checks; `still`: of the still chart.
uint32_t synthAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                        uint32_t bytesPerPixel, uint32_t frame);
uint32_t synthAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                        uint32_t bytesPerPixel, uint32_t frame, bool still);

// What the picture scenarios change. Frames count from the scan's first, 0.
struct PictureFaults {
    bool still = false;      // the still chart: gradient, grid, a centred square, digits 0-9
    bool stale = false;      // frames 9, 19, 29 ... repeat the picture of the frame before
    bool shortFrame = false; // frames 6, 13, 20 ... leave their last 16 lines unwritten
    bool deadColumn = false; // pixel column 100 reads 0
};

// synthAreaLines with the faults applied: writes at most `count` lines (fewer for a short frame).
// Engine thread only.
void synthAreaRun(uint8_t *dst, size_t pitch, uint32_t pixels, uint32_t lines,
                  uint32_t bytesPerPixel, uint32_t firstLine, uint32_t count, uint32_t frame,
                  const PictureFaults &faults);

// Live video: 640 x 480, 3 bytes per pixel (blue, green, red), rows back to back. Colour bars
// that scroll with the frame number, a grey ramp below them, a moving white box and a frame
// counter.
constexpr uint32_t kLiveWidth = 640;
constexpr uint32_t kLiveHeight = 480;
constexpr uint32_t kLiveBytes = kLiveWidth * kLiveHeight * 3;
void synthLiveFrame(uint8_t *dst, uint32_t frame);

} // namespace sim
