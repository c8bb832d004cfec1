#include "Encoding.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace trace::enc {
namespace {

// CRC-32C (Castagnoli, reflected polynomial 0x82F63B78), slicing by 8.
struct Tables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1u)));
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xff];
    }
};

uint32_t softwareCrc(const uint8_t *p, size_t n, uint32_t crc) {
    static const Tables tables;
    const auto &t = tables.t;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= crc;
        crc = t[7][w & 0xff] ^ t[6][(w >> 8) & 0xff] ^ t[5][(w >> 16) & 0xff] ^
              t[4][(w >> 24) & 0xff] ^ t[3][(w >> 32) & 0xff] ^ t[2][(w >> 40) & 0xff] ^
              t[1][(w >> 48) & 0xff] ^ t[0][w >> 56];
        p += 8;
        n -= 8;
    }
    while (n--) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xff];
    return crc;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint32_t hardwareCrc(const uint8_t *p, size_t n, uint32_t crc) {
    uint64_t c = crc;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        c = _mm_crc32_u64(c, w);
        p += 8;
        n -= 8;
    }
    uint32_t c32 = uint32_t(c);
    while (n--) c32 = _mm_crc32_u8(c32, *p++);
    return c32;
}

bool hasHardwareCrc() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

} // namespace

uint32_t crc32c(const void *data, size_t size, uint32_t crc) {
    const auto *p = static_cast<const uint8_t *>(data);
    crc = ~crc;
#if defined(__x86_64__)
    if (hasHardwareCrc()) return ~hardwareCrc(p, size, crc);
#endif
    return ~softwareCrc(p, size, crc);
}

} // namespace trace::enc
