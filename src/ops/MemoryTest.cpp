#include "ops/MemoryTest.h"

#include "ops/FrameMemory.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

namespace ops {
namespace {

constexpr uint32_t kChunk = kFrameTransfer;                          // one transfer, 1 MB
constexpr uint32_t kChunksPerBank = FRAME_MEMORY_BANK_SIZE / kChunk; // 32
constexpr uint32_t kPiece = 256; // what a failed memcmp narrows down to before units are looked at

Result ReadFailed(int32_t status)
{
    return Failed("FrameMemoryRead", status, "フレームメモリリードが失敗しました。");
}

Result WriteFailed(int32_t status)
{
    return Failed("FrameMemoryWrite", status, "フレームメモリライトが失敗しました。");
}

// Units already counted in an earlier pass of a many-pass pattern: one bit per unit of a bank.
class SeenUnits {
public:
    void Allocate() { bits_.assign(FRAME_MEMORY_BANK_SIZE / 64, 0); } // may throw bad_alloc
    void Clear() { std::fill(bits_.begin(), bits_.end(), 0); }
    // True when the unit at `offset` was seen before (and marks it); false with no map.
    bool Seen(uint32_t offset)
    {
        if (bits_.empty())
            return false;
        uint64_t &word = bits_[offset / 64];
        const uint64_t bit = uint64_t{1} << (offset % 64);
        const bool seen = (word & bit) != 0;
        word |= bit;
        return seen;
    }

private:
    std::vector<uint64_t> bits_;
};

// Tallies the units of one transfer that differ from the pattern. A clean transfer costs one
// memcmp; a dirty one is narrowed down piece by piece. A unit counts once per bank, however
// many passes find it bad.
void Diagnose(MismatchTally &tally, SeenUnits &seen, uint32_t bank, uint32_t offset, const uint8_t *expected,
              const uint8_t *read, bool words)
{
    if (std::memcmp(expected, read, kChunk) == 0)
        return;
    for (uint32_t piece = 0; piece < kChunk; piece += kPiece) {
        if (std::memcmp(expected + piece, read + piece, kPiece) == 0)
            continue;
        if (words) {
            for (uint32_t i = piece; i < piece + kPiece; i += 4) {
                uint32_t e, r;
                std::memcpy(&e, expected + i, 4);
                std::memcpy(&r, read + i, 4);
                if (e != r && !seen.Seen(offset + i))
                    tally.Add(bank, offset + i, e, r);
            }
        } else {
            for (uint32_t i = piece; i < piece + kPiece; ++i)
                if (expected[i] != read[i] && !seen.Seen(offset + i))
                    tally.Add(bank, offset + i, expected[i], read[i]);
        }
    }
}

// One run's state: the buffers, the tally and the progress count.
struct PatternRun {
    BoardHandle board;
    MemoryPattern pattern;
    const MemoryTestOptions &options;
    MismatchTally tally;
    SeenUnits seen;
    std::vector<uint8_t> patternBuf, readBuf, savedBank; // savedBank: one bank, only when preserving
    uint64_t done = 0, total = 0;

    bool Cancelled() const { return options.cancelled && options.cancelled(); }
    void Advance()
    {
        ++done;
        if (options.progress)
            options.progress(static_cast<double>(done) / static_cast<double>(total));
    }

    Result Save(uint32_t bank)
    {
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            if (Cancelled())
                return Failed("cancelled", 0, {});
            const int32_t status =
                FrameMemoryRead(board, bank, chunk * kChunk, kChunk, savedBank.data() + size_t{chunk} * kChunk);
            if (status != 0)
                return ReadFailed(status);
            Advance();
        }
        return Succeeded();
    }

    // Not cancellable: once the pattern may have gone in, the bank is put back whole.
    Result Restore(uint32_t bank)
    {
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            const int32_t status =
                FrameMemoryWrite(board, bank, chunk * kChunk, kChunk, savedBank.data() + size_t{chunk} * kChunk);
            if (status != 0)
                return WriteFailed(status);
            Advance();
        }
        return Succeeded();
    }

    Result WriteAndCheck(uint32_t bank)
    {
        const uint32_t passes = PatternPasses(pattern);
        seen.Clear();
        for (uint32_t pass = 0; pass < passes; ++pass)
            if (Result r = WriteAndCheckPass(bank, pass); !r.ok())
                return r;
        return Succeeded();
    }

    Result WriteAndCheckPass(uint32_t bank, uint32_t pass)
    {
        const bool words = PatternCountsWords(pattern);
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            if (Cancelled())
                return Failed("cancelled", 0, {});
            GeneratePattern(pattern, options.seed, bank, chunk * kChunk, patternBuf.data(), kChunk, pass);
            const int32_t status = FrameMemoryWrite(board, bank, chunk * kChunk, kChunk, patternBuf.data());
            if (status != 0)
                return WriteFailed(status);
            Advance();
        }
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            if (Cancelled())
                return Failed("cancelled", 0, {});
            const int32_t status = FrameMemoryRead(board, bank, chunk * kChunk, kChunk, readBuf.data());
            if (status != 0)
                return ReadFailed(status);
            GeneratePattern(pattern, options.seed, bank, chunk * kChunk, patternBuf.data(), kChunk, pass);
            Diagnose(tally, seen, bank, chunk * kChunk, patternBuf.data(), readBuf.data(), words);
            if (pass == 0) // units checked, not reads: a many-pass pattern counts each once
                tally.AddChecked(bank, words ? kChunk / 4 : kChunk);
            Advance();
        }
        if (options.passChecked)
            options.passChecked(bank, pass, tally.Bank(bank).errors);
        return Succeeded();
    }

    Result TestBank(uint32_t bank)
    {
        tally.Bank(bank); // a clean bank still has its (empty) tally
        if (!options.preserve)
            return WriteAndCheck(bank);
        Result saved = Save(bank);
        if (!saved.ok())
            return saved; // nothing written yet
        Result checked = WriteAndCheck(bank);
        Result restored = Restore(bank);
        return checked.ok() ? restored : checked; // the first failure is the one to show
    }
};

} // namespace

MemoryPatternReport RunMemoryPattern(BoardHandle board, MemoryPattern pattern,
                                     const MemoryTestOptions &options)
{
    const auto start = std::chrono::steady_clock::now();
    MemoryPatternReport report;
    report.pattern = pattern;
    report.seed = options.seed;
    for (uint32_t bank : options.banks) {
        if (bank >= FRAME_MEMORY_BANKS) {
            report.result = Failed("parameter", 0, "Bank番号が不正です（有効範囲 0-3 ）。", Icon::Stop);
            return report;
        }
    }

    PatternRun run{board, pattern, options, MismatchTally(options.recordCap, PatternCountsWords(pattern)),
                   {}, {}, {}, {}, 0, 0};
    try {
        run.patternBuf.resize(kChunk);
        run.readBuf.resize(kChunk);
        if (options.preserve)
            run.savedBank.resize(FRAME_MEMORY_BANK_SIZE);
        if (PatternPasses(pattern) > 1)
            run.seen.Allocate();
    } catch (const std::bad_alloc &) {
        report.result = options.preserve
                            ? Failed("buffer", 0, "作業用メモリ(32MB)を確保できませんでした。", Icon::Stop)
                            : NoTransferBuffer();
        return report;
    }
    run.total = uint64_t{options.banks.size()} * kChunksPerBank * (2 * PatternPasses(pattern) + (options.preserve ? 2 : 0));

    for (uint32_t bank : options.banks) {
        report.result = run.TestBank(bank);
        if (!report.result.ok())
            break;
    }
    report.banks = run.tally.TakeBanks();
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

} // namespace ops
