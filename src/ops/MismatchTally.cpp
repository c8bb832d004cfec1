#include "ops/MismatchTally.h"

#include <algorithm>
#include <utility>

namespace ops {

uint8_t BankTally::stuckAtZero(uint64_t atLeast) const
{
    uint8_t bits = 0;
    for (int b = 0; b < 8; ++b)
        if (readZeroWroteOne[b] >= std::max<uint64_t>(atLeast, 1) && readOneWroteZero[b] == 0)
            bits |= static_cast<uint8_t>(1u << b);
    return bits;
}

uint8_t BankTally::stuckAtOne(uint64_t atLeast) const
{
    uint8_t bits = 0;
    for (int b = 0; b < 8; ++b)
        if (readOneWroteZero[b] >= std::max<uint64_t>(atLeast, 1) && readZeroWroteOne[b] == 0)
            bits |= static_cast<uint8_t>(1u << b);
    return bits;
}

MismatchTally::MismatchTally(uint32_t recordCap, bool addressWords)
    : cap_(recordCap), addressWords_(addressWords)
{
}

BankTally &MismatchTally::Bank(uint32_t bank)
{
    if (last_ < banks_.size() && banks_[last_].bank == bank)
        return banks_[last_];
    for (size_t i = 0; i < banks_.size(); ++i) {
        if (banks_[i].bank == bank) {
            last_ = i;
            return banks_[i];
        }
    }
    BankTally tally;
    tally.bank = bank;
    tally.blockErrors.assign(kTallyBlocksPerBank, 0);
    banks_.push_back(std::move(tally));
    last_ = banks_.size() - 1;
    return banks_.back();
}

void MismatchTally::AddChecked(uint32_t bank, uint64_t units)
{
    Bank(bank).checked += units;
}

void MismatchTally::Add(uint32_t bank, uint32_t offset, uint32_t wrote, uint32_t read)
{
    BankTally &t = Bank(bank);
    ++t.errors;
    const uint32_t differ = wrote ^ read;
    if (addressWords_)
        t.addressBitsDiffer |= differ;
    // Each byte lane counts into the same eight data bits.
    for (uint32_t lane = differ, w = wrote; lane != 0; lane >>= 8, w >>= 8) {
        for (uint32_t bits = lane & 0xFF; bits != 0; bits &= bits - 1) {
            const int b = __builtin_ctz(bits);
            if (w & (1u << b))
                ++t.readZeroWroteOne[b];
            else
                ++t.readOneWroteZero[b];
        }
    }
    const uint32_t block = offset / kTallyBlockBytes;
    if (block < t.blockErrors.size())
        ++t.blockErrors[block];
    if (t.records.size() < cap_)
        t.records.push_back({offset, wrote, read});
    else
        t.capped = true;
}

uint64_t MismatchTally::TotalErrors() const
{
    uint64_t total = 0;
    for (const BankTally &t : banks_)
        total += t.errors;
    return total;
}

} // namespace ops
