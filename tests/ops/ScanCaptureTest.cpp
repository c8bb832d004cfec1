// The scan capture's re-issue and reads on the simulated board: which request a delivery gets
// back, how much of a delivery may be read, and that the content checks see the delivered bytes
// before the re-issue refills the canary.
#include "OpsFixture.h"

#include "ops/ScanCapture.h"

#include <algorithm>
#include <vector>

using namespace opstest;

namespace {

// Remembers the byte at `probe` the copy saw and the extent it was given.
class Sink : public ops::CaptureSink {
public:
    bool TakeLines(const ops::HookDelivery &, const ops::Delivery &lines, uint32_t) override
    {
        extent = lines.extent;
        seen = lines.data != nullptr ? lines.data[probe] : 0;
        requestsBeforeCopy = CallsOf(SIM_OP_ImageRequest).size();
        return true;
    }
    uint64_t extent = 0;
    uint8_t seen = 0;
    size_t requestsBeforeCopy = 0; // re-issues made before the lines were copied
    size_t probe = 0;
};

using ScanCaptureTest = OpsTest;

TEST_F(ScanCaptureTest, ReissueAndExtentFollowTheRequestBook)
{
    constexpr uint32_t kWhole = ops::ScanCapture::kWholeRequest;
    enum class Book { None, Registered, Retired };
    struct Case {
        const char *name;
        uint32_t kind;
        Book book;
        bool on;
        uint32_t share;
        uint32_t offset; // where in the buffer the delivery starts
        std::vector<std::string> requests;
        uint64_t extent;
    };
    const std::vector<Case> cases = {
        {"library buffer, a share", HOOK_BUFFER_LIBRARY, Book::None, true, 4096, 0, {"ImageRequest buffer 4096"}, 0},
        {"library buffer, whole", HOOK_BUFFER_LIBRARY, Book::None, true, kWhole, 0, {"ImageRequest null 0"}, 0},
        {"re-issue off", HOOK_BUFFER_LIBRARY, Book::None, false, 4096, 0, {}, 0},
        {"own buffer, share beyond it", HOOK_BUFFER_PROGRAM, Book::Registered, true, 4096, 0, {"ImageRequest buffer 1000"}, 1000},
        {"own buffer, smaller share", HOOK_BUFFER_PROGRAM, Book::Registered, true, 512, 0, {"ImageRequest buffer 512"}, 1000},
        {"own buffer, whole", HOOK_BUFFER_PROGRAM, Book::Registered, true, kWhole, 0, {"ImageRequest buffer 1000"}, 1000},
        {"inside own buffer: read to its end, no request", HOOK_BUFFER_PROGRAM, Book::Registered, true, kWhole, 100, {}, 900},
        {"a buffer never requested", HOOK_BUFFER_PROGRAM, Book::None, true, kWhole, 0, {}, 0},
        {"a retired buffer", HOOK_BUFFER_PROGRAM, Book::Retired, true, kWhole, 0, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimJournalClear();
        std::vector<uint8_t> buffer(1000, 0x5A);
        Sink sink;
        ops::ScanCapture capture(sink);
        capture.SetBoard(board);
        capture.SetGeometry({10, 100, 1, 1});
        capture.SetReissue(c.on, c.share);
        if (c.book != Book::None)
            capture.RegisterRequest(buffer.data(), uint32_t(buffer.size()));
        if (c.book == Book::Retired) {
            EXPECT_TRUE(capture.RetireRequests(buffer.data(), buffer.data() + buffer.size()));
        }
        ops::HookDelivery hook{HOOK_FLAG_FRAME, 0, 10, c.kind, buffer.data() + c.offset};
        EXPECT_TRUE(capture.Take(hook));
        EXPECT_EQ(CallsOf(SIM_OP_ImageRequest), c.requests);
        EXPECT_EQ(sink.extent, c.extent);
        // The library's buffer is asked for again at once; a program buffer once it is copied.
        EXPECT_EQ(sink.requestsBeforeCopy, c.kind == HOOK_BUFFER_LIBRARY ? c.requests.size() : 0u);
        EXPECT_EQ(capture.Frames(), 1u);
        EXPECT_EQ(ImageRequestClear(board), 0); // no request outlives its buffer
    }
}

TEST_F(ScanCaptureTest, ContentChecksReadTheDeliveryBeforeTheCanaryReturns)
{
    // 10 lines of 100 bytes, a frame unit: lines at the 8192-byte pitch. The delivery claims all
    // ten but the board wrote only the first five.
    const ops::ImageGeometry g{10, 100, 1, 1};
    std::vector<uint8_t> buffer(9 * BOARD_LINE_PITCH + 100);
    for (bool checks : {false, true}) {
        SCOPED_TRACE(checks ? "checks on" : "checks off");
        Sink sink;
        sink.probe = 99; // line 0's last byte: where the canary lies
        ops::ScanCapture capture(sink);
        capture.SetBoard(board);
        capture.SetGeometry(g);
        capture.SetReissue(true, ops::ScanCapture::kWholeRequest);
        if (checks)
            capture.EnableContentChecks(true);
        capture.BeginScan();
        capture.RegisterRequest(buffer.data(), uint32_t(buffer.size()));
        capture.PrimeRequest(buffer.data());
        for (uint32_t y = 0; y < 5; ++y)
            std::fill_n(buffer.data() + y * BOARD_LINE_PITCH, 100, uint8_t(0x5A));
        capture.Take({HOOK_FLAG_FRAME, 0, 10, HOOK_BUFFER_PROGRAM, buffer.data()});
        EXPECT_EQ(sink.seen, 0x5A) << "the copy saw the canary, not the delivery";
        const ops::ContentFindings &found = capture.Findings();
        EXPECT_EQ(found.unwrittenFrames, checks ? 1u : 0u);
        EXPECT_EQ(found.unwrittenLines, checks ? 5u : 0u);
        if (checks) {
            ASSERT_EQ(found.unwritten.size(), 1u);
            EXPECT_EQ(found.unwritten[0].lines.first, 5u);
            EXPECT_EQ(found.unwritten[0].lines.end, 10u);
            EXPECT_NE(buffer[99], 0x5A) << "the re-issue did not refill the canary";
        }
        EXPECT_EQ(ImageRequestClear(board), 0);
    }
}

} // namespace
