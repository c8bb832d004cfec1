// Placement of delivered scan lines in the scan tool's image: which bytes of a delivery hold which
// image line, and the copy that keeps reads inside the delivery and writes inside the image.
// Runs on a board library callback thread, under the caller's image lock.
#pragma once

#include <cstdint>
#include <span>

namespace ops {

// The image of one Start: lines of pixels, each line at a 4-byte aligned stride.
struct ImageGeometry {
    uint32_t lines = 0;      // lines per frame
    uint32_t pixels = 0;     // pixels per line
    uint32_t pixelBytes = 1; // 1, 2 or 4
    uint32_t unit = 1;       // 1: frame unit, 0: line unit
    uint64_t lineBytes() const { return uint64_t(pixels) * pixelBytes; }
    uint64_t stride() const { return (lineBytes() + 3) & ~uint64_t(3); }
};

struct Delivery {
    uint32_t startLine = 0;
    uint32_t lineCount = 0;
    bool library = false; // the library's own buffer: the lines it names lie at the 8192-byte pitch
    const uint8_t *data = nullptr;
    // Bytes readable from data (the rest of the program buffer request that holds it; 0: none).
    // Ignored for the library's buffer, which holds (startLine + lineCount) lines at the pitch.
    uint64_t extent = 0;
};

// Image lines [first, end) that were written.
struct LineRange {
    uint32_t first = 0;
    uint32_t end = 0;
    bool empty() const { return first >= end; }
};

// Frame unit: the whole frame, at the pitch from line 0, whatever lineCount says. Line unit:
// lines startLine .. startLine + lineCount, at the pitch in the library's buffer or back to back
// in a program buffer. Copying stops at the first line the delivery does not wholly hold; lines
// beyond the frame or the image are dropped; lines wider than the pitch cannot lie at it.
LineRange CopyDeliveredLines(const ImageGeometry &g, std::span<uint8_t> image, const Delivery &d);

} // namespace ops
