// The memory test on the simulated board: each pattern over all four banks (128 MB written and
// read back), timed whole, and the board's transfers alone for comparison. Prints figures only.
#include "ops/MemoryTest.h"
#include "simctl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void NoHook(uint32_t, uint32_t, uint32_t, uint32_t, void *) {}
void NoEvent(int32_t) {}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// 128 transfers of 1 MB each way, with nothing generated or compared.
double TransfersOnly(BoardHandle board)
{
    std::vector<uint8_t> buffer(FRAME_MEMORY_MAX_TRANSFER, 0x5A);
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank)
        for (uint32_t offset = 0; offset < FRAME_MEMORY_BANK_SIZE; offset += FRAME_MEMORY_MAX_TRANSFER)
            FrameMemoryWrite(board, bank, offset, FRAME_MEMORY_MAX_TRANSFER, buffer.data());
    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank)
        for (uint32_t offset = 0; offset < FRAME_MEMORY_BANK_SIZE; offset += FRAME_MEMORY_MAX_TRANSFER)
            FrameMemoryRead(board, bank, offset, FRAME_MEMORY_MAX_TRANSFER, buffer.data());
    return Seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::stoi(argv[1])) : 5;
    SimReset();
    void *window = nullptr, *second = nullptr;
    uint32_t error = 0;
    const BoardHandle board = BoardOpen(0, NoHook, NoEvent, NoEvent, NoEvent, &window, &second, &error);
    if (board == BOARD_INVALID_HANDLE) {
        std::printf("BoardOpen failed: %u\n", error);
        return 0;
    }
    std::printf("target: one pattern over 4 banks (128 MB each way) in at most 0.250 s\n");
    std::printf("%-16s %10s %10s %10s\n", "", "first s", "median s", "max s");
    auto row = [&](const char *name, auto &&once) {
        std::vector<double> s;
        for (int i = 0; i < rounds; ++i)
            s.push_back(once());
        const double first = s.front();
        std::sort(s.begin(), s.end());
        std::printf("%-16s %10.3f %10.3f %10.3f\n", name, first, s[s.size() / 2], s.back());
    };
    row("transfers only", [&] { return TransfersOnly(board); });
    for (ops::MemoryPattern p : ops::kAllMemoryPatterns) {
        const std::string name(ops::PatternName(p));
        row(name.c_str(), [&] { return ops::RunMemoryPattern(board, p, {}).seconds; });
    }
    ops::MemoryTestOptions preserve;
    preserve.preserve = true;
    row("random+preserve", [&] { return ops::RunMemoryPattern(board, ops::MemoryPattern::Random, preserve).seconds; });
    SimApplyScenario("frame-fault");
    row("walking-0 fault", [&] { return ops::RunMemoryPattern(board, ops::MemoryPattern::WalkingZeros, {}).seconds; });
    BoardClose(board);
    SimReset();
    return 0;
}
