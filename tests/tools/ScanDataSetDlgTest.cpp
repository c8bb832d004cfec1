// Scan-data-set test: the table in the memory window, the board programming in order, the
// failures, the four outcomes of the second scan data set, and closing during the wait.
#include "ToolTestSupport.h"

#include "tools/ScanDataSetDlg.h"
#include "res/Resources.h"

#include <cstring>
#include <optional>

using namespace testing_support;
using fw::test::Click;
using fw::test::Type;

namespace {

// Control and template IDs from the resources.
using namespace res::scandataset;

// Once the tool waits after starting the off-board loop (the first time it processes events),
// makes the next ScanDataSet answer `result`; re-queues itself until that point is reached.
void InjectSecondScanDataSet(int32_t result)
{
    fw::PostToUi([result] {
        bool loopStarted = false;
        for (const SimCall &c : JournalOf(SIM_OP_IoWriteLong))
            loopStarted = loopStarted || (c.args[0] == REG_MAC_DSP_ADR_94 && c.args[1] == DSP_CMD_SCANDATA_LOOP);
        if (loopStarted)
            SimInjectResult(SIM_OP_ScanDataSet, result, 1);
        else
            InjectSecondScanDataSet(result);
    });
}

// Waits (processing events, so the loop's notifications get their boxes) until the off-board
// loop a previous test started has run dry; a running loop would queue the next first set.
bool WaitLoopIdle()
{
    constexpr uint32_t kRegStatus = 0x08, kStatusLoop = 1u << 3;
    return fw::test::WaitUntil([] { return (SimReadRegister(kRegStatus) & kStatusLoop) == 0; }, 10000);
}

// The boxes the tool itself showed.
std::vector<fw::test::RecordedBox> ToolBoxes(const fw::test::MessageBoxRecorder &recorder)
{
    std::vector<fw::test::RecordedBox> boxes;
    for (const auto &box : recorder.boxes())
        if (box.fromUiThread)
            boxes.push_back(box);
    return boxes;
}

class ScanDataSetDlgTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        startup = std::make_unique<tools_test::SessionGuard>(board->firstAddress());
        tool.m_hBoard = board->handle();
        tool.m_pSession = &startup->session();
        tool.m_hMenuWnd = menu.GetSafeHwnd();
        ASSERT_TRUE(tool.Create());
        tool.ShowWindow(true);
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitLoopIdle());
        fw::test::WaitUntil([] { return false; }, 50); // the last notification's box
        {
            Watchdog watchdog("the scan data set tool's wind-down after the test");
            tool.WindDown();
        }
        startup.reset();
        DialogTest::TearDown();
    }
    // Runs one test with the given wait and returns the boxes it showed.
    // secondResult: what the second scan data set answers (the board's own answer when unset).
    std::vector<std::string> RunTest(const char *wait = "0", std::optional<int32_t> secondResult = {})
    {
        EXPECT_TRUE(WaitLoopIdle());
        sinks.boxes->clear();
        SimJournalClear();
        if (secondResult)
            InjectSecondScanDataSet(*secondResult);
        Type(tool, IDC_WAIT, wait);
        {
            // The test waits inside the click; an endless wait ends only by a close.
            Watchdog watchdog("the scan data set test (its wait included) to end");
            Click(tool, IDC_TEST);
        }
        return tools_test::BoxTexts(*sinks.boxes);
    }

    tools_test::MenuProbe menu;
    std::unique_ptr<tools_test::SessionGuard> startup;
    CScanDataSetDlg tool;
};

TEST_F(ScanDataSetDlgTest, WritesTableAndProgramsBoardInOrder)
{
    EXPECT_EQ(tool.GetDlgItemText(IDC_WAIT), "0");
    EXPECT_EQ(RunTest("20", 0), std::vector<std::string>{"走査データセット = NO_ERROR"});
    EXPECT_EQ(ToolBoxes(*sinks.boxes).at(0).icon, fw::MsgIcon::None);
    EXPECT_EQ(tool.m_dwWaitMs, 20u);

    // The table: 512 entries of two equal little-endian words 0x8000 + 64 * i.
    const auto *table = static_cast<const uint8_t *>(board->firstAddress());
    for (uint32_t i = 0; i < 512; ++i) {
        const uint16_t word = static_cast<uint16_t>(0x8000 + 64 * i);
        const uint8_t expected[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word), uint8_t(word >> 8)};
        ASSERT_EQ(std::memcmp(table + 4 * i, expected, 4), 0) << i;
    }
    EXPECT_EQ(table[2044], 0xC0);
    EXPECT_EQ(table[2047], 0xFF);

    // Every call of the test, in order, with its arguments.
    std::vector<std::string> calls;
    for (const SimCall &c : Journal()) {
        std::string line = SimOpName(c.op);
        for (int a = 0; a < c.argCount; ++a)
            line += " " + std::to_string(c.args[a]);
        if (c.op == SIM_OP_ImageRequest)
            line = "ImageRequest " + std::to_string(c.args[0]) + " " + std::to_string(c.args[1]);
        calls.push_back(line);
    }
    std::vector<std::string> expected = {"StreamBufferSet 0 1 1 1", "ScanDataSet 0 2048"};
    const uint32_t rows[8][2] = {{0x80006020, 512}, {0x80006021, 1}, {0x80006022, 1},
                                 {0x80006023, 0},   {0x80006024, 1}, {0x80006025, 1},
                                 {0x80006026, 1},   {0x80006027, 0x7000}};
    for (const auto &row : rows) {
        expected.push_back("IoWriteLong 144 " + std::to_string(row[0]));
        expected.push_back("IoWriteLong 148 " + std::to_string(row[1]));
    }
    for (const char *line : {"IoWriteLong 68 66048", "IoWriteLong 136 66048", "IoWriteLong 276 66048",
                             "IoWriteLong 80 0", "IoWriteLong 84 2048", "ImageRequestClear",
                             "ImageRequest 0 0", "ScanPrepare 2 0 2 0",
                             "IoWriteLong 144 2147508224", "IoWriteLong 148 4", "ScanDataSet 0 2048"})
        expected.push_back(line);
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(SimReadDspMemory(0x80006027), 0x7000u);

    // Pressing the button again repeats the whole sequence from the start.
    std::memset(board->firstAddress(), 0, 2048);
    RunTest();
    EXPECT_EQ(Journal().size(), expected.size());
    EXPECT_EQ(table[4], 0x40);
}

TEST_F(ScanDataSetDlgTest, SecondScanDataSetOutcomes)
{
    const struct {
        int32_t result;
        const char *text;
        fw::MsgIcon icon;
    } outcomes[] = {
        {0, "走査データセット = NO_ERROR", fw::MsgIcon::None},
        {BOARD_STATUS_SCANDATA_OVERFLOW, "走査データQUINGオーバー", fw::MsgIcon::Stop},
        {BOARD_STATUS_SCANDATA_QUEUED, "走査データQUING", fw::MsgIcon::None},
        {7, "走査データセットエラー", fw::MsgIcon::Stop},
    };
    for (const auto &o : outcomes) {
        EXPECT_EQ(RunTest("5", o.result), std::vector<std::string>{o.text});
        EXPECT_EQ(ToolBoxes(*sinks.boxes).at(0).icon, o.icon) << o.text;
        EXPECT_EQ(JournalOf(SIM_OP_ScanDataSet).size(), 2u);
    }
    // Without injection the board answers whatever its queue state gives; one box either way.
    EXPECT_EQ(RunTest("0").size(), 1u);
}

TEST_F(ScanDataSetDlgTest, FailuresStopOrContinueAsEachStepSays)
{
    // The first scan data set treats every non-zero answer as an error, 114 included.
    SimInjectResult(SIM_OP_ScanDataSet, BOARD_STATUS_SCANDATA_QUEUED, 1);
    EXPECT_EQ(RunTest(), std::vector<std::string>{"走査データセットエラー"});
    EXPECT_TRUE(JournalOf(SIM_OP_IoWriteLong).empty());

    SimInjectResult(SIM_OP_StreamBufferSet, 3, 1);
    EXPECT_EQ(RunTest(), std::vector<std::string>{"Stream Buffer情報セットエラー"});
    EXPECT_TRUE(JournalOf(SIM_OP_ScanDataSet).empty());

    // Every value write fails: each row reports and the test goes on; the loop start then shows
    // its write's message and its own.
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_94, 9, -1);
    auto boxes = RunTest();
    SimClearInjections();
    ASSERT_EQ(boxes.size(), 10u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(boxes[i], "レジスタ書込みエラー(adr = MAC_DSP_ADR_94)");
    EXPECT_EQ(boxes[9], "基板外ループ起動エラー");
    EXPECT_EQ(JournalOf(SIM_OP_ScanPrepare).size(), 1u);
    EXPECT_EQ(JournalOf(SIM_OP_ScanDataSet).size(), 1u);
    for (const auto &box : ToolBoxes(*sinks.boxes))
        EXPECT_EQ(box.icon, fw::MsgIcon::Stop);

    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_90, 9, 1);
    boxes = RunTest();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "レジスタ書込みエラー(adr = MAC_DSP_ADR_90)");
    EXPECT_EQ(JournalOf(SIM_OP_ScanPrepare).size(), 1u); // row 1 failing does not stop the test

    const struct {
        uint32_t offset;
        const char *text;
    } registers[] = {{0x44, "レジスタライトが失敗しました。(MAC H-UDTCSR)"},
                     {0x88, "レジスタライトが失敗しました。(MAC L-UDTCSR)"},
                     {0x114, "レジスタライトが失敗しました。(DIO L-UDTCSR)"},
                     {0x50, "レジスタライトが失敗しました。(MAC L-DDOASR)"},
                     {0x54, "レジスタライトが失敗しました。(MAC L-DDTCSR)"}};
    for (const auto &r : registers) {
        SimInjectResultAt(SIM_OP_IoWriteLong, r.offset, 2, 1);
        EXPECT_EQ(RunTest(), std::vector<std::string>{r.text});
        EXPECT_TRUE(JournalOf(SIM_OP_ImageRequestClear).empty());
    }

    const struct {
        int op;
        int32_t result;
        const char *text;
    } steps[] = {{SIM_OP_ImageRequestClear, 1, "画像データ取得要求クリアが失敗しました。"},
                 {SIM_OP_ImageRequest, 1, "画像データ取得要求が失敗しました。"},
                 {SIM_OP_ScanPrepare, BOARD_STATUS_SCAN_FIFO_INIT, "走査FIFO初期化エラーが発生しました。"},
                 {SIM_OP_ScanPrepare, 1, "Scan起動準備が失敗しました。"}};
    for (const auto &s : steps) {
        SimInjectResult(s.op, s.result, 1);
        EXPECT_EQ(RunTest(), std::vector<std::string>{s.text});
        EXPECT_EQ(JournalOf(SIM_OP_ScanDataSet).size(), 1u);
    }
}

TEST_F(ScanDataSetDlgTest, MissingMemoryAreaIsNeverWritten)
{
    startup->session().m_pAreaBase[0] = nullptr;
    EXPECT_EQ(RunTest(), std::vector<std::string>{
                             "メモリエリア0のアドレスが0のため、走査データテーブルを書き込めません。"});
    EXPECT_TRUE(JournalOf(SIM_OP_ScanDataSet).empty());

    tool.m_pSession = nullptr;
    EXPECT_EQ(RunTest().size(), 1u);
    EXPECT_TRUE(JournalOf(SIM_OP_ScanDataSet).empty());
}

TEST_F(ScanDataSetDlgTest, ClosingEndsAnEndlessWait)
{
    // Once the tool waits, close it with its close button as a user would.
    std::function<void()> closeWhenWaiting = [&] {
        if (JournalOf(SIM_OP_ScanPrepare).empty()) {
            fw::PostToUi(closeWhenWaiting);
            return;
        }
        EXPECT_FALSE(Click(tool, IDC_TEST)); // no other input while waiting
        EXPECT_TRUE(Click(tool, fw::IDOK));
    };
    fw::PostToUi(closeWhenWaiting);
    EXPECT_TRUE(RunTest("4294967295").empty());
    EXPECT_EQ(tool.m_dwWaitMs, 0xFFFFFFFFu);
    EXPECT_FALSE(tool.IsWindow());
    EXPECT_EQ(JournalOf(SIM_OP_ScanDataSet).size(), 1u); // the second set never came
    ASSERT_TRUE(fw::test::WaitUntil([&] { return !menu.closed.empty(); }));
    EXPECT_EQ(menu.closed, std::vector<unsigned>{TOOL_SCANDATASET});

    // Reopened, the tool starts afresh.
    ASSERT_TRUE(tool.Create());
    EXPECT_EQ(tool.GetDlgItemText(IDC_WAIT), "0");
    EXPECT_EQ(tool.m_dwWaitMs, 0u);
    fw::test::PressCloseBox(tool); // closes for good as well
    EXPECT_FALSE(tool.IsWindow());
    ASSERT_TRUE(fw::test::WaitUntil([&] { return menu.closed.size() == 2; }));
}

// The indirect DSP write's boxes belong to the tool. While one is up the test cannot be started
// a second time, and a tool closed meanwhile makes no further board call once the box goes.
TEST_F(ScanDataSetDlgTest, ARunningTestNeverStartsAgainNorOutlivesItsWindow)
{
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_90, 3, -1); // every indirect write fails
    sinks.boxes->setHold(true);
    std::size_t setsBeforeSecondPress = 0;
    fw::PostToUi([&] {
        EXPECT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
        setsBeforeSecondPress = JournalOf(SIM_OP_StreamBufferSet).size();
        sinks.boxes->setHold(false); // a second test, if one started, would not stop here
        Click(tool, IDC_TEST);       // pressed again while the first box is up
        sinks.boxes->releaseAll();
    });
    RunTest();
    const auto boxes = ToolBoxes(*sinks.boxes);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, "レジスタ書込みエラー(adr = MAC_DSP_ADR_90)");
    EXPECT_EQ(boxes[0].owner, tool.GetSafeHwnd());
    EXPECT_EQ(setsBeforeSecondPress, 1u);
    EXPECT_EQ(JournalOf(SIM_OP_StreamBufferSet).size(), 1u) << "a second test ran inside the first";

    // Closed while the box is up: after it, the test calls the board no more.
    sinks.boxes->setHold(true);
    std::size_t callsAtClose = 0;
    fw::PostToUi([&] {
        EXPECT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
        sinks.boxes->setHold(false);
        EXPECT_TRUE(Click(tool, fw::IDOK));
        callsAtClose = SimJournalCount();
        sinks.boxes->releaseAll();
    });
    RunTest();
    EXPECT_FALSE(tool.IsWindow());
    EXPECT_EQ(SimJournalCount(), callsAtClose);
    EXPECT_EQ(tools_test::BoxTexts(*sinks.boxes).size(), 1u);
    SimClearInjections();
}

} // namespace
