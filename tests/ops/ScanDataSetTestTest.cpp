// The scan-data-set test sequence: the table, every call in order, the reports of failing DSP
// rows that the test goes on past, the steps that stop it, and the second set's outcomes.
#include "OpsFixture.h"

#include "ops/ScanDataSetTest.h"

#include <cstring>
#include <optional>

using namespace opstest;

namespace {

class ScanDataSetTestTest : public OpsTest {
protected:
    // Runs the test with memory area 0 at the board's window; reports are recorded and answered
    // with `goOn`; the wait makes the second set answer `second` when given.
    ops::Result Run(std::optional<int32_t> second = {}, bool goOn = true)
    {
        ops::ScanDataSetSetup setup;
        setup.haveAreas = true;
        setup.area0 = static_cast<uint8_t *>(window);
        setup.clearRequests = [this] {
            ++clears;
            return ImageRequestClear(board);
        };
        setup.report = [this, goOn](const ops::Result &row) {
            reports.push_back(row);
            return goOn;
        };
        setup.wait = [second] {
            if (second)
                SimInjectResult(SIM_OP_ScanDataSet, *second, 1);
            return true;
        };
        return ops::RunScanDataSetTest(board, setup);
    }

    std::vector<ops::Result> reports;
    int clears = 0;
};

std::vector<std::string> FullSequence()
{
    std::vector<std::string> expected = {"StreamBufferSet 0 1 1 1", "ScanDataSet 0 2048"};
    const uint32_t rows[8][2] = {{0x80006020, 512}, {0x80006021, 1}, {0x80006022, 1}, {0x80006023, 0},
                                 {0x80006024, 1},   {0x80006025, 1}, {0x80006026, 1}, {0x80006027, 0x7000}};
    for (const auto &row : rows) {
        expected.push_back("IoWriteLong 144 " + std::to_string(row[0]));
        expected.push_back("IoWriteLong 148 " + std::to_string(row[1]));
    }
    for (const char *line : {"IoWriteLong 68 66048", "IoWriteLong 136 66048", "IoWriteLong 276 66048",
                             "IoWriteLong 80 0", "IoWriteLong 84 2048", "ImageRequestClear",
                             "ImageRequest null 0", "ScanPrepare 2 0 2 0", "IoWriteLong 144 2147508224",
                             "IoWriteLong 148 4", "ScanDataSet 0 2048"})
        expected.push_back(line);
    return expected;
}

TEST_F(ScanDataSetTestTest, WritesTableAndProgramsBoardInOrder)
{
    const ops::Result r = Run(0);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.message, "走査データセット = NO_ERROR");
    EXPECT_EQ(r.icon, ops::Icon::None);
    EXPECT_EQ(Calls(), FullSequence());
    EXPECT_EQ(clears, 1); // the clear goes through the caller's bookkeeping
    EXPECT_TRUE(reports.empty());

    const auto *table = static_cast<const uint8_t *>(window);
    for (uint32_t i = 0; i < ops::kScanTableEntries; ++i) {
        const uint16_t word = static_cast<uint16_t>(0x8000 + 64 * i);
        const uint8_t expected[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word), uint8_t(word >> 8)};
        ASSERT_EQ(std::memcmp(table + 4 * i, expected, 4), 0) << i;
    }
}

TEST_F(ScanDataSetTestTest, SecondScanDataSetOutcomes)
{
    const struct {
        int32_t status;
        bool ok;
        const char *text;
        ops::Icon icon;
    } outcomes[] = {
        {0, true, "走査データセット = NO_ERROR", ops::Icon::None},
        {BOARD_STATUS_SCANDATA_OVERFLOW, false, "走査データQUINGオーバー", ops::Icon::Stop},
        {BOARD_STATUS_SCANDATA_QUEUED, true, "走査データQUING", ops::Icon::None},
        {7, false, "走査データセットエラー", ops::Icon::Stop},
    };
    for (const auto &o : outcomes) {
        Reopen();
        const ops::Result r = Run(o.status);
        EXPECT_EQ(r.ok(), o.ok) << o.text;
        EXPECT_EQ(r.status, o.status) << o.text;
        EXPECT_EQ(r.message, o.text);
        EXPECT_EQ(r.icon, o.icon) << o.text;
        if (!o.ok) {
            EXPECT_EQ(r.step, "ScanDataSet (running)");
        }
    }
}

TEST_F(ScanDataSetTestTest, StepsThatStopTheTest)
{
    struct Case {
        int op;
        std::optional<uint32_t> at;
        int32_t status;
        const char *step;
        const char *text;
        size_t calls; // journal entries up to and including the failing one
    };
    const Case cases[] = {
        {SIM_OP_StreamBufferSet, {}, 3, "StreamBufferSet", "Stream Buffer情報セットエラー", 1},
        // The first set treats every non-zero answer as an error, the queued answer included.
        {SIM_OP_ScanDataSet, {}, BOARD_STATUS_SCANDATA_QUEUED, "ScanDataSet", "走査データセットエラー", 2},
        {SIM_OP_IoWriteLong, REG_MAC_L_UDTCSR, 5, "MAC L-UDTCSR", "レジスタライトが失敗しました。(MAC L-UDTCSR)", 20},
        {SIM_OP_IoWriteLong, REG_MAC_L_DDTCSR, 5, "MAC L-DDTCSR", "レジスタライトが失敗しました。(MAC L-DDTCSR)", 23},
        {SIM_OP_ImageRequestClear, {}, 2, "ImageRequestClear", "画像データ取得要求クリアが失敗しました。", 24},
        {SIM_OP_ImageRequest, {}, 2, "ImageRequest", "画像データ取得要求が失敗しました。", 25},
        {SIM_OP_ScanPrepare, {}, BOARD_STATUS_SCAN_FIFO_INIT, "ScanPrepare", "走査FIFO初期化エラーが発生しました。", 26},
        {SIM_OP_ScanPrepare, {}, 3, "ScanPrepare", "Scan起動準備が失敗しました。", 26},
    };
    const std::vector<std::string> full = FullSequence();
    for (const Case &c : cases) {
        Reopen();
        if (c.at)
            SimInjectResultAt(c.op, *c.at, c.status, 1);
        else
            SimInjectResult(c.op, c.status, 1);
        const ops::Result r = Run();
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.status, c.status) << c.step;
        EXPECT_EQ(r.message, c.text);
        EXPECT_EQ(r.icon, ops::Icon::Stop) << c.step;
        EXPECT_EQ(Calls(), std::vector<std::string>(full.begin(), full.begin() + c.calls)) << c.step;
    }
}

TEST_F(ScanDataSetTestTest, MissingMemoryAreaStopsBeforeTheTable)
{
    for (const bool haveAreas : {false, true}) {
        Reopen();
        ops::ScanDataSetSetup setup;
        setup.haveAreas = haveAreas;
        const ops::Result r = ops::RunScanDataSetTest(board, setup);
        EXPECT_EQ(r.step, "area0");
        EXPECT_EQ(r.message, haveAreas ? "メモリエリア0のアドレスが0のため、走査データテーブルを書き込めません。"
                                       : "メモリエリア0が設定されていないため、走査データテーブルを書き込めません。");
        EXPECT_EQ(Calls(), std::vector<std::string>{"StreamBufferSet 0 1 1 1"});
    }
}

TEST_F(ScanDataSetTestTest, FailingDspRowsAreReportedAndTheTestGoesOn)
{
    // Every value write fails: each of the eight rows is reported, the test goes on, and the loop
    // start reports its write and then ends with its own box.
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_94, 9, -1);
    const ops::Result r = Run();
    ASSERT_EQ(reports.size(), 9u);
    for (const ops::Result &row : reports) {
        EXPECT_EQ(row.step, "MAC_DSP_ADR_94");
        EXPECT_EQ(row.status, 9);
        EXPECT_EQ(row.message, "レジスタ書込みエラー(adr = MAC_DSP_ADR_94)");
        EXPECT_EQ(row.icon, ops::Icon::Stop);
    }
    EXPECT_EQ(r.step, "loop start");
    EXPECT_EQ(r.message, "基板外ループ起動エラー");
    EXPECT_EQ(r.icon, ops::Icon::Stop);
    EXPECT_EQ(CallsOf(SIM_OP_ScanPrepare).size(), 1u);
    EXPECT_EQ(CallsOf(SIM_OP_ScanDataSet).size(), 1u);

    // A failing address write skips that row's value write.
    Reopen();
    reports.clear();
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_90, 9, 1);
    EXPECT_TRUE(Run(0).ok());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "レジスタ書込みエラー(adr = MAC_DSP_ADR_90)");
    EXPECT_EQ(Calls().size(), FullSequence().size() - 1);
}

TEST_F(ScanDataSetTestTest, AStopAnswerOrAnEndedWaitEndsTheTestWithoutAnotherBox)
{
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_94, 9, 1);
    ops::Result r = Run({}, false);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(r.step, "MAC_DSP_ADR_94");
    EXPECT_TRUE(r.message.empty()); // the row's box was the report
    EXPECT_EQ(Calls().size(), 4u);

    // The loop start's write was reported and the window went: no loop box follows.
    Reopen();
    reports.clear();
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_90, 9, -1);
    ops::ScanDataSetSetup setup;
    setup.haveAreas = true;
    setup.area0 = static_cast<uint8_t *>(window);
    int rows = 0;
    setup.report = [&rows](const ops::Result &) { return ++rows <= 8; };
    r = ops::RunScanDataSetTest(board, setup);
    EXPECT_EQ(rows, 9);
    EXPECT_EQ(r.step, "loop start");
    EXPECT_TRUE(r.message.empty());

    // The wait ended by a close: the second set is never made.
    Reopen();
    setup.report = nullptr;
    setup.wait = [] { return false; };
    r = ops::RunScanDataSetTest(board, setup);
    EXPECT_EQ(r.step, "wait");
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(CallsOf(SIM_OP_ScanDataSet).size(), 1u);
}

} // namespace
