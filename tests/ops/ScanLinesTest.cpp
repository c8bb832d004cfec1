// The hook's bookkeeping without a board: the line accounting of a line-unit scan and the copy of
// delivered lines into the image (placement, bounds of what is read and written).
#include "ops/DeliveredLines.h"
#include "ops/LineAccount.h"

#include "board/pel2ctl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Steps(const std::vector<ops::Result> &reports)
{
    std::vector<std::string> steps;
    for (const ops::Result &r : reports)
        steps.push_back(r.step);
    return steps;
}

TEST(LineAccountTest, RunningTotalAndItsErrors)
{
    std::atomic<uint32_t> total{0};
    ops::LineAccount account(total);

    // A good frame of 64 lines in runs of 16: no error, the total runs up and restarts at 0.
    for (uint32_t start = 0; start < 64; start += 16) {
        const uint32_t flags = HOOK_FLAG_LINES | (start == 48 ? HOOK_FLAG_FRAME : 0);
        EXPECT_TRUE(account.Deliver(flags, start, 16, 64, true).empty()) << start;
        EXPECT_EQ(total.load(), start + 16);
    }
    EXPECT_TRUE(account.Deliver(HOOK_FLAG_LINES, 0, 16, 64, true).empty());
    EXPECT_EQ(total.load(), 16u);

    // A frame end short of the frame's lines.
    std::vector<ops::Result> r = account.Deliver(HOOK_FLAG_LINES | HOOK_FLAG_FRAME, 16, 16, 64, true);
    ASSERT_EQ(Steps(r), std::vector<std::string>{"Line Num too Small"});
    EXPECT_EQ(r[0].message, " ● Line Num too Small Error.\tLine Not Mach. LineNum:32\r\n");
    EXPECT_EQ(r[0].caption, "Line Num too Small Error.");
    EXPECT_EQ(r[0].icon, ops::Icon::None);

    // Past the frame's lines: over, and at a frame end too-small as well, in that order.
    total = 56;
    r = account.Deliver(HOOK_FLAG_LINES, 56, 16, 64, true);
    ASSERT_EQ(Steps(r), std::vector<std::string>{"Line Over"});
    EXPECT_EQ(r[0].message, " ● Line Over Error. Line Over Start:56  LineNum:16\r\n");
    EXPECT_EQ(r[0].caption, "Line Over Error.");
    r = account.Deliver(HOOK_FLAG_LINES | HOOK_FLAG_FRAME, 72, 8, 64, true);
    EXPECT_EQ(Steps(r), (std::vector<std::string>{"Line Num too Small", "Line Over"}));
    EXPECT_EQ(total.load(), 80u);

    // Frame unit: the total is kept, nothing is reported.
    EXPECT_TRUE(account.Deliver(HOOK_FLAG_FRAME, 0, 100, 64, false).empty());
    EXPECT_EQ(total.load(), 100u);
    EXPECT_TRUE(account.Deliver(HOOK_FLAG_FRAME, 5, 100, 64, false).empty());
    EXPECT_EQ(total.load(), 200u);
}

// A source whose byte at (line, column) tells both apart, laid out at a pitch.
std::vector<uint8_t> Source(uint32_t lines, uint64_t pitch, uint64_t lineBytes, uint8_t base = 0)
{
    std::vector<uint8_t> s(lines * pitch, 0xEE);
    for (uint32_t n = 0; n < lines; ++n)
        for (uint64_t c = 0; c < lineBytes; ++c)
            s[n * pitch + c] = uint8_t(base + n * 16 + c);
    return s;
}

TEST(CopyDeliveredLinesTest, PlacesFrameAndLineUnitDeliveries)
{
    // 5 pixels of 2 bytes: 10 bytes a line at a stride of 12.
    ops::ImageGeometry g{8, 5, 2, SCAN_UNIT_FRAME};
    std::vector<uint8_t> image(8 * 12, 0xAA);

    // Frame unit into a program buffer: every line at the 8192-byte pitch from line 0,
    // whatever the delivery's line count says.
    std::vector<uint8_t> pitched = Source(8, BOARD_LINE_PITCH, 10);
    ops::LineRange r = ops::CopyDeliveredLines(g, image, {0, 3, false, pitched.data(), pitched.size()});
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.end, 8u);
    for (uint32_t n = 0; n < 8; ++n) {
        for (uint32_t c = 0; c < 10; ++c)
            ASSERT_EQ(image[n * 12 + c], uint8_t(n * 16 + c)) << n << "," << c;
        EXPECT_EQ(image[n * 12 + 10], 0xAA) << "stride padding untouched";
    }

    // Line unit from the library's buffer: lines 2..4 at their pitch from frame line 0.
    g.unit = SCAN_UNIT_LINE;
    std::fill(image.begin(), image.end(), 0xAA);
    std::vector<uint8_t> library = Source(5, BOARD_LINE_PITCH, 10, 0x80);
    r = ops::CopyDeliveredLines(g, image, {2, 3, true, library.data(), 0});
    EXPECT_EQ(r.first, 2u);
    EXPECT_EQ(r.end, 5u);
    EXPECT_EQ(image[2 * 12], 0x80 + 2 * 16);
    EXPECT_EQ(image[4 * 12 + 9], 0x80 + 4 * 16 + 9);
    EXPECT_EQ(image[1 * 12], 0xAA);
    EXPECT_EQ(image[5 * 12], 0xAA);

    // Line unit into a program buffer: back to back from data. The request holds more than the
    // run (later lines of an earlier fill); the image line after the run stays as it was.
    std::fill(image.begin(), image.end(), 0xAA);
    std::vector<uint8_t> packed = Source(6, 10, 10, 0x40);
    r = ops::CopyDeliveredLines(g, image, {3, 2, false, packed.data(), packed.size()});
    EXPECT_EQ(r.first, 3u);
    EXPECT_EQ(r.end, 5u);
    EXPECT_EQ(image[3 * 12], 0x40);
    EXPECT_EQ(image[4 * 12 + 9], 0x40 + 16 + 9);
    for (uint32_t c = 0; c < 12; ++c)
        EXPECT_EQ(image[5 * 12 + c], 0xAA) << c;
}

TEST(CopyDeliveredLinesTest, StaysInsideTheDeliveryAndTheImage)
{
    // Exact-size buffers: a read past the extent or a write past the image shows under the
    // address sanitizer as well as in the checks.
    ops::ImageGeometry g{8, 4, 1, SCAN_UNIT_LINE};
    std::vector<uint8_t> image(8 * 4, 0xAA);

    // The request holds two and a half lines of a run of four: two are copied.
    std::vector<uint8_t> packed = Source(4, 4, 4);
    std::vector<uint8_t> partial(packed.begin(), packed.begin() + 10);
    ops::LineRange r = ops::CopyDeliveredLines(g, image, {0, 4, false, partial.data(), partial.size()});
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.end, 2u);
    EXPECT_EQ(image[2 * 4], 0xAA);

    // Nothing readable, a run that starts beyond the frame, a null source: nothing at all.
    EXPECT_TRUE(ops::CopyDeliveredLines(g, image, {0, 4, false, packed.data(), 0}).empty());
    EXPECT_TRUE(ops::CopyDeliveredLines(g, image, {8, 2, false, packed.data(), packed.size()}).empty());
    EXPECT_TRUE(ops::CopyDeliveredLines(g, image, {0, 1, false, nullptr, 4}).empty());

    // A run past the frame's last line: the lines inside it only.
    std::fill(image.begin(), image.end(), 0xAA);
    r = ops::CopyDeliveredLines(g, image, {6, 4, false, packed.data(), packed.size()});
    EXPECT_EQ(r.first, 6u);
    EXPECT_EQ(r.end, 8u);

    // An image smaller than the frame (3 whole lines and a bit): lines that do not fit are dropped.
    std::vector<uint8_t> small(3 * 4 + 2, 0xAA);
    r = ops::CopyDeliveredLines(g, small, {1, 4, false, packed.data(), packed.size()});
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.end, 3u);
    EXPECT_EQ(small[12], 0xAA);
    EXPECT_EQ(small[13], 0xAA);
    std::vector<uint8_t> none;
    EXPECT_TRUE(ops::CopyDeliveredLines(g, none, {0, 1, false, packed.data(), packed.size()}).empty());

    // The library's buffer holds only the lines it names: a frame-unit delivery of 2 lines
    // reads lines 0 and 1 at the pitch and no further.
    g.unit = SCAN_UNIT_FRAME;
    std::vector<uint8_t> library = Source(2, BOARD_LINE_PITCH, 4);
    library.resize(BOARD_LINE_PITCH + 4);
    std::fill(image.begin(), image.end(), 0xAA);
    r = ops::CopyDeliveredLines(g, image, {0, 2, true, library.data(), 0});
    EXPECT_EQ(r.end, 2u);
    EXPECT_EQ(image[4], 16);
    EXPECT_EQ(image[8], 0xAA);

    // Lines wider than the pitch cannot lie at it: nothing is copied.
    ops::ImageGeometry wide{2, BOARD_LINE_PITCH / 2 + 1, 2, SCAN_UNIT_FRAME};
    std::vector<uint8_t> big(2 * wide.stride(), 0);
    std::vector<uint8_t> src(2 * BOARD_LINE_PITCH + 8, 1);
    EXPECT_TRUE(ops::CopyDeliveredLines(wide, big, {0, 2, false, src.data(), src.size()}).empty());
}

} // namespace
