// B G R byte pixels (the live video's order) to 32-bit 0xffRRGGBB pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace display {

// Converts `count` pixels of 3 bytes (blue, green, red) at src to 0xffRRGGBB at dst. On x86 with
// SSSE3, 16 pixels per step; the result is the same either way.
void BgrToRgb32(const std::uint8_t *src, std::uint32_t *dst, std::size_t count);

} // namespace display
