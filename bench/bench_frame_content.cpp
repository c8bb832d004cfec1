// What the scan run's content checks cost the hook per 1024 x 1024 x 8-bit frame, without the
// board: the canary check and refill of a program buffer (frame unit, 8192-byte pitch) and the
// sampled frame hash, over eight buffers in turn as the requests in flight use them (64 MiB, more
// than the caches hold). bench_scan_run shows the same checks within a whole run.
#include "ops/FrameContent.h"

#include "BenchSupport.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kLines = 1024, kPixels = 1024, kPitch = 8192, kBuffers = 8;

struct Buffers {
    std::unique_ptr<uint8_t[]> data[kBuffers];
    Buffers()
    {
        for (auto &b : data) {
            b.reset(new uint8_t[size_t(kLines) * kPitch]);
            for (uint32_t y = 0; y < kLines; ++y)
                std::memset(b.get() + size_t(y) * kPitch, int(y), kPixels);
        }
    }
};

// Per frame, microseconds, in turn over the buffers.
template <typename Check>
std::vector<double> Time(Buffers &b, Check &&check)
{
    std::vector<double> us;
    for (uint32_t i = 0; i < 2000; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        check(b.data[i % kBuffers].get());
        us.push_back(benchsupport::Micros(t0, std::chrono::steady_clock::now()));
    }
    return us;
}

} // namespace

int main()
{
    Buffers b;
    size_t found = 0;
    benchsupport::Print("canary check and refill, 1024 lines", Time(b, [&](uint8_t *frame) {
                            found += ops::CanaryLines(frame, kPitch, kPixels, 0, kLines, 0).size();
                            ops::FillCanary(frame, kPitch, kPixels, kLines);
                        }));
    uint64_t sum = 0;
    // Step 16: what the scan run hashes of such a frame (64 KiB); step 1: every line.
    for (uint32_t step : {16u, 1u}) {
        ops::FrameHash hash;
        hash.SetStep(step);
        const std::string what = "frame hash, lines at step " + std::to_string(step);
        benchsupport::Print(what.c_str(), Time(b, [&](uint8_t *frame) {
                                hash.Reset();
                                hash.AddLines(frame, kPitch, kPixels, 0, kLines);
                                sum += hash.Value();
                            }));
    }
    std::printf("(%zu, %llu)\n", found, static_cast<unsigned long long>(sum)); // keeps the work
    return 0;
}
