// The capture set-up both Starts share: its call sequence, and each failing step's box.
#include "OpsFixture.h"

#include "ops/CapturePrepare.h"

using namespace opstest;

namespace {

class CapturePrepareTest : public OpsTest {
protected:
    // The live display's set-up: 640 / 720 geometry, ten requests, a 3-byte frame-unit scan.
    ops::Result Run()
    {
        ops::CaptureSetup s;
        s.geometryH = (480u << 16) | 640u;
        s.geometryL = (480u << 16) | 720u;
        s.geometryDio = (480u << 16) | 720u;
        s.clearRequests = [this] {
            ++clears;
            return ImageRequestClear(board);
        };
        s.clearFailedText = "画像データ取得要求クリアが失敗しました。";
        s.issueRequests = [this] {
            for (int i = 0; i < 10; ++i)
                ImageRequest(board, nullptr, 0);
        };
        s.pixelBytes = 3;
        return ops::PrepareCapture(board, s);
    }
    int clears = 0;
};

std::vector<std::string> FullSequence()
{
    std::vector<std::string> expected = {"IoWriteLong 68 31457920", "IoWriteLong 136 31458000",
                                         "IoWriteLong 276 31458000", "ImageRequestClear"};
    for (int i = 0; i < 10; ++i)
        expected.push_back("ImageRequest null 0");
    expected.push_back("ScanPrepare 1 1 3 0");
    return expected;
}

} // namespace

TEST_F(CapturePrepareTest, ProgramsTheBoardInOrder)
{
    const ops::Result r = Run();
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(Calls(), FullSequence());
    EXPECT_EQ(clears, 1); // through the caller's bookkeeping
}

TEST_F(CapturePrepareTest, EachFailingStepStopsWithItsBox)
{
    struct Case {
        int op;
        int64_t arg; // -1: any call of the operation
        int32_t status;
        const char *step;
        const char *text;
        std::size_t calls; // journal lines up to and including the failing call
    };
    const Case cases[] = {
        {SIM_OP_IoWriteLong, REG_MAC_H_UDTCSR, 3, "MAC H-UDTCSR", "レジスタライトが失敗しました。(MAC H-UDTCSR)", 1},
        {SIM_OP_IoWriteLong, REG_MAC_L_UDTCSR, 3, "MAC L-UDTCSR", "レジスタライトが失敗しました。(MAC L-UDTCSR)", 2},
        {SIM_OP_IoWriteLong, REG_DIO_L_UDTCSR, 3, "DIO L-UDTCSR", "レジスタライトが失敗しました。(DIO L-UDTCSR)", 3},
        {SIM_OP_ImageRequestClear, -1, 3, "ImageRequestClear", "画像データ取得要求クリアが失敗しました。", 4},
        {SIM_OP_ScanPrepare, -1, BOARD_STATUS_SCAN_FIFO_INIT, "ScanPrepare", "走査FIFO初期化エラーが発生しました。", 15},
        {SIM_OP_ScanPrepare, -1, 5, "ScanPrepare", "Scan起動準備が失敗しました。", 15},
    };
    const std::vector<std::string> full = FullSequence();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.step);
        Reopen();
        if (c.arg < 0)
            SimInjectResult(c.op, c.status, 1);
        else
            SimInjectResultAt(c.op, uint32_t(c.arg), c.status, 1);
        const ops::Result r = Run();
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.message, c.text);
        EXPECT_EQ(r.icon, ops::Icon::Stop);
        EXPECT_EQ(Calls(), std::vector<std::string>(full.begin(), full.begin() + long(c.calls)));
    }
}
