// The scan image's picture, drawn when asked for, against a picture drawn at every delivery:
// lines taken again before a look, a frame begun, the geometry set again.
#include "scan/ScanImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

enum class Op { Take, BeginFrame, SetGeometry, Look };

struct Step {
    Op op;
    std::uint32_t first = 0, count = 0;
    std::uint8_t seed = 0;
};

} // namespace

TEST(ScanImagePicture, MatchesAPictureDrawnAtEveryDelivery)
{
    ScanGeometry g;
    g.lines = 520;
    g.pixels = 700;
    g.pixelBytes = 1;
    g.unit = SCAN_UNIT_LINE;
    const std::vector<std::vector<Step>> cases = {
        {{Op::Take, 0, 100, 1}, {Op::Take, 100, 300, 2}, {Op::Look}},
        {{Op::Take, 0, 200, 1}, {Op::Look}, {Op::Take, 150, 200, 2}, {Op::Take, 0, 7, 3}, {Op::Look}},
        {{Op::Take, 0, 520, 4}, {Op::BeginFrame}, {Op::Take, 0, 33, 5}, {Op::Look}},
        {{Op::Take, 10, 90, 6}, {Op::SetGeometry}, {Op::Take, 300, 50, 7}, {Op::Look}},
        {{Op::Take, 0, 520, 8}, {Op::Look}, {Op::Look}},
    };
    const std::size_t size = std::size_t(g.stride()) * g.lines;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        ScanImage image;
        ASSERT_TRUE(image.Allocate(size));
        image.Empty();
        image.SetGeometry(g);
        std::vector<std::uint8_t> shadow(size, 0);
        ScanPicture drawn;
        for (const Step &s : cases[n]) {
            switch (s.op) {
            case Op::Take: {
                std::vector<std::uint8_t> library(std::size_t(s.first + s.count) * BOARD_LINE_PITCH);
                for (std::size_t i = 0; i < library.size(); ++i)
                    library[i] = std::uint8_t(i * s.seed + i / BOARD_LINE_PITCH * 13);
                const ops::HookDelivery hook{HOOK_FLAG_LINES, s.first, s.count, HOOK_BUFFER_LIBRARY,
                                             library.data(), {}};
                ASSERT_TRUE(image.TakeLines(hook, {s.first, s.count, true, library.data(), 0}, 0));
                for (std::uint32_t line = s.first; line < s.first + s.count; ++line)
                    std::memcpy(shadow.data() + line * g.stride(),
                                library.data() + std::size_t(line) * BOARD_LINE_PITCH, g.lineBytes());
                drawn.DrawLines(shadow.data(), shadow.size(), g, s.first, s.first + s.count);
                break;
            }
            case Op::BeginFrame:
                image.BeginFrame();
                std::fill(shadow.begin(), shadow.end(), 0);
                drawn.Clear();
                break;
            case Op::SetGeometry:
                image.SetGeometry(g);
                break;
            case Op::Look:
                EXPECT_EQ(image.Picture(), drawn.ToImage()) << "case " << n;
                break;
            }
        }
    }
}
