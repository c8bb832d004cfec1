#include "display/BgrPixels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PELORA_BGR_SSSE3 1
#endif

namespace display {
namespace {

void BgrToRgb32Plain(const std::uint8_t *src, std::uint32_t *dst, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, src += 3)
        dst[i] = 0xff000000u | std::uint32_t(src[2]) << 16 | std::uint32_t(src[1]) << 8 | src[0];
}

#ifdef PELORA_BGR_SSSE3
// In memory a 0xffRRGGBB pixel is B G R 0xff: each 3 bytes gain a fourth, set to 0xff.
__attribute__((target("ssse3"))) void BgrToRgb32Ssse3(const std::uint8_t *src, std::uint32_t *dst,
                                                       std::size_t count)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(int(0xff000000u));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16, src += 48, dst += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 32));
        const __m128i p0 = a;                         // bytes 0-11: pixels 0-3
        const __m128i p1 = _mm_alignr_epi8(b, a, 12); // bytes 12-23: pixels 4-7
        const __m128i p2 = _mm_alignr_epi8(c, b, 8);  // bytes 24-35: pixels 8-11
        const __m128i p3 = _mm_srli_si128(c, 4);      // bytes 36-47: pixels 12-15
        auto *out = reinterpret_cast<__m128i *>(dst);
        _mm_storeu_si128(out, _mm_or_si128(_mm_shuffle_epi8(p0, spread), alpha));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(p1, spread), alpha));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(p2, spread), alpha));
        _mm_storeu_si128(out + 3, _mm_or_si128(_mm_shuffle_epi8(p3, spread), alpha));
    }
    BgrToRgb32Plain(src, dst, count - i);
}

bool HasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

void BgrToRgb32(const std::uint8_t *src, std::uint32_t *dst, std::size_t count)
{
#ifdef PELORA_BGR_SSSE3
    if (HasSsse3()) {
        BgrToRgb32Ssse3(src, dst, count);
        return;
    }
#endif
    BgrToRgb32Plain(src, dst, count);
}

} // namespace display
