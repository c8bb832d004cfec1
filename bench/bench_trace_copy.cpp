// The recorder's copy of a delivered frame (1024 lines of 1024 bytes at the library's 8192-byte
// pitch, into a buffer of the lines back to back) while the program's hook copies the same
// frame on the other core: plain memcpy in chunks of several sizes, non-temporal stores for the
// recorder's destination, and prefetching the source. Prints each variant's time per frame and
// the program's time per frame meanwhile. Prints figures; never fails.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <emmintrin.h>
#include <thread>
#include <vector>
#include <xmmintrin.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kLines = 1024, kLineBytes = 1024, kPitch = 8192;
constexpr int kRounds = 400;

double nowUs() { return std::chrono::duration<double, std::micro>(Clock::now().time_since_epoch()).count(); }

// One line, 16 bytes at a time, past the cache (the destination is read again only by the
// writer thread, milliseconds later).
void streamLine(uint8_t *to, const uint8_t *from)
{
    for (size_t i = 0; i < kLineBytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i *>(to + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i *>(to + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i *>(to + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i *>(to + i + 48), d);
    }
}

struct Variant {
    const char *name;
    size_t chunkBytes;
    bool stream, prefetch;
};

// One frame copied in chunks, with the bookkeeping a chunk costs the recorder (a shared counter
// and a clock reading).
void copyFrame(const Variant &v, uint8_t *dst, const uint8_t *src, std::atomic<size_t> &counter)
{
    const size_t perChunk = std::max<size_t>(1, v.chunkBytes / kLineBytes);
    for (size_t first = 0; first < kLines; first += perChunk) {
        counter.fetch_add(1, std::memory_order_acq_rel);
        (void)Clock::now();
        const size_t end = std::min(kLines, first + perChunk);
        for (size_t i = first; i < end; ++i) {
            if (v.prefetch && i + 4 < kLines)
                for (size_t k = 0; k < kLineBytes; k += 64)
                    _mm_prefetch(reinterpret_cast<const char *>(src + (i + 4) * kPitch + k), _MM_HINT_T0);
            if (v.stream)
                streamLine(dst + i * kLineBytes, src + i * kPitch);
            else
                std::memcpy(dst + i * kLineBytes, src + i * kPitch, kLineBytes);
        }
    }
    if (v.stream)
        _mm_sfence();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main()
{
    alignas(64) static uint8_t pad[64];
    (void)pad;
    std::vector<uint8_t> source(kLines * kPitch);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = uint8_t(i * 2654435761u >> 13);
    // The recorder's destinations: a pool of frame buffers, as the copier reuses them.
    std::vector<std::vector<uint8_t>> pool(8, std::vector<uint8_t>(kLines * kLineBytes + 64));
    std::vector<uint8_t> program(kLines * kLineBytes);
    const Variant variants[] = {
        {"memcpy, 4 KiB chunks", 4096, false, false},
        {"memcpy, 16 KiB chunks", 16384, false, false},
        {"memcpy, 64 KiB chunks", 65536, false, false},
        {"memcpy + prefetch, 16 KiB", 16384, false, true},
        {"streaming stores, 16 KiB", 16384, true, false},
        {"streaming stores + prefetch, 16 KiB", 16384, true, true},
        {"streaming stores, 64 KiB", 65536, true, false},
    };
    std::printf("1024 x 1024 bytes at an 8192-byte pitch, %d rounds each; the program copies the same "
                "frame on another thread meanwhile\n", kRounds);
    for (int pass = 0; pass < 2; ++pass) {
        for (const Variant &v : variants) {
            std::atomic<bool> stop{false};
            std::atomic<size_t> counter{0};
            std::vector<double> programUs;
            std::thread hook([&] {
                while (!stop.load(std::memory_order_relaxed)) {
                    const double t0 = nowUs();
                    for (size_t i = 0; i < kLines; ++i)
                        std::memcpy(program.data() + i * kLineBytes, source.data() + i * kPitch, kLineBytes);
                    programUs.push_back(nowUs() - t0);
                }
            });
            std::vector<double> ownUs;
            for (int r = 0; r < kRounds; ++r) {
                uint8_t *dst = pool[size_t(r) % pool.size()].data();
                const double t0 = nowUs();
                copyFrame(v, dst, source.data(), counter);
                ownUs.push_back(nowUs() - t0);
            }
            stop = true;
            hook.join();
            if (pass == 1) // the first pass warms the pool's pages and the caches
                std::printf("  %-38s recorder %6.1f us per frame (median), program's copy meanwhile %6.1f us\n",
                            v.name, median(ownUs), median(programUs));
        }
    }
    return 0;
}
