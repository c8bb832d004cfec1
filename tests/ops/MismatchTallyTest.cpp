// The tally's counts (exact beyond the cap, per data bit, per block), the compare filling one
// without changing its log, and patterns generated again for any range coming out the same.
#include "OpsFixture.h"

#include "ops/FrameCompare.h"
#include "ops/FrameMemory.h"
#include "ops/MemoryPattern.h"
#include "ops/MismatchTally.h"

#include <algorithm>
#include <cstring>

using namespace opstest;

namespace {

TEST(MismatchTally, CountsExactlyPerBitAndBlockWhateverTheCap)
{
    ops::MismatchTally tally(2);
    tally.AddChecked(1, 100);
    tally.Add(1, 0x0007, 0x01, 0x00); // bit 0 read 0
    tally.Add(1, 0x1007, 0x00, 0x80); // bit 7 read 1
    tally.Add(1, 0x1008, 0x81, 0x00); // bits 0 and 7 read 0: bit 7 now failed both ways
    tally.Add(0, 0x10, 0x00, 0xFF);
    ASSERT_EQ(tally.Banks().size(), 2u);
    const ops::BankTally &one = tally.Banks()[0];
    EXPECT_EQ(one.bank, 1u);
    EXPECT_EQ(one.checked, 100u);
    EXPECT_EQ(one.errors, 3u);
    EXPECT_EQ(one.records.size(), 2u);
    EXPECT_TRUE(one.capped);
    EXPECT_EQ(one.readZeroWroteOne[0], 2u);
    EXPECT_EQ(one.readOneWroteZero[7], 1u);
    EXPECT_EQ(one.stuckAtZero(), 0x01);
    EXPECT_EQ(one.stuckAtOne(), 0x00);
    EXPECT_EQ(one.stuckAtZero(3), 0x00); // two failures are not enough when three are asked
    EXPECT_EQ(one.blockErrors[0], 1u);
    EXPECT_EQ(one.blockErrors[1], 2u);
    EXPECT_EQ(one.addressBitsDiffer, 0u); // byte units: no address bits
    EXPECT_EQ(tally.Banks()[1].stuckAtOne(), 0xFF);
    EXPECT_EQ(tally.TotalErrors(), 4u);

    // Words count each byte lane into the same eight data bits.
    ops::MismatchTally words(4096, true);
    words.Add(2, 0x1FFFFFC, 0x01FFFFFC, 0x81FF7FFD);
    const ops::BankTally &w = words.Banks()[0];
    EXPECT_EQ(w.addressBitsDiffer, 0x80008001u);
    EXPECT_EQ(w.readOneWroteZero[0], 1u); // lane 0 bit 0
    EXPECT_EQ(w.readOneWroteZero[7], 1u); // lane 3 bit 7
    EXPECT_EQ(w.readZeroWroteOne[7], 1u); // lane 1 bit 7
    EXPECT_EQ(w.blockErrors.back(), 1u);
}

class CompareTallyTest : public OpsTest {};

TEST_F(CompareTallyTest, CompareFillsTheTallyAndLogsExactlyAsBefore)
{
    SimPlantFrameByte(1, 0x123457, 0x00);
    for (uint32_t i = 0; i < ops::kMaxRecordsPerBank + 3; ++i)
        SimPlantFrameByte(2, 0x200000 + i, 0xEE);
    std::vector<uint8_t> buffer(ops::kFrameTransfer);
    auto run = [&](ops::MismatchTally *tally) {
        std::vector<std::string> log;
        ops::CompareHooks hooks;
        hooks.log = [&log](std::string_view text) { log.emplace_back(text); };
        hooks.tally = tally;
        EXPECT_TRUE(ops::CompareFrameMemory(board, 0x10, buffer, hooks).ok());
        return log;
    };
    const std::vector<std::string> plain = run(nullptr);
    ops::MismatchTally tally(ops::kMaxRecordsPerBank);
    EXPECT_EQ(run(&tally), plain);

    ASSERT_EQ(tally.Banks().size(), 4u);
    EXPECT_EQ(tally.Banks()[0].checked, 0x2000000u);
    EXPECT_EQ(tally.Banks()[0].errors, 0u);
    const ops::BankTally &one = tally.Banks()[1];
    ASSERT_EQ(one.records.size(), 1u);
    EXPECT_EQ(one.records[0].offset, 0x123457u);
    EXPECT_EQ(one.records[0].wrote, 0x11u);
    EXPECT_EQ(one.records[0].read, 0x00u);
    const ops::BankTally &two = tally.Banks()[2];
    EXPECT_EQ(two.errors, ops::kMaxRecordsPerBank + 3u); // exact where the log stopped recording
    EXPECT_EQ(two.records.size(), ops::kMaxRecordsPerBank);
    EXPECT_TRUE(two.capped);
    EXPECT_EQ(two.blockErrors[0x200], 4096u);
    EXPECT_EQ(two.blockErrors[0x201], 3u);
}

TEST(MemoryPattern, AnyRangeGeneratesAsPartOfTheWholeAndNamesRoundTrip)
{
    std::vector<uint8_t> whole(0x10000), part(0x108);
    for (ops::MemoryPattern p : ops::kAllMemoryPatterns) {
        SCOPED_TRACE(std::string(ops::PatternName(p)));
        EXPECT_EQ(ops::ParsePattern(ops::PatternName(p)), p);
        ops::GeneratePattern(p, 99, 3, 0x1FF0000, whole.data(), 0x10000);
        ops::GeneratePattern(p, 99, 3, 0x1FF0000 + 0x7A38, part.data(), 0x108);
        EXPECT_EQ(std::memcmp(part.data(), whole.data() + 0x7A38, part.size()), 0);
    }
    EXPECT_FALSE(ops::ParsePattern("checker"));

    // The walking bit of a byte at the same place in each block takes every position, and
    // walking zeros is walking ones inverted.
    uint8_t seen = 0;
    for (uint32_t block = 0; block < 256; ++block)
        seen |= static_cast<uint8_t>(1u << ops::WalkingBit(block * 0x1000 + 7));
    EXPECT_EQ(seen, 0xFF);
    uint8_t ones[8], zeros[8];
    ops::GeneratePattern(ops::MemoryPattern::WalkingOnes, 0, 0, 0x3008, ones, 8);
    ops::GeneratePattern(ops::MemoryPattern::WalkingZeros, 0, 0, 0x3008, zeros, 8);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(ones[k], 1u << ops::WalkingBit(0x3008 + k));
        EXPECT_EQ(zeros[k], static_cast<uint8_t>(~ones[k]));
    }
}

} // namespace
