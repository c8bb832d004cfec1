// B G R pixels to 0xffRRGGBB: every pixel of runs that end inside and on a 16-pixel step, from
// misaligned sources, with nothing written past the run.
#include "display/BgrPixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(BgrPixels, ConvertsEveryPixelAndStopsAtTheEnd)
{
    struct Case {
        std::size_t count;
        std::size_t srcOffset;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {5, 1}, {15, 0}, {16, 0}, {17, 3},
                          {31, 2}, {32, 0}, {47, 1}, {640, 0}, {640, 7}};
    constexpr std::uint32_t kGuard = 0x12345678u;
    for (const Case &c : cases) {
        std::vector<std::uint8_t> src(c.srcOffset + c.count * 3 + 64);
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = std::uint8_t(i * 37 + (i >> 8) * 11 + 5);
        std::vector<std::uint32_t> dst(c.count + 8, kGuard);
        display::BgrToRgb32(src.data() + c.srcOffset, dst.data(), c.count);
        int wrong = 0;
        for (std::size_t i = 0; i < c.count; ++i) {
            const std::uint8_t *p = src.data() + c.srcOffset + i * 3;
            const std::uint32_t want =
                0xff000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            if (dst[i] != want && wrong++ < 3)
                ADD_FAILURE() << "count " << c.count << " pixel " << i << ": " << std::hex
                              << dst[i] << " for " << want;
        }
        for (std::size_t i = c.count; i < dst.size(); ++i)
            EXPECT_EQ(dst[i], kGuard) << "count " << c.count << " wrote past the run at " << i;
    }
}
