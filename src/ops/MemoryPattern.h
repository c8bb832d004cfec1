// The memory test's patterns and how each is generated: 64 bits at a time, from the bank and
// the offset alone, so a range can be generated again to check what was read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ops {

enum class MemoryPattern {
    Zeros,            // 00 in every byte
    Ones,             // FF
    Checker55,        // 55: neighbouring data bits differ
    CheckerAA,        // AA: the same, every bit the other way
    WalkingOnes,      // one bit set per byte; which bit moves with the address
    WalkingZeros,     // one bit clear per byte, likewise
    AddressInAddress, // each 32-bit word holds its own offset in the bank
    Random,           // from the seed, per bank
    // Several passes over the bank; each pass is written whole, then read back.
    BitFlip,             // 16 passes: bit b alone (or all but b) in even bytes, the complement in
                         // odd ones; the next pass swaps them, so every bit of every byte toggles
    BitSpread,           // 12 passes: bits b and b + 2 alone, likewise against the complement
    BlockSequential,     // 8 passes: 128 KiB block k holds byte k XOR the pass's mask: every
                         // byte value in each pass, no two blocks alike (high address lines)
    SequentialIncrement, // each 32-bit word holds its word index plus a start drawn from the seed
};

constexpr MemoryPattern kAllMemoryPatterns[] = {
    MemoryPattern::Zeros,       MemoryPattern::Ones,         MemoryPattern::Checker55,
    MemoryPattern::CheckerAA,   MemoryPattern::WalkingOnes,  MemoryPattern::WalkingZeros,
    MemoryPattern::AddressInAddress, MemoryPattern::Random,      MemoryPattern::BitFlip,
    MemoryPattern::BitSpread,   MemoryPattern::BlockSequential, MemoryPattern::SequentialIncrement,
};

// ASCII names, stable (command lines and reports use them): zeros ones checker-55 checker-aa
// walking-ones walking-zeros address random bit-flip bit-spread block-sequential
// sequential-increment.
std::string_view PatternName(MemoryPattern pattern);
std::optional<MemoryPattern> ParsePattern(std::string_view name);

// Address-in-address is checked in 32-bit words, every other pattern in bytes.
inline bool PatternCountsWords(MemoryPattern pattern)
{
    return pattern == MemoryPattern::AddressInAddress;
}

// How many times the pattern writes and reads the whole bank (1 for the single-pass ones).
uint32_t PatternPasses(MemoryPattern pattern);

// The walking patterns' bit for a byte offset: the sum of the offset's octal digits, modulo 8.
// Every group of three address bits moves it, so a byte at the same place in every block
// still sees each bit set (and clear) somewhere in one pass.
int WalkingBit(uint32_t offset);

// Fills out[0, count) with the pattern as it lies at [offset, offset + count) of the bank.
// offset and count are multiples of 8; pass < PatternPasses(pattern).
void GeneratePattern(MemoryPattern pattern, uint64_t seed, uint32_t bank, uint32_t offset,
                     uint8_t *out, uint32_t count, uint32_t pass = 0);

} // namespace ops
