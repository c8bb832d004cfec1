// The start sequence as the board sees it: calls and arguments in order, from the journal.
#include "ScanToolFixture.h"

#include <gmock/gmock.h>

using namespace scantest;
using testing_support::Journal;
using testing_support::JournalOf;

namespace {

struct Call {
    int op;
    std::uint64_t a0, a1;
};

// The journal as (operation, first two arguments), without the reads a test does not care for.
std::vector<Call> Calls()
{
    std::vector<Call> calls;
    for (const SimCall &c : Journal())
        calls.push_back({c.op, c.args[0], c.args[1]});
    return calls;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> DspWrites(const std::vector<Call> &calls)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> writes;
    for (std::size_t i = 0; i + 1 < calls.size(); ++i)
        if (calls[i].op == SIM_OP_IoWriteLong && calls[i].a0 == REG_MAC_DSP_ADR_90 &&
            calls[i + 1].op == SIM_OP_IoWriteLong && calls[i + 1].a0 == REG_MAC_DSP_ADR_94)
            writes.emplace_back(calls[i].a1, calls[i + 1].a1);
    return writes;
}

} // namespace

TEST_F(ScanToolTest, DefaultStartProgramsTheBoardInOrder)
{
    EXPECT_EQ(scan.GetDlgItemText(IDC_LINES_PER_FRAME), "1024");
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_ISSUE_REQUEST));
    EXPECT_TRUE(scan.IsDlgButtonChecked(IDC_BUFFER_DRIVER));
    EXPECT_EQ(g_pRectScanDlg.load(), &scan);
    scanEvent.Set();

    ASSERT_TRUE(Click(IDC_START));
    const std::vector<Call> calls = Calls();
    ASSERT_GE(calls.size(), 7u + 12u);
    const std::uint64_t area = 0x04000400;
    EXPECT_EQ(calls[0].op, SIM_OP_IoWriteLong);
    EXPECT_EQ(calls[0].a0, REG_MAC_H_UDTCSR);
    EXPECT_EQ(calls[0].a1, area);
    EXPECT_EQ(calls[1].a0, REG_MAC_L_UDTCSR);
    EXPECT_EQ(calls[1].a1, area);
    EXPECT_EQ(calls[2].a0, REG_DIO_L_UDTCSR);
    EXPECT_EQ(calls[2].a1, area);
    EXPECT_EQ(calls[3].op, SIM_OP_ImageRequestClear);
    EXPECT_EQ(calls[4].op, SIM_OP_ImageRequest); // driver buffer: null, 0
    EXPECT_EQ(calls[4].a0, 0u);
    EXPECT_EQ(calls[4].a1, 0u);
    EXPECT_EQ(calls[5].op, SIM_OP_ScanPrepare);
    const SimCall prepare = JournalOf(SIM_OP_ScanPrepare).at(0);
    EXPECT_EQ(prepare.args[0], SCAN_KIND_AREA);
    EXPECT_EQ(prepare.args[1], SCAN_UNIT_FRAME);
    EXPECT_EQ(prepare.args[2], 1u);
    EXPECT_EQ(prepare.args[3], 1u); // LineInt field
    EXPECT_EQ(calls[6].a0, REG_DIO_IMG_GETMODE);
    EXPECT_EQ(calls[6].a1, 0u);
    using W = std::pair<std::uint64_t, std::uint64_t>;
    EXPECT_EQ(DspWrites(calls), (std::vector<W>{{0x80006020, 1024}, {0x80006021, 1024},
                                                {0x80006022, 0}, {0x80006023, 1},
                                                {0x80006027, 1}, {0x80006000, 0x15}}));
    EXPECT_EQ(calls.size(), 7u + 12u);

    EXPECT_FALSE(scanEvent.Wait(0)); // reset by the start
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_START));
    EXPECT_FALSE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));
    EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_FRAME_STOP));
    EXPECT_FALSE(Click(IDC_START)); // a running scan is never programmed twice
    EXPECT_EQ(sinks.boxes->count(), 0u);
}

TEST_F(ScanToolTest, StartOptionsReachTheBoard)
{
    // 32-bit pixels, line unit, no mask-open delay, LineInt 16, three AP requests after start.
    fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, 2);
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
    scan.CheckDlgButton(IDC_NO_MASK_OPEN_DELAY, true);
    Type(IDC_LINE_INT_INTERVAL, "16");
    Type(IDC_REQUEST_COUNT, "3");
    Type(IDC_LINES_PER_FRAME, "480abc"); // digits then letters count as the digits
    Type(IDC_PIXELS_PER_LINE, "640");
    ASSERT_TRUE(Click(IDC_BUFFER_AP));
    ASSERT_TRUE(Click(IDC_ISSUE_AFTER_START));
    ASSERT_TRUE(Click(IDC_START));

    const SimCall prepare = JournalOf(SIM_OP_ScanPrepare).at(0);
    EXPECT_EQ(prepare.args[1], SCAN_UNIT_LINE | SCAN_NO_MASK_OPEN_DELAY);
    EXPECT_EQ(prepare.args[2], 4u);
    EXPECT_EQ(prepare.args[3], 16u);
    EXPECT_EQ(JournalOf(SIM_OP_IoWriteLong).at(0).args[1], (480u << 16) | 640u);
    const std::vector<Call> calls = Calls();
    const auto dsp = DspWrites(calls);
    ASSERT_EQ(dsp.size(), 6u);
    EXPECT_EQ(dsp[2], std::make_pair(std::uint64_t(0x80006022), std::uint64_t(2)));

    const std::vector<SimCall> requests = JournalOf(SIM_OP_ImageRequest);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_GT(requests[0].timeNs, JournalOf(SIM_OP_ScanPrepare).at(0).timeNs); // after start
    const std::uint64_t base = requests[0].args[0];
    EXPECT_NE(base, 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].args[0] - base, std::uint64_t(11184810) * i);
        EXPECT_EQ(requests[i].args[1], 11184810u);
    }
    // The command word comes last of the DSP writes, then the after-start batch.
    std::size_t commandAt = 0, firstRequestAt = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].op == SIM_OP_IoWriteLong && calls[i].a1 == 0x80006000)
            commandAt = i;
        if (calls[i].op == SIM_OP_ImageRequest && firstRequestAt == 0)
            firstRequestAt = i;
    }
    EXPECT_LT(commandAt, firstRequestAt);
}

TEST_F(ScanToolTest, ManualIssueDspControlAndZeroRequests)
{
    ASSERT_TRUE(Click(IDC_ISSUE_MANUAL));
    EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_ISSUE_REQUEST));
    ASSERT_TRUE(Click(IDC_START_BY_DSP));
    EXPECT_EQ(scan.GetDlgItemText(IDC_START), "初期化");
    ASSERT_TRUE(Click(IDC_START));
    std::vector<Call> calls = Calls();
    EXPECT_TRUE(JournalOf(SIM_OP_ImageRequest).empty());
    EXPECT_TRUE(DspWrites(calls).empty());
    EXPECT_EQ(calls.back().op, SIM_OP_IoWriteLong); // the mode register still goes
    EXPECT_EQ(calls.back().a0, REG_DIO_IMG_GETMODE);

    // A manual request asks for the library's buffer, whatever the buffer mode says.
    ASSERT_TRUE(Click(IDC_BUFFER_AP));
    SimJournalClear();
    ASSERT_TRUE(Click(IDC_ISSUE_REQUEST));
    const auto manual = JournalOf(SIM_OP_ImageRequest);
    ASSERT_EQ(manual.size(), 1u);
    EXPECT_EQ(manual[0].args[0], 0u);
    EXPECT_THAT(Log(), testing::MatchesRegex("[0-9][0-9]:[0-9][0-9]:[0-9][0-9]  --> 画像取得要求発行\r?\n"));
    SimInjectResult(SIM_OP_ImageRequest, 5, 1);
    ASSERT_TRUE(Click(IDC_ISSUE_REQUEST));
    EXPECT_TRUE(sinks.boxes->contains("矩形データ取得要求が失敗しました。"));

    ASSERT_TRUE(Click(IDC_START_BY_BUTTON));
    EXPECT_EQ(scan.GetDlgItemText(IDC_START), "開始");

    // Request count 0: no request in either position.
    Reopen();
    Type(IDC_REQUEST_COUNT, "0");
    ASSERT_TRUE(Click(IDC_START));
    EXPECT_TRUE(JournalOf(SIM_OP_ImageRequest).empty());
    EXPECT_EQ(JournalOf(SIM_OP_ScanPrepare).size(), 1u);
}

TEST_F(ScanToolTest, EachFailureAbandonsTheStart)
{
    struct Case {
        int op;
        bool at;
        std::uint32_t first;
        std::int32_t result;
        const char *text;
        bool scanning; // the scan state after the failure
    };
    const Case cases[] = {
        {SIM_OP_IoWriteLong, true, REG_MAC_H_UDTCSR, 5, "レジスタライトが失敗しました。(MAC H-UDTCSR)", false},
        {SIM_OP_IoWriteLong, true, REG_MAC_L_UDTCSR, 5, "レジスタライトが失敗しました。(MAC L-UDTCSR)", false},
        {SIM_OP_IoWriteLong, true, REG_DIO_L_UDTCSR, 5, "レジスタライトが失敗しました。(DIO L-UDTCSR)", false},
        {SIM_OP_ImageRequestClear, false, 0, 5, "矩形データ取得要求クリアが失敗しました。", false},
        {SIM_OP_ScanPrepare, false, 0, 128, "走査FIFO初期化エラーが発生しました。", false},
        {SIM_OP_ScanPrepare, false, 0, 7, "Scan起動準備が失敗しました。", false},
        {SIM_OP_IoWriteLong, true, REG_DIO_IMG_GETMODE, 5, "レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Reopen();
        sinks.boxes->clear();
        if (c.at)
            SimInjectResultAt(c.op, c.first, c.result, 1);
        else
            SimInjectResult(c.op, c.result, 1);
        ASSERT_TRUE(Click(IDC_START));
        ASSERT_EQ(sinks.boxes->count(), 1u);
        const fw::test::RecordedBox box = sinks.boxes->boxes()[0];
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.icon, fw::MsgIcon::Stop);
        EXPECT_EQ(box.owner, scan.GetSafeHwnd());
        EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_START)); // a failed start can be tried again
        EXPECT_TRUE(DspWrites(Calls()).empty());        // nothing after the failure
        EXPECT_EQ(scan.IsDlgItemEnabled(IDC_FRAME_STOP) && c.scanning, c.scanning);
        EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), "0");
    }
}

TEST_F(ScanToolTest, ApBufferIsSharedBetweenRequests)
{
    // Choosing AP twice keeps the one buffer; two requests share it in halves.
    ASSERT_TRUE(Click(IDC_BUFFER_AP));
    ASSERT_TRUE(Click(IDC_BUFFER_AP));
    Type(IDC_REQUEST_COUNT, "2");
    ASSERT_TRUE(Click(IDC_START));
    const auto first = JournalOf(SIM_OP_ImageRequest);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].args[0] - first[0].args[0], 0x1000000u);
    EXPECT_EQ(first[0].args[1], 0x1000000u);
}

// The library queues at most 4096 requests: a larger count (or "-1") is refused before any board
// call, with nothing of the dialog changed; the largest count it takes goes through.
TEST_F(ScanToolTest, RequestCountsBeyondTheLibrarysQueueAreRefusedFirst)
{
    for (const char *count : {"10000000", "-1", "4097"}) {
        SCOPED_TRACE(count);
        SimJournalClear();
        sinks.boxes->clear();
        Type(IDC_REQUEST_COUNT, count);
        ASSERT_TRUE(Click(IDC_START));
        ASSERT_EQ(sinks.boxes->count(), 1u);
        EXPECT_EQ(sinks.boxes->boxes()[0].text, "取得要求発行回数が大き過ぎます。(最大4096)");
        EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::Stop);
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_TRUE(scan.IsDlgItemEnabled(IDC_START));
    }
    SimJournalClear();
    sinks.boxes->clear();
    Type(IDC_REQUEST_COUNT, "4096");
    ASSERT_TRUE(Click(IDC_START));
    EXPECT_EQ(sinks.boxes->count(), 0u);
    EXPECT_EQ(JournalOf(SIM_OP_ImageRequest).size(), 4096u);
}
