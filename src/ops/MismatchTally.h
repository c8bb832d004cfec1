// What a compare or a memory test found, per bank: exact totals whatever the record cap, which
// data bits failed which way, the address bits that differ (address-in-address words), the
// errors per 4 KiB block and the first mismatches. Adding a mismatch costs a few counters, so a
// bank full of errors still tallies quickly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ops {

constexpr uint32_t kTallyBlockBytes = 0x1000;                           // one map block, 4 KiB
constexpr uint32_t kTallyBlocksPerBank = 0x2000000 / kTallyBlockBytes; // 8192
constexpr uint64_t kStuckBitMinimum = 8; // one-way failures before a bit is called stuck

// One mismatch: a byte, or a 32-bit word (address-in-address), as written and as read.
struct MismatchRecord {
    uint32_t offset;
    uint32_t wrote;
    uint32_t read;
};

struct BankTally {
    uint32_t bank = 0;
    uint64_t checked = 0; // units checked (bytes, or words for address-in-address)
    uint64_t errors = 0;  // mismatching units, exact
    // Per data bit of a byte lane: a word's four lanes count into the same eight bits.
    std::array<uint64_t, 8> readZeroWroteOne{}, readOneWroteZero{};
    uint32_t addressBitsDiffer = 0;    // OR of (wrote ^ read) over address-in-address words
    std::vector<uint32_t> blockErrors; // mismatching units per 4 KiB block (kTallyBlocksPerBank)
    std::vector<MismatchRecord> records; // the first `cap` mismatches, in the order found
    bool capped = false;                 // mismatches beyond the cap were counted, not recorded

    // Bits that failed at least `atLeast` times, and only ever one way: read 0 where 1 was
    // written (stuck at 0), or read 1 where 0 was written (stuck at 1). Diagnoses ask for
    // kStuckBitMinimum failures, so that a few bad bytes are not taken for stuck bits.
    uint8_t stuckAtZero(uint64_t atLeast = 1) const;
    uint8_t stuckAtOne(uint64_t atLeast = 1) const;
};

class MismatchTally {
public:
    // addressWords: the units are address-in-address words; their differing bits are ORed
    // into addressBitsDiffer.
    explicit MismatchTally(uint32_t recordCap = 4096, bool addressWords = false);

    void Add(uint32_t bank, uint32_t offset, uint32_t wrote, uint32_t read);
    void AddChecked(uint32_t bank, uint64_t units);

    // The bank's tally, made (empty) on first use; banks stay in the order first named.
    BankTally &Bank(uint32_t bank);
    const std::vector<BankTally> &Banks() const { return banks_; }
    std::vector<BankTally> TakeBanks() { return std::move(banks_); }
    uint64_t TotalErrors() const;

private:
    uint32_t cap_;
    bool addressWords_;
    std::vector<BankTally> banks_;
    std::size_t last_ = 0; // index of the bank last added to: runs of one bank find it at once
};

} // namespace ops
