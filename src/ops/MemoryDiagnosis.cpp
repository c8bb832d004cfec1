// The memory test's one-line diagnosis of a bank (declared in MemoryTest.h).
#include "ops/MemoryTest.h"

#include <cstdio>
#include <set>

namespace ops {
namespace {

// Up to this many bad units are named one by one; more are summed up by bit.
constexpr uint64_t kFewErrors = 8;
// Offsets shown when the errors follow no bit.
constexpr size_t kOffsetsShown = 4;

std::string Hex8(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08XH", value);
    return text;
}

// The byte offsets of the records, in order: a word names each byte that differs in it.
std::vector<uint32_t> BadOffsets(const BankTally &tally, bool words, size_t most)
{
    std::set<uint32_t> seen;
    std::vector<uint32_t> offsets;
    for (const MismatchRecord &r : tally.records) {
        const uint32_t differ = r.wrote ^ r.read;
        for (uint32_t lane = 0; lane < (words ? 4u : 1u); ++lane) {
            if ((differ >> (8 * lane) & 0xFF) == 0 && words)
                continue;
            if (seen.insert(r.offset + lane).second)
                offsets.push_back(r.offset + lane);
            if (offsets.size() == most)
                return offsets;
        }
    }
    return offsets;
}

std::string Stuck(const BankTally &tally)
{
    std::string text;
    for (int b = 0; b < 8; ++b) {
        const bool zero = tally.stuckAtZero(kStuckBitMinimum) & (1u << b);
        const bool one = tally.stuckAtOne(kStuckBitMinimum) & (1u << b);
        if (!zero && !one)
            continue;
        char part[96];
        std::snprintf(part, sizeof part, "%sデータビット%dが%dに固着(%llu件)", text.empty() ? "" : " ", b,
                      one ? 1 : 0,
                      static_cast<unsigned long long>(zero ? tally.readZeroWroteOne[b]
                                                           : tally.readOneWroteZero[b]));
        text += part;
    }
    return text;
}

// Address bits among those a bank's offsets use (A2..A24: a word's low two bits are always 0).
std::string AddressBits(const BankTally &tally)
{
    const uint32_t bits = tally.addressBitsDiffer & (FRAME_MEMORY_BANK_SIZE - 1) & ~3u;
    if (bits == 0)
        return {};
    std::string text = "アドレスビット";
    for (int b = 0; b < 32; ++b)
        if (bits & (1u << b))
            text += " A" + std::to_string(b);
    return text + " が異なります";
}

} // namespace

std::string DescribeBank(const BankTally &tally, MemoryPattern pattern)
{
    if (tally.errors == 0)
        return {};
    const bool words = PatternCountsWords(pattern);
    std::string what;
    const bool allRecorded = tally.records.size() == tally.errors;
    if (!(allRecorded && tally.errors <= kFewErrors)) {
        what = Stuck(tally);
        const std::string address = words ? AddressBits(tally) : std::string{};
        if (!address.empty())
            what += (what.empty() ? "" : " ") + address;
    }
    if (what.empty()) {
        what = "不良アドレス";
        const size_t most = allRecorded && tally.errors <= kFewErrors ? 4 * kFewErrors : kOffsetsShown;
        const std::vector<uint32_t> offsets = BadOffsets(tally, words, most);
        for (uint32_t offset : offsets)
            what += " " + Hex8(offset);
        if (!allRecorded || tally.errors > kFewErrors)
            what += " ほか";
    }
    char head[64], tail[64];
    std::snprintf(head, sizeof head, "BankNo = %u  ", tally.bank);
    std::snprintf(tail, sizeof tail, "  エラー = %llu%s", static_cast<unsigned long long>(tally.errors),
                  words ? "語" : "バイト");
    return head + what + tail;
}

} // namespace ops
