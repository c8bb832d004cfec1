// Figures of an image's samples over a rectangle (the whole image or a region the user drags):
// count, mean, sigma, minimum, maximum and a histogram fine enough to find the 0.1 % and 99.9 %
// points for the grey window; and the grey window itself, mapping a sample range (or eight bits
// of the sample) onto 0..255. Lines the frame did not deliver hold no sample of it and are left
// out of the figures. Any thread; plain values.
#pragma once

#include "scan/ScanFrame.h"

#include <cstdint>
#include <vector>

// A rectangle of image pixels.
struct PixelRect {
    std::uint32_t line = 0, pixel = 0;   // top left
    std::uint32_t lines = 0, pixels = 0; // extent
    bool operator==(const PixelRect &) const = default;
    std::uint64_t Count() const { return std::uint64_t(lines) * pixels; }
};

struct SampleStats {
    std::uint64_t count = 0;
    double mean = 0;
    double sigma = 0; // of the population
    std::uint32_t min = 0, max = 0;
    std::uint32_t pixelBytes = 1;
    std::uint32_t undeliveredLines = 0; // lines of the rectangle left out (not delivered)
    // Samples per fine bin: 8 and 16 bits one bin per value, 32 bits one per 65536 values.
    std::vector<std::uint64_t> fine;

    std::uint32_t FineShift() const { return pixelBytes == 4 ? 16 : 0; }
    // 256 bins over the pixel size's whole range, as the inspector's histogram counts them.
    std::vector<std::uint64_t> Bins256() const;
    // The smallest sample value at or below which at least `fraction` of the samples lie
    // (32 bits: to 65536 values, kept within min..max).
    std::uint32_t Percentile(double fraction) const;
};

// The figures of r clipped to the frame, over the lines the frame delivered.
SampleStats MeasureSamples(const ScanFrame &frame, PixelRect r);
PixelRect WholeImage(const ScanFrame &frame);

// Samples at or below lo draw black, at or above hi white, straight between. With a bit shift
// s (shift >= 0) a sample draws as its bits s+7 .. s instead, the bits above them ignored;
// lo .. hi then name the samples drawn without a wrap, 0 .. (256 << s) - 1 within the pixel
// size, which is what the histogram marks.
struct GreyWindow {
    std::uint32_t lo = 0, hi = 255;
    int shift = -1; // -1: lo .. hi
    bool operator==(const GreyWindow &) const = default;
    bool Shifted() const { return shift >= 0; }
    std::uint8_t Grey(std::uint32_t v) const
    {
        if (shift >= 0)
            return std::uint8_t(v >> shift);
        if (v <= lo)
            return 0;
        if (v >= hi)
            return 255;
        const std::uint64_t span = hi - lo;
        return std::uint8_t((std::uint64_t(v - lo) * 255 + span / 2) / span);
    }
    // The window from the 0.1 % to the 99.9 % point; never empty.
    static GreyWindow Auto(const SampleStats &stats, std::uint32_t maxSample);
    // Bits s+7 .. s; s is kept within 0 .. (bits of maxSample) - 8.
    static GreyWindow Shift(int s, std::uint32_t maxSample);
    // The largest shift for a pixel size (0 for 8 bits).
    static int MaxShift(std::uint32_t maxSample);
};
