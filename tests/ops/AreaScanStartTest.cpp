// The scan tool's Start as board calls: the sequence for the tool's defaults and its options,
// where the caller's hooks run in it, and each failing step's box.
#include "OpsFixture.h"

#include "ops/AreaScanStart.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace opstest;

namespace {

std::string Write(uint32_t reg, uint32_t value)
{
    return "IoWriteLong " + std::to_string(reg) + " " + std::to_string(value);
}

std::vector<std::string> Geometry(uint32_t lines, uint32_t pixels)
{
    const uint32_t area = lines * 65536u + pixels;
    return {Write(REG_MAC_H_UDTCSR, area), Write(REG_MAC_L_UDTCSR, area), Write(REG_DIO_L_UDTCSR, area),
            "ImageRequestClear"};
}

std::vector<std::string> DspBlock(uint32_t pixels, uint32_t lines, uint32_t sizeCode, uint32_t count,
                                  uint32_t clkout)
{
    std::vector<std::string> calls;
    const uint32_t rows[6][2] = {{DSP_PARAM_BLOCK + 0, pixels}, {DSP_PARAM_BLOCK + 1, lines},
                                 {DSP_PARAM_BLOCK + 2, sizeCode}, {DSP_PARAM_BLOCK + 3, count},
                                 {DSP_PARAM_BLOCK + 7, clkout},  {DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN}};
    for (const auto &row : rows) {
        calls.push_back(Write(REG_MAC_DSP_ADR_90, row[0]));
        calls.push_back(Write(REG_MAC_DSP_ADR_94, row[1]));
    }
    return calls;
}

template <typename... Parts>
std::vector<std::string> Join(const Parts &...parts)
{
    std::vector<std::string> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

class AreaScanStartTest : public OpsTest {
protected:
    // Runs Start; the hooks record where they ran (as journal-like lines in `events`) and the
    // batch issues into the library's buffer, or into `ap` when it is set.
    ops::Result Run(const ops::AreaScanParams &params)
    {
        ops::AreaScanHooks hooks;
        hooks.clearRequests = [this] {
            events.push_back("clear at " + std::to_string(SimJournalCount()));
            return ImageRequestClear(board);
        };
        hooks.issueBatch = [this](uint32_t count) {
            events.push_back("batch " + std::to_string(count) + " at " + std::to_string(SimJournalCount()));
            ops::IssueRequestBatch(board, count, ap.empty() ? nullptr : ap.data(), uint32_t(ap.size()),
                                   [this](const uint8_t *buffer, uint32_t size) {
                                       registered.push_back({buffer, size, SimJournalCount()});
                                   });
        };
        hooks.prepared = [this] { events.push_back("prepared at " + std::to_string(SimJournalCount())); };
        hooks.sleep = [this](uint32_t ms) {
            events.push_back("sleep " + std::to_string(ms) + " at " + std::to_string(SimJournalCount()));
        };
        return ops::StartAreaScan(board, params, hooks);
    }

    static ops::AreaScanParams Small()
    {
        ops::AreaScanParams p;
        p.lines = 16;
        p.pixels = 32;
        return p;
    }

    struct Registered {
        const uint8_t *buffer;
        uint32_t size;
        size_t journalAt; // journal entries made before it was registered
    };
    std::vector<std::string> events;
    std::vector<Registered> registered;
    std::vector<uint8_t> ap;
};

TEST_F(AreaScanStartTest, DefaultsProgramTheBoardInOrder)
{
    const ops::Result r = Run(ops::AreaScanParams{});
    EXPECT_TRUE(r.ok()) << r.step;
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(Calls(), Join(Geometry(1024, 1024),
                            std::vector<std::string>{"ImageRequest null 0", "ScanPrepare 1 1 1 1",
                                                     Write(REG_DIO_IMG_GETMODE, 0)},
                            DspBlock(1024, 1024, 0, 1, 1)));
    // The clear goes through the caller, the batch before ScanPrepare, "prepared" right after it
    // (before the mode write), the delay after the DSP command.
    EXPECT_EQ(events, (std::vector<std::string>{"clear at 3", "batch 1 at 4", "prepared at 6", "sleep 0 at 19"}));
}

TEST_F(AreaScanStartTest, OptionsShapeTheSequence)
{
    // Program buffer batch before the start: each share registered before its request.
    ap.assign(4096, 0);
    ops::AreaScanParams p = Small();
    p.requestCount = 4;
    p.pixelBytes = 2;
    p.unitFlags = SCAN_UNIT_LINE | SCAN_NO_MASK_OPEN_DELAY;
    p.lineInterval = 8;
    p.startCount = 3;
    p.clkoutWait = 7;
    p.startDelayMs = 25;
    ASSERT_TRUE(Run(p).ok());
    std::vector<std::string> batch(4, "ImageRequest buffer 1024");
    EXPECT_EQ(Calls(), Join(Geometry(16, 32), batch,
                            std::vector<std::string>{"ScanPrepare 1 " + std::to_string(SCAN_NO_MASK_OPEN_DELAY) + " 2 8",
                                                     Write(REG_DIO_IMG_GETMODE, 0)},
                            DspBlock(32, 16, 1, 3, 7)));
    ASSERT_EQ(registered.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(registered[i].buffer, ap.data() + 1024 * i);
        EXPECT_EQ(registered[i].size, 1024u);
        EXPECT_EQ(registered[i].journalAt, 4 + i) << "registered before its request";
    }
    EXPECT_EQ(events.back(), "sleep 25 at 22");

    // After the start, no DSP block (started by the DSP's own program), 32-bit pixels.
    Reopen();
    events.clear();
    registered.clear();
    ap.clear();
    p = Small();
    p.issueBeforeStart = false;
    p.requestCount = 2;
    p.dspStart = false;
    p.pixelBytes = 4;
    ASSERT_TRUE(Run(p).ok());
    EXPECT_EQ(Calls(), Join(Geometry(16, 32),
                            std::vector<std::string>{"ScanPrepare 1 1 4 1", Write(REG_DIO_IMG_GETMODE, 0),
                                                     "ImageRequest null 0", "ImageRequest null 0"}));
    EXPECT_EQ(events, (std::vector<std::string>{"clear at 3", "prepared at 5", "sleep 0 at 6", "batch 2 at 6"}));

    // A count of 0, or manual issue: no batch at all.
    for (bool manual : {false, true}) {
        Reopen();
        events.clear();
        p = Small();
        p.requestCount = manual ? 1 : 0;
        p.autoIssue = !manual;
        p.dspStart = false;
        ASSERT_TRUE(Run(p).ok());
        EXPECT_EQ(Calls(), Join(Geometry(16, 32),
                                std::vector<std::string>{"ScanPrepare 1 1 1 1", Write(REG_DIO_IMG_GETMODE, 0)}));
        EXPECT_EQ(events, (std::vector<std::string>{"clear at 3", "prepared at 5", "sleep 0 at 6"}));
    }
}

TEST_F(AreaScanStartTest, EachFailingStepStopsWithItsBox)
{
    const struct {
        int op;
        int32_t reg; // -1: any call of op
        int32_t status;
        const char *step;
        const char *text;
        size_t calls;    // journal entries made
        bool prepared;
    } cases[] = {
        {SIM_OP_IoWriteLong, REG_MAC_H_UDTCSR, 5, "MAC H-UDTCSR", "レジスタライトが失敗しました。(MAC H-UDTCSR)", 1, false},
        {SIM_OP_IoWriteLong, REG_MAC_L_UDTCSR, 5, "MAC L-UDTCSR", "レジスタライトが失敗しました。(MAC L-UDTCSR)", 2, false},
        {SIM_OP_IoWriteLong, REG_DIO_L_UDTCSR, 5, "DIO L-UDTCSR", "レジスタライトが失敗しました。(DIO L-UDTCSR)", 3, false},
        {SIM_OP_ImageRequestClear, -1, 7, "ImageRequestClear", "矩形データ取得要求クリアが失敗しました。", 4, false},
        {SIM_OP_ScanPrepare, -1, BOARD_STATUS_SCAN_FIFO_INIT, "ScanPrepare", "走査FIFO初期化エラーが発生しました。", 6, false},
        {SIM_OP_ScanPrepare, -1, 3, "ScanPrepare", "Scan起動準備が失敗しました。", 6, false},
        {SIM_OP_IoWriteLong, REG_DIO_IMG_GETMODE, 5, "DIO_IMG_GETMODE_108",
         "レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)", 7, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Reopen();
        events.clear();
        if (c.reg < 0)
            SimInjectResult(c.op, c.status, 1);
        else
            SimInjectResultAt(c.op, uint32_t(c.reg), c.status, 1);
        const ops::Result r = Run(Small());
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.message, c.text);
        EXPECT_EQ(r.icon, ops::Icon::Stop);
        EXPECT_TRUE(r.caption.empty());
        EXPECT_EQ(Calls().size(), c.calls);
        const bool prepared = std::find(events.begin(), events.end(), "prepared at 6") != events.end();
        EXPECT_EQ(prepared, c.prepared);
        EXPECT_TRUE(events.empty() || events.back().rfind("sleep", 0) != 0) << "no delay after a failure";
    }

    // The DSP writes' answers are not looked at: a refused one still ends in the command.
    Reopen();
    events.clear();
    SimInjectResultAt(SIM_OP_IoWriteLong, REG_MAC_DSP_ADR_94, 5, 2);
    EXPECT_TRUE(Run(Small()).ok());
    EXPECT_EQ(Calls().back(), Write(REG_MAC_DSP_ADR_94, DSP_CMD_AREA_SCAN));
}

} // namespace
