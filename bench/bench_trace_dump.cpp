// How fast `pelora2-trace dump` lists a large trace: writes a trace of about 1 GB (BENCH_TRACE_MB
// to change it) as the recorder would during a scan -- 1024 x 1024 x 8-bit frames with sensor
// noise, each followed by the calls around a delivery -- then times `pelora2-trace dump` into
// /dev/null and a reader that decompresses every byte. Prints figures; never fails.
#include "trace/format/TraceFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A gradient with noise in the low bits and a moving square: about as compressible as a picture
// from a camera.
void frame(std::vector<uint8_t> &out, uint32_t n, uint64_t &seed)
{
    for (uint32_t y = 0; y < 1024; ++y)
        for (uint32_t x = 0; x < 1024; ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 7;
            seed ^= seed << 17;
            uint8_t v = uint8_t((x + y) / 8 + (seed & 15));
            if (x / 64 == n % 16 && y / 64 == 4)
                v = 0;
            out[size_t(y) * 1024 + x] = v;
        }
}

} // namespace

int main()
{
    const uint64_t targetMb = std::strtoull(std::getenv("BENCH_TRACE_MB") ? std::getenv("BENCH_TRACE_MB") : "1024", nullptr, 10);
    const std::string path = "/tmp/bench-trace-dump-" + std::to_string(getpid()) + ".trace";
    std::vector<uint8_t> pixels(1024 * 1024);
    uint64_t seed = 88172645463325252ull, records = 0;
    auto t0 = Clock::now();
    {
        trace::Header h;
        h.command = "bench_trace_dump";
        trace::Writer w(path, h);
        trace::Record r;
        uint64_t t = 0;
        for (uint32_t n = 0; w.ok(); ++n) {
            if (n % 32 == 0 && std::filesystem::file_size(path) >= targetMb << 20)
                break;
            for (int k = 0; k < 24; ++k) { // register traffic between frames
                r = {};
                r.op = k % 2 ? 5 : 4;
                r.thread = 1;
                r.timeNs = t += 1000;
                r.args = {0x44, 0x7ffd12345678};
                r.outputs = {0x04000400};
                w.append(r);
            }
            r = {};
            r.kind = trace::Kind::Callback;
            r.op = trace::kImageTransferHook;
            r.thread = 2;
            r.timeNs = t += 33'000'000;
            r.durationNs = 190'000;
            r.args = {1, 0, 1024, 0, 0x7f0012340000};
            r.dataKind = trace::DataKind::Lines;
            r.dataSize = pixels.size();
            frame(pixels, n, seed);
            w.append(r, pixels.data(), pixels.size());
            r = {};
            r.op = 9;
            r.thread = 2;
            r.timeNs = t += 1000;
            r.args = {0x7f0012340000, 1 << 20};
            w.append(r);
            records += 26;
        }
    }
    const double written = seconds(t0);
    const double mb = double(std::filesystem::file_size(path)) / 1e6;
    std::printf("trace: %.0f MB, %llu records, written in %.1f s (%.0f MB/s of trace)\n", mb,
                static_cast<unsigned long long>(records), written, mb / written);

    t0 = Clock::now();
    const std::string command = std::string(PELORA2_TRACE_PATH) + " dump " + path + " > /dev/null";
    const int status = std::system(command.c_str());
    double s = seconds(t0);
    std::printf("pelora2-trace dump: %.2f s, %.0f MB/s (exit status %d)\n", s, mb / s, WEXITSTATUS(status));

    t0 = Clock::now();
    trace::Reader reader(path);
    trace::Record r;
    uint64_t bytes = 0;
    while (reader.next(&r))
        bytes += r.data.size();
    s = seconds(t0);
    std::printf("reading every record with its bytes: %.2f s, %.0f MB/s of trace, %.0f MB/s of pixels\n", s,
                mb / s, double(bytes) / 1e6 / s);
    std::filesystem::remove(path);
    return 0;
}
