// The fill-and-compare engine: its transfers in order, the caller's progress, pauses and cancel,
// the mismatch records and their cap, and the failing transfers.
#include "OpsFixture.h"

#include "ops/FrameCompare.h"
#include "ops/FrameMemory.h"

#include <algorithm>

using namespace opstest;

namespace {

struct Recorded {
    std::vector<std::string> progress, log;
    int pauses = 0;      // pauses with a deadline ahead of now at the call
    int breathers = 0;   // pauses that only let pending work run
};

ops::CompareHooks Hooks(Recorded &rec)
{
    ops::CompareHooks hooks;
    hooks.progress = [&rec](std::string_view text) { rec.progress.emplace_back(text); };
    hooks.log = [&rec](std::string_view text) { rec.log.emplace_back(text); };
    hooks.pauseUntil = [&rec](ops::CompareHooks::Clock::time_point until) {
        if (until > ops::CompareHooks::Clock::now())
            ++rec.pauses;
        else
            ++rec.breathers;
    };
    hooks.pause = std::chrono::hours(1); // never slept: the hook only counts
    return hooks;
}

class FrameCompareTest : public OpsTest {
protected:
    std::vector<uint8_t> buffer = std::vector<uint8_t>(ops::kFrameTransfer);
};

TEST_F(FrameCompareTest, FillsEveryBankThenReadsItBackWithThePausesBetween)
{
    Recorded rec;
    const ops::Result r = ops::CompareFrameMemory(board, 0xFE, buffer, Hooks(rec));
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(rec.log.empty());

    const std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 256u);
    EXPECT_EQ(calls[0], "FrameMemoryWrite 0 0 1048576");
    EXPECT_EQ(calls[127], "FrameMemoryWrite 3 32505856 1048576");
    EXPECT_EQ(calls[128], "FrameMemoryRead 0 0 1048576");
    EXPECT_EQ(calls[255], "FrameMemoryRead 3 32505856 1048576");
    // base + bank wraps in a byte: banks hold FE, FF, 00, 01.
    EXPECT_EQ(rec.progress.front(), "Fill Bank0 1/32");
    EXPECT_EQ(rec.progress[128], "Check Bank0 1/32");
    EXPECT_EQ(rec.progress.back(), "Check Bank3 32/32");
    EXPECT_EQ(rec.breathers, 128);       // one after each fill transfer
    EXPECT_EQ(rec.pauses, 4 * 32 * 21);  // before every 50000th byte of each 1 MB read
}

TEST_F(FrameCompareTest, RecordsMismatchesAndCountsThoseBeyondTheCap)
{
    SimPlantFrameByte(1, 0x123457, 0x00);
    for (uint32_t i = 0; i < ops::kMaxRecordsPerBank + 3; ++i)
        SimPlantFrameByte(2, 0x200000 + i, 0xEE);
    Recorded rec;
    const ops::Result r = ops::CompareFrameMemory(board, 0x10, buffer, Hooks(rec));
    EXPECT_TRUE(r.ok());
    ASSERT_GE(rec.log.size(), 2u);
    EXPECT_EQ(rec.log[0], "● Cmp Error Detect!\r\n");
    EXPECT_EQ(rec.log[1], "   BankNo = 1  Offset = 00123457H\r\n   正常値：11H Read値：00H\r\n");
    EXPECT_EQ(rec.log.size(), 2u + 2u * ops::kMaxRecordsPerBank + 1u);
    EXPECT_EQ(rec.log.back(), "● BankNo = 2  記録を省略したエラー = 3件\r\n");
}

TEST_F(FrameCompareTest, FailingTransfersAndCancelStopTheCompare)
{
    SimInjectResultAt(SIM_OP_FrameMemoryWrite, 2, 7, 1);
    Recorded rec;
    ops::Result r = ops::CompareFrameMemory(board, 0, buffer, Hooks(rec));
    EXPECT_EQ(r.step, "FrameMemoryWrite");
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.message, "フレームメモリライトが失敗しました。");
    EXPECT_EQ(CallsOf(SIM_OP_FrameMemoryWrite).size(), 65u); // banks 0 and 1, then the failing one
    EXPECT_TRUE(CallsOf(SIM_OP_FrameMemoryRead).empty());

    SimJournalClear();
    SimInjectResultAt(SIM_OP_FrameMemoryRead, 3, 6, 1);
    r = ops::CompareFrameMemory(board, 0, buffer, Hooks(rec));
    EXPECT_EQ(r.step, "FrameMemoryRead");
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.message, "フレームメモリリードが失敗しました。");
    EXPECT_EQ(CallsOf(SIM_OP_FrameMemoryRead).size(), 97u);

    // The caller's cancel is looked at before each transfer; a cancelled compare shows no box.
    SimJournalClear();
    int transfers = 0;
    ops::CompareHooks hooks = Hooks(rec);
    hooks.cancelled = [&transfers] { return ++transfers > 10; };
    r = ops::CompareFrameMemory(board, 0, buffer, hooks);
    EXPECT_EQ(r.step, "cancelled");
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(SimJournalCount(), 10u);

    // A buffer shorter than one transfer is never handed to the board.
    SimJournalClear();
    std::vector<uint8_t> small(16);
    r = ops::CompareFrameMemory(board, 0, small, Hooks(rec));
    EXPECT_EQ(r.step, "buffer");
    EXPECT_EQ(SimJournalCount(), 0u);
}

} // namespace
