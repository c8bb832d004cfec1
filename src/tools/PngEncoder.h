// A PNG encoder for the program's own pictures: rows come from the caller one at a time in the
// file's byte order, each is "up"-filtered (scan pictures are smooth from line to line) and
// deflated at zlib level 1. Qt's own writer spends seconds on a 32 MB grey picture whatever
// its compression level; this one a fraction of that. Any thread; no state between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pngfile {

enum class Colour : std::uint8_t { Grey = 0, Rgb = 2 }; // the PNG colour types used

struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitDepth = 8; // 8 or 16
    Colour colour = Colour::Grey;
    std::size_t RowBytes() const
    {
        return std::size_t(width) * (colour == Colour::Rgb ? 3 : 1) * (bitDepth / 8);
    }
};

// Fills one row (RowBytes() bytes) in PNG order: 16-bit samples big-endian, RGB as R G B.
using RowFiller = std::function<void(std::uint32_t row, std::uint8_t *out)>;

// The whole file's bytes; empty for an empty or unsupported layout or when zlib fails.
std::vector<std::uint8_t> EncodeRows(const Layout &layout, const RowFiller &fill);

} // namespace pngfile
