#include "ops/MemoryPattern.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace ops {
namespace {

constexpr std::string_view kNames[] = {"zeros",        "ones",          "checker-55", "checker-aa",
                                       "walking-ones", "walking-zeros", "address",    "random",
                                       "bit-flip",     "bit-spread",    "block-sequential",
                                       "sequential-increment"};

// Octal digit sums of 12-bit values (four digits), modulo 8.
constexpr std::array<uint8_t, 4096> MakeDigitSums()
{
    std::array<uint8_t, 4096> sums{};
    for (uint32_t v = 0; v < 4096; ++v)
        sums[v] = static_cast<uint8_t>(((v & 7) + (v >> 3 & 7) + (v >> 6 & 7) + (v >> 9 & 7)) & 7);
    return sums;
}
constexpr std::array<uint8_t, 4096> kDigitSums = MakeDigitSums();

// Eight bytes of walking ones whose first byte has bit `first` set: byte k has bit first + k.
constexpr std::array<uint64_t, 8> MakeWalkingWords()
{
    std::array<uint64_t, 8> words{};
    for (int first = 0; first < 8; ++first)
        for (int k = 0; k < 8; ++k)
            words[first] |= uint64_t{1} << ((first + k) % 8) << (8 * k);
    return words;
}
constexpr std::array<uint64_t, 8> kWalkingWords = MakeWalkingWords();

// The walking pattern's 4096-word runs, one for each digit sum (mod 8) of the bits above them.
const std::vector<uint64_t> &WalkingRuns(bool zeros)
{
    auto make = [](uint64_t invert) {
        std::vector<uint64_t> runs(8 * 4096);
        for (uint32_t high = 0; high < 8; ++high)
            for (uint32_t low = 0; low < 4096; ++low)
                runs[high * 4096 + low] = kWalkingWords[(high + kDigitSums[low]) & 7] ^ invert;
        return runs;
    };
    static const std::vector<uint64_t> ones = make(0), inverted = make(~uint64_t{0});
    return zeros ? inverted : ones;
}

// splitmix64's output function: the random pattern's word i of a bank is Mix(start + i * gamma),
// which any range can compute without the words before it.
constexpr uint64_t kGamma = 0x9E3779B97F4A7C15ull;
inline uint64_t Mix(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Octal digit sum of the offset's bits above the low three (offset / 8), modulo 8.
inline uint32_t HighDigitSum(uint32_t offset)
{
    const uint32_t q = offset >> 3;
    return kDigitSums[q & 0xFFF] + kDigitSums[q >> 12 & 0xFFF] + kDigitSums[q >> 24 & 0xFFF];
}

} // namespace

std::string_view PatternName(MemoryPattern pattern)
{
    const auto index = static_cast<size_t>(pattern);
    return index < std::size(kNames) ? kNames[index] : std::string_view{"?"};
}

std::optional<MemoryPattern> ParsePattern(std::string_view name)
{
    for (MemoryPattern p : kAllMemoryPatterns)
        if (PatternName(p) == name)
            return p;
    return std::nullopt;
}

uint32_t PatternPasses(MemoryPattern pattern)
{
    switch (pattern) {
    case MemoryPattern::BitFlip: return 16;
    case MemoryPattern::BitSpread: return 12;
    case MemoryPattern::BlockSequential: return 8;
    default: return 1;
    }
}

int WalkingBit(uint32_t offset)
{
    return static_cast<int>((HighDigitSum(offset) + (offset & 7)) & 7);
}

void GeneratePattern(MemoryPattern pattern, uint64_t seed, uint32_t bank, uint32_t offset,
                     uint8_t *out, uint32_t count, uint32_t pass)
{
    const uint32_t words = count / 8;
    // Words are built in a register and stored with memcpy: the buffer need not be aligned.
    auto store = [out](uint32_t i, uint64_t w) { std::memcpy(out + 8 * size_t{i}, &w, 8); };
    switch (pattern) {
    case MemoryPattern::Zeros:
        std::memset(out, 0x00, count);
        return;
    case MemoryPattern::Ones:
        std::memset(out, 0xFF, count);
        return;
    case MemoryPattern::Checker55:
        std::memset(out, 0x55, count);
        return;
    case MemoryPattern::CheckerAA:
        std::memset(out, 0xAA, count);
        return;
    case MemoryPattern::WalkingOnes:
    case MemoryPattern::WalkingZeros: {
        // Within a run of 4096 words (32 KB) only the low four octal digits of offset / 8 change,
        // so each run is one of eight precomputed runs: copying it is as fast as a memset.
        const std::vector<uint64_t> &runs = WalkingRuns(pattern == MemoryPattern::WalkingZeros);
        for (uint32_t i = 0; i < words;) {
            const uint32_t q = offset / 8 + i;
            const uint32_t low = q & 0xFFF;
            const uint32_t high = (kDigitSums[q >> 12 & 0xFFF] + kDigitSums[q >> 24 & 0xFFF]) & 7;
            const uint32_t n = std::min(words - i, 4096 - low);
            std::memcpy(out + 8 * size_t{i}, &runs[high * 4096 + low], 8 * size_t{n});
            i += n;
        }
        return;
    }
    case MemoryPattern::AddressInAddress:
        for (uint32_t i = 0; i < words; ++i) {
            const uint64_t at = offset + 8 * i;
            store(i, at | (at + 4) << 32); // little-endian: the lower word comes first
        }
        return;
    case MemoryPattern::Random: {
        const uint64_t start = Mix(seed ^ (uint64_t{bank} + 1) * kGamma);
        uint64_t state = start + (uint64_t{offset / 8} + 1) * kGamma;
        for (uint32_t i = 0; i < words; ++i, state += kGamma)
            store(i, Mix(state));
        return;
    }
    case MemoryPattern::BitFlip:
    case MemoryPattern::BitSpread: {
        // Pass 2k holds the byte v in even bytes and ~v in odd ones; pass 2k + 1 the other way.
        // The offset is a multiple of 8, so every word starts with an even byte.
        const uint32_t k = pass / 2;
        const uint64_t v = pattern == MemoryPattern::BitFlip ? (1u << k) : (1u << k | 1u << (k + 2));
        uint64_t word = v * 0x0001000100010001ull | (~v & 0xFF) * 0x0100010001000100ull;
        if (pass % 2 != 0)
            word = ~word;
        for (uint32_t i = 0; i < words; ++i)
            store(i, word);
        return;
    }
    case MemoryPattern::BlockSequential: {
        // Block k holds k XOR the pass's mask: each pass a different byte value in every block,
        // and every bit of every byte both ways over the passes.
        constexpr uint8_t kMasks[] = {0x00, 0xFF, 0x55, 0xAA, 0x33, 0xCC, 0x0F, 0xF0};
        constexpr uint32_t kBlock = 0x20000; // 128 KiB: 256 blocks a bank
        for (uint32_t done = 0; done < count;) {
            const uint32_t at = offset + done;
            const uint32_t n = std::min(count - done, kBlock - at % kBlock);
            std::memset(out + done, static_cast<int>(((at / kBlock) ^ kMasks[pass % 8]) & 0xFF), n);
            done += n;
        }
        return;
    }
    case MemoryPattern::SequentialIncrement: {
        // The start differs per bank, so a bank that answers for another one shows.
        const uint32_t start = static_cast<uint32_t>(Mix(seed ^ (uint64_t{bank} + 1) * kGamma ^ 0x5EC));
        for (uint32_t i = 0; i < words; ++i) {
            const uint64_t index = uint64_t{start} + offset / 4 + 2 * i;
            store(i, (index & 0xFFFFFFFF) | ((index + 1) & 0xFFFFFFFF) << 32);
        }
        return;
    }
    }
}

} // namespace ops
