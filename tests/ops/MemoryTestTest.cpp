// The memory test on the simulated board: every pattern on a healthy board, the planted faults
// and their diagnoses, preserve, seed replay, failing transfers and cancel.
#include "OpsFixture.h"

#include "ops/MemoryTest.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <set>

using namespace opstest;

namespace {

constexpr uint32_t kMB = 0x100000;

std::vector<uint8_t> ReadChunk(BoardHandle board, uint32_t bank, uint32_t offset)
{
    std::vector<uint8_t> data(kMB);
    EXPECT_EQ(FrameMemoryRead(board, bank, offset, kMB, data.data()), 0);
    return data;
}

// Byte offsets named by a bank's records (each differing byte of a word).
std::set<uint32_t> BadBytes(const ops::BankTally &t)
{
    std::set<uint32_t> offsets;
    for (const ops::MismatchRecord &r : t.records)
        for (uint32_t lane = 0; lane < 4; ++lane)
            if ((r.wrote ^ r.read) >> (8 * lane) & 0xFF)
                offsets.insert(r.offset + lane);
    return offsets;
}

class MemoryTestTest : public OpsTest {};

TEST_F(MemoryTestTest, HealthyBoardPassesEveryPatternAndHoldsIt)
{
    for (ops::MemoryPattern pattern : ops::kAllMemoryPatterns) {
        SCOPED_TRACE(std::string(ops::PatternName(pattern)));
        SimJournalClear();
        std::vector<double> progress;
        ops::MemoryTestOptions options; // two banks keep the run short under the sanitizers
        options.banks = {0, 3};
        options.seed = 42;
        options.progress = [&progress](double f) { progress.push_back(f); };
        const ops::MemoryPatternReport report = ops::RunMemoryPattern(board, pattern, options);
        EXPECT_TRUE(report.result.ok()) << report.result.step;
        ASSERT_EQ(report.banks.size(), 2u);
        for (uint32_t b = 0; b < 2; ++b) {
            EXPECT_EQ(report.banks[b].bank, b * 3);
            EXPECT_EQ(report.banks[b].errors, 0u);
            EXPECT_EQ(report.banks[b].checked, ops::PatternCountsWords(pattern) ? 0x800000u : 0x2000000u);
            EXPECT_EQ(ops::DescribeBank(report.banks[b], pattern), "");
        }
        // Each bank written whole, then read back whole, one transfer at a time, once per pass.
        const std::vector<std::string> calls = Calls();
        const size_t perBank = 64 * ops::PatternPasses(pattern);
        ASSERT_EQ(calls.size(), 2 * perBank);
        EXPECT_EQ(calls[0], "FrameMemoryWrite 0 0 1048576");
        EXPECT_EQ(calls[32], "FrameMemoryRead 0 0 1048576");
        EXPECT_EQ(calls[perBank - 64], "FrameMemoryWrite 0 0 1048576");
        EXPECT_EQ(calls[perBank], "FrameMemoryWrite 3 0 1048576");
        EXPECT_EQ(calls.back(), "FrameMemoryRead 3 32505856 1048576");
        ASSERT_EQ(progress.size(), 2 * perBank);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_DOUBLE_EQ(progress.back(), 1.0);
    }
    // What the last patterns left on the board is what they say: the address pattern's words
    // hold their offsets, walking ones set exactly one bit per byte.
    ops::MemoryTestOptions one;
    one.banks = {2};
    ops::RunMemoryPattern(board, ops::MemoryPattern::AddressInAddress, one);
    std::vector<uint8_t> data = ReadChunk(board, 2, 0x1200000);
    uint32_t word;
    std::memcpy(&word, data.data() + 0x3450, 4);
    EXPECT_EQ(word, 0x1203450u);
    ops::RunMemoryPattern(board, ops::MemoryPattern::WalkingOnes, one);
    data = ReadChunk(board, 2, 0);
    EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](uint8_t b) { return __builtin_popcount(b) == 1; }));
}

TEST_F(MemoryTestTest, FrameFaultScenarioGivesTheBadBytesAndTheStuckBits)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    ops::MemoryTestOptions options; // the faulty banks (sound ones stay clean: see above)
    options.banks = {0, 1};
    std::set<uint32_t> bank0;
    uint8_t stuckAtZero = 0, stuckAtOne = 0;
    for (ops::MemoryPattern pattern : ops::kAllMemoryPatterns) {
        SCOPED_TRACE(std::string(ops::PatternName(pattern)));
        const ops::MemoryPatternReport report = ops::RunMemoryPattern(board, pattern, options);
        ASSERT_TRUE(report.result.ok());
        ASSERT_EQ(report.banks.size(), 2u);
        const std::set<uint32_t> bad = BadBytes(report.banks[0]);
        bank0.insert(bad.begin(), bad.end());
        // A few bad bytes are named, never taken for stuck bits.
        const std::string said = ops::DescribeBank(report.banks[0], pattern);
        EXPECT_TRUE(bad.empty() ? said.empty() : said.rfind("BankNo = 0  不良アドレス", 0) == 0) << said;
        EXPECT_EQ(report.banks[0].stuckAtZero(ops::kStuckBitMinimum) |
                      report.banks[0].stuckAtOne(ops::kStuckBitMinimum), 0);
        stuckAtZero |= report.banks[1].stuckAtZero(ops::kStuckBitMinimum);
        stuckAtOne |= report.banks[1].stuckAtOne(ops::kStuckBitMinimum);
        // Bank 1's faults lie in byte 7 of the first 256 blocks, at most one bad unit each.
        const std::vector<uint32_t> &blocks = report.banks[1].blockErrors;
        EXPECT_EQ(report.banks[1].errors, std::accumulate(blocks.begin(), blocks.begin() + 256, uint64_t{0}));
        EXPECT_LE(*std::max_element(blocks.begin(), blocks.end()), 1u);
        for (const ops::MismatchRecord &r : report.banks[1].records)
            EXPECT_EQ(r.offset % 0x1000, ops::PatternCountsWords(pattern) ? 4u : 7u);
    }
    EXPECT_EQ(bank0, (std::set<uint32_t>{0x10, 0x1234, 0xFFFFF}));
    EXPECT_EQ(stuckAtZero, 0x01);
    EXPECT_EQ(stuckAtOne, 0x80);

    // Walking zeros sees every fault: the offsets by name in bank 0, both stuck bits in bank 1.
    ops::MemoryPatternReport report = ops::RunMemoryPattern(board, ops::MemoryPattern::WalkingZeros, options);
    EXPECT_EQ(ops::DescribeBank(report.banks[0], report.pattern),
              "BankNo = 0  不良アドレス 00000010H 00001234H 000FFFFFH  エラー = 3バイト");
    EXPECT_EQ(ops::DescribeBank(report.banks[1], report.pattern),
              "BankNo = 1  データビット0が0に固着(224件) データビット7が1に固着(32件)  エラー = 224バイト");
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::AddressInAddress, options);
    EXPECT_EQ(ops::DescribeBank(report.banks[0], report.pattern),
              "BankNo = 0  不良アドレス 00000010H 00001234H 000FFFFFH  エラー = 3語");
}

TEST_F(MemoryTestTest, AddressInAddressNamesTheAddressBitsThatDiffer)
{
    // Address line A12 shorted in part of bank 2: sixteen words read as their neighbour across
    // A12 (lane 1 of the word differs in bit 4, read both ways, so no data bit is stuck).
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t offset = 0x40000 + i * 0x800; // every other one has A12 set
        SimPlantFrameByte(2, offset + 1, static_cast<uint8_t>((offset ^ 0x1000) >> 8));
    }
    ops::MemoryTestOptions options;
    options.banks = {2};
    const ops::MemoryPatternReport report =
        ops::RunMemoryPattern(board, ops::MemoryPattern::AddressInAddress, options);
    ASSERT_EQ(report.banks.size(), 1u);
    EXPECT_EQ(report.banks[0].addressBitsDiffer, 0x1000u);
    EXPECT_EQ(ops::DescribeBank(report.banks[0], report.pattern),
              "BankNo = 2  アドレスビット A12 が異なります  エラー = 16語");
}

TEST_F(MemoryTestTest, PreserveLeavesMemoryAsFoundEvenWhenStopped)
{
    // Something recognisable in banks 1 and 2 to begin with.
    std::vector<uint8_t> chunk(kMB);
    for (uint32_t bank = 1; bank <= 2; ++bank)
        for (uint32_t c = 0; c < 32; ++c) {
            for (uint32_t i = 0; i < kMB; i += 4) {
                const uint32_t v = (bank << 28) ^ (c * kMB + i) * 2654435761u;
                std::memcpy(chunk.data() + i, &v, 4);
            }
            ASSERT_EQ(FrameMemoryWrite(board, bank, c * kMB, kMB, chunk.data()), 0);
        }
    auto snapshot = [&] {
        std::vector<uint8_t> all;
        for (uint32_t bank = 1; bank <= 2; ++bank)
            for (uint32_t c = 0; c < 32; ++c) {
                std::vector<uint8_t> d = ReadChunk(board, bank, c * kMB);
                all.insert(all.end(), d.begin(), d.end());
            }
        return all;
    };
    const std::vector<uint8_t> before = snapshot();

    ops::MemoryTestOptions options;
    options.banks = {1, 2};
    options.preserve = true;
    SimJournalClear();
    ops::MemoryPatternReport report = ops::RunMemoryPattern(board, ops::MemoryPattern::Ones, options);
    EXPECT_TRUE(report.result.ok());
    const std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 2u * 128u); // save, write, check, restore: 32 transfers each
    EXPECT_EQ(calls[0], "FrameMemoryRead 1 0 1048576");
    EXPECT_EQ(calls[32], "FrameMemoryWrite 1 0 1048576");
    EXPECT_EQ(calls[96], "FrameMemoryWrite 1 0 1048576");
    EXPECT_EQ(calls[128], "FrameMemoryRead 2 0 1048576");
    EXPECT_TRUE(snapshot() == before);

    // Cancelled half-way through bank 2's check (the hook is asked before every transfer but
    // the restore's), and a check read that fails: the bank is put back all the same.
    int transfers = 0;
    options.cancelled = [&transfers] { return ++transfers > 96 + 64 + 16; };
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::Zeros, options);
    EXPECT_EQ(report.result.step, "cancelled");
    EXPECT_TRUE(snapshot() == before);

    // The hook runs before each transfer: it makes the fifth read of bank 1's check fail.
    transfers = 0;
    options.cancelled = [&transfers] {
        if (++transfers == 32 + 32 + 5)
            SimInjectResultAt(SIM_OP_FrameMemoryRead, 1, 6, 1);
        return false;
    };
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::Random, options);
    EXPECT_EQ(report.result.step, "FrameMemoryRead");
    EXPECT_EQ(report.result.status, 6);
    EXPECT_EQ(report.result.message, "フレームメモリリードが失敗しました。");
    ASSERT_EQ(report.banks.size(), 1u); // bank 2 was not begun
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(MemoryTestTest, SeedReplaysTheRandomPattern)
{
    ops::MemoryTestOptions options;
    options.banks = {3, 0};
    options.seed = 0x1234567890ull;
    ops::MemoryPatternReport report = ops::RunMemoryPattern(board, ops::MemoryPattern::Random, options);
    ASSERT_TRUE(report.result.ok());
    EXPECT_EQ(report.seed, 0x1234567890ull);
    ASSERT_EQ(report.banks.size(), 2u);
    EXPECT_EQ(report.banks[0].bank, 3u);
    const std::vector<uint8_t> first = ReadChunk(board, 3, 0x700000);
    EXPECT_NE(first, ReadChunk(board, 0, 0x700000)); // banks differ: one cannot stand in for another

    ops::RunMemoryPattern(board, ops::MemoryPattern::Zeros, options);
    ops::RunMemoryPattern(board, ops::MemoryPattern::Random, options);
    EXPECT_EQ(ReadChunk(board, 3, 0x700000), first);
    options.seed += 1;
    ops::RunMemoryPattern(board, ops::MemoryPattern::Random, options);
    EXPECT_NE(ReadChunk(board, 3, 0x700000), first);
}

TEST_F(MemoryTestTest, FailingTransfersCancelAndBadBanksStopTheTest)
{
    SimInjectResultAt(SIM_OP_FrameMemoryRead, 2, 6, 1);
    ops::MemoryPatternReport report = ops::RunMemoryPattern(board, ops::MemoryPattern::Checker55, {});
    EXPECT_EQ(report.result.step, "FrameMemoryRead");
    EXPECT_EQ(report.result.status, 6);
    EXPECT_EQ(report.banks.size(), 3u); // what banks 0 to 2 gave so far
    EXPECT_EQ(SimJournalCount(), 3u * 64u - 31u);

    SimJournalClear();
    SimInjectResultAt(SIM_OP_FrameMemoryWrite, 1, 7, 1);
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::Checker55, {});
    EXPECT_EQ(report.result.step, "FrameMemoryWrite");
    EXPECT_EQ(report.result.message, "フレームメモリライトが失敗しました。");
    EXPECT_EQ(SimJournalCount(), 65u);

    SimJournalClear();
    int transfers = 0;
    ops::MemoryTestOptions options;
    options.cancelled = [&transfers] { return ++transfers > 10; };
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::Ones, options);
    EXPECT_EQ(report.result.step, "cancelled");
    EXPECT_TRUE(report.result.message.empty());
    EXPECT_EQ(SimJournalCount(), 10u);

    // A bank the board does not have is refused before anything is touched.
    SimJournalClear();
    options.cancelled = nullptr;
    options.banks = {0, 4};
    report = ops::RunMemoryPattern(board, ops::MemoryPattern::Ones, options);
    EXPECT_EQ(report.result.step, "parameter");
    EXPECT_EQ(SimJournalCount(), 0u);
}

} // namespace

// Each many-pass pattern finds the faults it is there for, counts a bad byte once however many
// passes see it, and tells the stuck bits apart by direction.
TEST_F(MemoryTestTest, ManyPassPatternsCatchTheirFaults)
{
    struct Stuck {
        uint32_t offset;
        uint8_t andMask, orMask;
    };
    // Byte i of the first eight has bit i stuck at 0, of the next eight bit i stuck at 1; even
    // and odd offsets both.
    std::vector<Stuck> everyBit;
    for (uint8_t i = 0; i < 8; ++i) {
        everyBit.push_back({0x100 + 3u * i, static_cast<uint8_t>(~(1u << i)), 0});
        everyBit.push_back({0x800 + 5u * i, 0xFF, static_cast<uint8_t>(1u << i)});
    }
    // A byte that always reads what its A20 neighbour holds in the first pass (block 14 of 256).
    const std::vector<Stuck> aliased = {{0x1C0000 + 0x40, 0, 14 ^ 8}};
    struct Row {
        ops::MemoryPattern pattern;
        std::vector<Stuck> faults;
        bool everyBitBothWays; // each data bit read wrong once as 0 and once as 1
    };
    const Row rows[] = {
        {ops::MemoryPattern::BitFlip, everyBit, true},
        {ops::MemoryPattern::BitSpread, everyBit, true},
        {ops::MemoryPattern::BlockSequential, everyBit, true},
        {ops::MemoryPattern::BlockSequential, aliased, false},
        {ops::MemoryPattern::SequentialIncrement, aliased, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(ops::PatternName(row.pattern)) + " " + std::to_string(row.faults.size()));
        SimClearFrameFaults();
        for (const Stuck &s : row.faults)
            SimPlantStuckBits(1, s.offset, s.andMask, s.orMask);
        ops::MemoryTestOptions options;
        options.banks = {1};
        options.seed = 5;
        const ops::MemoryPatternReport report = ops::RunMemoryPattern(board, row.pattern, options);
        ASSERT_TRUE(report.result.ok());
        const ops::BankTally &t = report.banks.at(0);
        EXPECT_EQ(t.checked, ops::PatternCountsWords(row.pattern) ? 0x800000u : 0x2000000u);
        std::set<uint32_t> planted;
        for (const Stuck &s : row.faults)
            planted.insert(s.offset);
        EXPECT_EQ(BadBytes(t), planted);
        EXPECT_EQ(t.errors, row.faults.size());
        if (row.everyBitBothWays)
            for (int b = 0; b < 8; ++b) {
                EXPECT_EQ(t.readZeroWroteOne[b], 1u) << b;
                EXPECT_EQ(t.readOneWroteZero[b], 1u) << b;
            }
    }
}
