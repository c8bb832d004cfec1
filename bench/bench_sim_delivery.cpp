// Delivery rate of the simulated board with an empty hook: 1024 x 1024 frames of 1 byte per
// pixel, as fast as the machine allows, into a program buffer and into the library's buffer.
// The simulator must never be what limits the program. Also prints the live video rate.
#include "board/pel2ctl.h"
#include "simctl.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

std::atomic<uint64_t> g_hooks{0};

void EmptyHook(uint32_t, uint32_t, uint32_t, uint32_t, void *)
{
    g_hooks.fetch_add(1, std::memory_order_relaxed);
}
void NoEvent(int32_t) {}

constexpr uint32_t kPixels = 1024, kLines = 1024;
constexpr uint32_t kBatch = 64;

BoardHandle OpenForScan(uint32_t frameUnitFlags, uint32_t bytesPerPixel, uint32_t pixels,
                        uint32_t lines, uint32_t lineInt)
{
    SimReset();
    SimSetFrameRate(0);
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    const BoardHandle h =
        BoardOpen(0, EmptyHook, NoEvent, NoEvent, NoEvent, &first, &second, &error);
    IoWriteLong(h, REG_MAC_H_UDTCSR, lines << 16 | pixels);
    ScanPrepare(h, SCAN_KIND_AREA, frameUnitFlags | SCAN_NO_MASK_OPEN_DELAY, bytesPerPixel,
                lineInt);
    auto dsp = [&](uint32_t address, uint32_t value) {
        IoWriteLong(h, REG_MAC_DSP_ADR_90, address);
        IoWriteLong(h, REG_MAC_DSP_ADR_94, value);
    };
    dsp(DSP_PARAM_BLOCK + 0, pixels);
    dsp(DSP_PARAM_BLOCK + 1, lines);
    dsp(DSP_PARAM_BLOCK + 2, bytesPerPixel == 1 ? 0 : bytesPerPixel == 2 ? 1 : 2);
    dsp(DSP_PARAM_BLOCK + 3, 0); // until cancelled
    dsp(DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN);
    return h;
}

// One iteration: a batch of requests, then wait until all of them came back through the hook.
void RunBatches(benchmark::State &state, BoardHandle h, void *buffer, uint32_t size,
                uint32_t deliveriesPerRequest, double bytesPerDelivery)
{
    uint64_t target = g_hooks.load();
    for (auto _ : state) {
        for (uint32_t i = 0; i < kBatch; ++i)
            ImageRequest(h, buffer, size);
        target += kBatch * deliveriesPerRequest;
        while (g_hooks.load(std::memory_order_relaxed) < target)
            std::this_thread::yield();
    }
    const double deliveries = static_cast<double>(state.iterations()) * kBatch;
    state.counters["fps"] = benchmark::Counter(deliveries, benchmark::Counter::kIsRate);
    state.counters["MB/s"] =
        benchmark::Counter(deliveries * bytesPerDelivery / 1e6, benchmark::Counter::kIsRate);
    ScanCancel(h, CANCEL_FRAME, 1000);
    BoardClose(h);
    SimReset();
}

void BM_FrameDeliveryProgramBuffer(benchmark::State &state)
{
    std::vector<uint8_t> buffer(size_t{kLines} * BOARD_LINE_PITCH);
    const BoardHandle h = OpenForScan(SCAN_UNIT_FRAME, 1, kPixels, kLines, 0);
    RunBatches(state, h, buffer.data(), static_cast<uint32_t>(buffer.size()), 1, kPixels * kLines);
}

void BM_FrameDeliveryLibraryBuffer(benchmark::State &state)
{
    const BoardHandle h = OpenForScan(SCAN_UNIT_FRAME, 1, kPixels, kLines, 0);
    RunBatches(state, h, nullptr, 0, 1, kPixels * kLines);
}

// Line units, runs of 64 lines into a program buffer: many more hook calls per frame.
void BM_LineRunDeliveryProgramBuffer(benchmark::State &state)
{
    std::vector<uint8_t> buffer(size_t{64} * kPixels);
    const BoardHandle h = OpenForScan(SCAN_UNIT_LINE, 1, kPixels, kLines, 64);
    RunBatches(state, h, buffer.data(), static_cast<uint32_t>(buffer.size()), 1, 64.0 * kPixels);
}

// 4 bytes per pixel frames, 1024 x 1024 (4 MiB each).
void BM_FrameDelivery32Bit(benchmark::State &state)
{
    std::vector<uint8_t> buffer(size_t{kLines} * BOARD_LINE_PITCH);
    const BoardHandle h = OpenForScan(SCAN_UNIT_FRAME, 4, kPixels * 2, kLines, 0);
    RunBatches(state, h, buffer.data(), static_cast<uint32_t>(buffer.size()), 1,
               4.0 * kPixels * 2 * kLines);
}

// Live video: frames per second actually delivered, paced by the board.
void BM_LiveVideoRate(benchmark::State &state)
{
    SimReset();
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    const BoardHandle h =
        BoardOpen(0, EmptyHook, NoEvent, NoEvent, NoEvent, &first, &second, &error);
    for (int i = 0; i < 200; ++i)
        ImageRequest(h, nullptr, 0);
    ScanPrepare(h, 1, 1, 3, 0);
    IoWriteLong(h, REG_DIO_IMG_GETMODE, 3);
    const uint64_t start = g_hooks.load();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state)
        std::this_thread::sleep_for(std::chrono::seconds(5));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["fps"] = static_cast<double>(g_hooks.load() - start) / seconds;
    IoWriteLong(h, REG_DIO_IMG_GETMODE, 0);
    BoardClose(h);
    SimReset();
}

} // namespace

BENCHMARK(BM_FrameDeliveryProgramBuffer)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FrameDeliveryLibraryBuffer)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LineRunDeliveryProgramBuffer)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_FrameDelivery32Bit)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_LiveVideoRate)->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
