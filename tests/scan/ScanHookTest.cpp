// Deliveries through the transfer hook: what reaches the image buffer, the picture and the log.
#include "ScanToolFixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>

namespace sim { // the simulated board's picture, exported for checks
std::uint32_t synthAreaPixel(std::uint32_t x, std::uint32_t y, std::uint32_t pixels,
                             std::uint32_t lines, std::uint32_t bytesPerPixel, std::uint32_t frame);
}

using namespace scantest;
using testing::HasSubstr;
using testing_support::JournalOf;

namespace {

std::uint8_t GreyOf(std::uint32_t value, std::uint32_t bytes)
{
    return bytes == 4 ? std::uint8_t(value >> 16) : std::uint8_t(value);
}

std::size_t Count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST_F(ScanToolTest, DeliveriesEndInThePictureTheBoardSent)
{
    const std::uint32_t lines = 64, pixels = 301; // 301: 16/32-bit rows are not 4-aligned
    for (int unit = 0; unit < 2; ++unit) {
        for (bool ap : {false, true}) {
            for (int sizeIndex = 0; sizeIndex < 3; ++sizeIndex) {
                const std::uint32_t bytes = 1u << sizeIndex;
                SCOPED_TRACE(testing::Message() << "unit " << unit << " ap " << ap << " bytes " << bytes);
                Reopen();
                fw::test::SelectIndex(scan, IDC_SCAN_UNIT, unit);
                fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, sizeIndex);
                Type(IDC_LINES_PER_FRAME, std::to_string(lines));
                Type(IDC_PIXELS_PER_LINE, std::to_string(pixels));
                Type(IDC_LINE_INT_INTERVAL, unit == 1 ? "16" : "0");
                Type(IDC_REQUEST_COUNT, "2");
                if (ap) {
                    ASSERT_TRUE(Click(IDC_BUFFER_AP));
                }
                ASSERT_TRUE(Click(IDC_START));
                const int deliveries = unit == 1 ? int(lines / 16) : 1;
                Step(deliveries);
                ASSERT_EQ(sinks.boxes->count(), 0u) << sinks.boxes->boxes()[0].text;

                const std::string log = Log();
                const char *done = unit == 1 ? (ap ? "  ラインスキャン完了(ＡＰバッファ）\r\n"
                                                   : "  ラインスキャン完了(ドライババッファ）\r\n")
                                             : (ap ? "  フレームスキャン完了(ＡＰバッファ）\r\n"
                                                   : "  フレームスキャン完了(ドライババッファ）\r\n");
                EXPECT_EQ(Count(log, std::string("  <-- Hook関数Call") + done), std::size_t(deliveries));
                EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), std::to_string(deliveries));
                // Re-issue: one request per delivery, of the AP share, into the delivered buffer.
                const auto requests = JournalOf(SIM_OP_ImageRequest);
                ASSERT_EQ(requests.size(), std::size_t(2 + deliveries));
                EXPECT_EQ(requests.back().args[1], 0x1000000u);

                // The image buffer holds every line at its stride.
                const std::uint64_t stride = (pixels * bytes + 3) & ~3u;
                scan.Image().Read([&](const std::uint8_t *data, std::uint32_t size) {
                    ASSERT_EQ(size, stride * lines);
                    for (std::uint32_t y = 0; y < lines; y += 7)
                        for (std::uint32_t x = 0; x < pixels; x += 13) {
                            std::uint32_t v = 0;
                            std::memcpy(&v, data + y * stride + x * bytes, bytes);
                            ASSERT_EQ(v, sim::synthAreaPixel(x, y, pixels, lines, bytes, 0))
                                << "x " << x << " y " << y;
                        }
                });
                // The picture shows those lines, stretched to 380 x 260, without shear.
                const QImage picture = scan.ShownPicture();
                ASSERT_EQ(picture.size(), QSize(380, 260));
                int wrong = 0;
                for (int ty = 0; ty < 260; ++ty)
                    for (int tx = 0; tx < 380; ++tx) {
                        const std::uint32_t sx = std::uint32_t(tx) * pixels / 380;
                        const std::uint32_t sy = std::uint32_t(ty) * lines / 260;
                        const std::uint8_t want =
                            GreyOf(sim::synthAreaPixel(sx, sy, pixels, lines, bytes, 0), bytes);
                        wrong += qRed(picture.pixel(tx, ty)) != want;
                    }
                EXPECT_EQ(wrong, 0);
            }
        }
    }
}

TEST_F(ScanToolTest, HookFlagsAndLineBookkeeping)
{
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1); // line unit, 1024 x 1024 x 8 bit
    ASSERT_TRUE(Click(IDC_START));
    SimJournalClear();
    std::vector<std::uint8_t> library(std::size_t(1024 + 256) * BOARD_LINE_PITCH, 0x5A);
    auto deliver = [&](std::uint32_t flags, std::uint32_t start, std::uint32_t count) {
        OnLibraryThread([&] { ImageTransferHook(flags, start, count, HOOK_BUFFER_LIBRARY, library.data()); });
    };

    // Area size error and overrun: logged right after the hook text, nothing else happens.
    deliver(HOOK_FLAG_LINE_OVERRUN, 0, 0); // starts at line 0: the line total restarts
    deliver(HOOK_FLAG_AREA_SIZE, 5, 7);
    std::string log = Log();
    EXPECT_THAT(log, HasSubstr("  <-- Hook関数Callエリアサイズエラー  開始ライン = 5、LineNum = 7\r\n"));
    EXPECT_THAT(log, HasSubstr("  <-- Hook関数Call★ Lineスキャン オーバーランエラー\r\n"));
    EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), "0");
    EXPECT_TRUE(JournalOf(SIM_OP_ImageRequest).empty());

    // A frame in runs of 256 lines: the last run completes the frame, no box.
    for (std::uint32_t start = 0; start < 1024; start += 256)
        deliver(start == 768 ? (HOOK_FLAG_FRAME | HOOK_FLAG_LINES) : HOOK_FLAG_LINES, start, 256);
    EXPECT_EQ(sinks.boxes->count(), 0u);
    EXPECT_EQ(g_nHookLineTotal.load(), 1024u);
    log = Log();
    EXPECT_THAT(log, HasSubstr("  <-- Hook関数Call  ラインスキャン完了(ドライババッファ）\r\n"
                               "  開始ライン   = 768、ライン数 = 256\r\n"
                               "  フレームスキャン完了(ドライババッファ）\r\n"));
    EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), "4");
    EXPECT_EQ(JournalOf(SIM_OP_ImageRequest).size(), 4u); // re-issued by the hook
    scan.Image().Read([](const std::uint8_t *data, std::uint32_t size) {
        ASSERT_EQ(size, 1024u * 1024u);
        EXPECT_EQ(data[0], 0x5A);
        EXPECT_EQ(data[size - 1], 0x5A);
    });

    // One run too many: "Line Over Error.", an owner-less box from the library's thread.
    deliver(HOOK_FLAG_LINES, 1024, 256);
    ASSERT_EQ(sinks.boxes->count(), 1u);
    fw::test::RecordedBox box = sinks.boxes->boxes()[0];
    EXPECT_EQ(box.text, " ● Line Over Error. Line Over Start:1024  LineNum:256\r\n");
    EXPECT_EQ(box.caption, "Line Over Error.");
    EXPECT_EQ(box.owner, 0u);
    EXPECT_FALSE(box.fromUiThread);
    EXPECT_THAT(Log(), HasSubstr(box.text));

    // A frame end short of the frame, and one beyond it: both boxes.
    sinks.boxes->clear();
    deliver(HOOK_FLAG_LINES, 0, 512);
    deliver(HOOK_FLAG_FRAME | HOOK_FLAG_LINES, 512, 256);
    deliver(HOOK_FLAG_FRAME | HOOK_FLAG_LINES, 768, 512);
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, " ● Line Num too Small Error.\tLine Not Mach. LineNum:768\r\n");
    EXPECT_EQ(boxes[0].caption, "Line Num too Small Error.");
    EXPECT_EQ(boxes[1].caption, "Line Num too Small Error.");
    EXPECT_EQ(boxes[2].caption, "Line Over Error.");

    // Re-issue off, and manual issue: the hook issues nothing.
    SimJournalClear();
    ASSERT_TRUE(Click(IDC_HOOK_ISSUE_OFF));
    deliver(HOOK_FLAG_LINES, 0, 16);
    ASSERT_TRUE(Click(IDC_HOOK_ISSUE_ON));
    ASSERT_TRUE(Click(IDC_ISSUE_MANUAL));
    deliver(HOOK_FLAG_LINES, 16, 16);
    EXPECT_TRUE(JournalOf(SIM_OP_ImageRequest).empty());
}

TEST_F(ScanToolTest, HookDropsWhatDoesNotFit)
{
    // Frame unit, 32-bit pixels of 8192 bytes a line: 5000 lines would overrun the 32 MB image
    // and a short library delivery holds only its own lines.
    fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, 2);
    Type(IDC_LINES_PER_FRAME, "5000");
    Type(IDC_PIXELS_PER_LINE, "2048"); // 8192 bytes a line, exactly the pitch
    ASSERT_TRUE(Click(IDC_START));
    std::vector<std::uint8_t> library(std::size_t(10) * BOARD_LINE_PITCH, 0x11);
    OnLibraryThread([&] { ImageTransferHook(HOOK_FLAG_FRAME, 0, 10, HOOK_BUFFER_LIBRARY, library.data()); });
    scan.Image().Read([](const std::uint8_t *data, std::uint32_t size) {
        ASSERT_EQ(size, CRectScanDlg::kBufferSize); // capped at the buffer
        EXPECT_EQ(data[9 * 8192], 0x11);
        EXPECT_EQ(data[10 * 8192], 0); // beyond the delivered lines: not read
    });
    // A program buffer the tool never asked for is not read at all.
    std::vector<std::uint8_t> stranger(8192, 0x22);
    OnLibraryThread([&] { ImageTransferHook(HOOK_FLAG_FRAME, 0, 1, HOOK_BUFFER_PROGRAM, stranger.data()); });
    scan.Image().Read([](const std::uint8_t *data, std::uint32_t) { EXPECT_EQ(data[0], 0x11); });
    EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), "2");
}

TEST_F(ScanToolTest, LineRunIntoARequestBufferCopiesOnlyItsOwnLines)
{
    // Line units into the program's buffers: runs of 16 lines of 301 16-bit pixels, written
    // back to back at the start of a request; the image keeps lines at a stride of 604 bytes.
    const std::uint32_t lines = 64, pixels = 301, bytes = 2, run = 16;
    const std::uint64_t lineBytes = pixels * bytes, stride = (lineBytes + 3) & ~3u;
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
    fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, 1);
    Type(IDC_LINES_PER_FRAME, std::to_string(lines));
    Type(IDC_PIXELS_PER_LINE, std::to_string(pixels));
    Type(IDC_LINE_INT_INTERVAL, std::to_string(run));
    Type(IDC_REQUEST_COUNT, "2");
    ASSERT_TRUE(Click(IDC_BUFFER_AP));
    ASSERT_TRUE(Click(IDC_START));
    // Past the lines a run fills, each request holds a pattern no board line has.
    const auto requests = JournalOf(SIM_OP_ImageRequest);
    ASSERT_EQ(requests.size(), 2u);
    for (const SimCall &r : requests) {
        ASSERT_NE(r.args[0], 0u);
        std::memset(reinterpret_cast<void *>(r.args[0]), 0xA7, r.args[1]);
    }

    // The first run starts the frame, the second lies inside it: each fills its own lines and
    // leaves the image line after it as it was (zero, from the start of the frame).
    for (std::uint32_t start = 0; start < 2 * run; start += run) {
        SCOPED_TRACE(testing::Message() << "run from line " << start);
        Step(1);
        ASSERT_EQ(sinks.boxes->count(), 0u) << sinks.boxes->boxes()[0].text;
        scan.Image().Read([&](const std::uint8_t *data, std::uint32_t size) {
            ASSERT_EQ(size, stride * lines);
            for (std::uint32_t y = start; y < start + run; ++y)
                for (std::uint32_t x = 0; x < pixels; x += 50) {
                    std::uint32_t v = 0;
                    std::memcpy(&v, data + y * stride + x * bytes, bytes);
                    ASSERT_EQ(v, sim::synthAreaPixel(x, y, pixels, lines, bytes, 0))
                        << "x " << x << " y " << y;
                }
            const std::uint8_t *after = data + (start + run) * stride;
            EXPECT_EQ(std::count(after, after + lineBytes, 0), std::ptrdiff_t(lineBytes))
                << "image line " << start + run << " was written by the run before it";
        });
    }
}
