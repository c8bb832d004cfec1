// A copy of the scan tool's image as it stood at one moment: the geometry of its Start and the
// valid bytes, taken under the image lock (ScanImage::CopyFrame) so that the PNG save and the
// picture inspector can read, draw and encode it with no lock held. Any thread; not shared.
#pragma once

#include "scan/ScanPicture.h"

#include <cstdint>
#include <vector>

struct ScanFrame {
    ScanGeometry geometry;
    std::vector<std::uint8_t> bytes; // the image buffer's valid bytes, line after line at the stride
    std::uint64_t serial = 0;        // changes whenever the image changed (ScanImage::Serial)
    // Per image line, 1 when the current frame delivered it; empty: every line counts as
    // delivered. Lines a stop or a short delivery never wrote keep an earlier frame's bytes, or 0.
    std::vector<std::uint8_t> delivered;
    // The Start the bytes belong to (counted by the image), the frame within it (the capture's
    // count, from 0) and, once the frame has ended, whether it equals the frame before it
    // (ops::StaleRule over ops::FrameHash) and when it ended (ms since the epoch).
    std::uint64_t scan = 0;
    std::uint32_t frameNumber = 0;
    bool ended = false;
    bool stale = false;
    std::int64_t endedAtMs = 0;

    // Lines that lie wholly inside the bytes (a Start's new geometry may meet the old data).
    std::uint32_t Lines() const;
    std::uint32_t Pixels() const { return geometry.pixels; }
    std::uint32_t PixelBytes() const { return geometry.pixelBytes; }
    bool Empty() const { return Lines() == 0 || Pixels() == 0; }
    bool Delivered(std::uint32_t line) const
    {
        return delivered.empty() || (line < delivered.size() && delivered[line] != 0);
    }
    // Lines among Lines() that the current frame did not deliver.
    std::uint32_t UndeliveredLines() const;

    // Byte offset of a sample in the image buffer, as the dump view numbers the bytes.
    std::uint64_t Offset(std::uint32_t line, std::uint32_t pixel) const
    {
        return std::uint64_t(line) * geometry.stride() + std::uint64_t(pixel) * geometry.pixelBytes;
    }
    const std::uint8_t *Line(std::uint32_t line) const { return bytes.data() + Offset(line, 0); }
    // The raw little-endian sample at the scan's pixel size; line < Lines(), pixel < Pixels().
    std::uint32_t Sample(std::uint32_t line, std::uint32_t pixel) const;
    // The largest value a sample of this pixel size can hold.
    std::uint32_t MaxSample() const;
};

// The little-endian sample of 1, 2 or 4 bytes at p.
inline std::uint32_t ReadSample(const std::uint8_t *p, std::uint32_t pixelBytes)
{
    switch (pixelBytes) {
    case 2: return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
    case 4:
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    default: return p[0];
    }
}
