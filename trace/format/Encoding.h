// Byte-level helpers of the trace file: little-endian fixed fields, LEB128 variable-length
// integers and the CRC-32C that guards headers and block payloads. Plain C++, no Qt.
#ifndef PELORA_TRACE_ENCODING_H
#define PELORA_TRACE_ENCODING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trace::enc {

uint32_t crc32c(const void *data, size_t size, uint32_t crc = 0);

inline void putU32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
inline void putU64(std::vector<uint8_t> &out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
inline uint32_t getU32(const uint8_t *p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}
inline uint64_t getU64(const uint8_t *p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
}

inline void putVar(std::vector<uint8_t> &out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v) | 0x80);
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}
inline void putSigned(std::vector<uint8_t> &out, int64_t v) {
    putVar(out, (uint64_t(v) << 1) ^ uint64_t(v >> 63));
}
inline void putBytes(std::vector<uint8_t> &out, const void *data, size_t size) {
    putVar(out, size);
    const auto *p = static_cast<const uint8_t *>(data);
    out.insert(out.end(), p, p + size);
}

// Reads from a bounded buffer; any read past its end sets `bad` and yields zeros, so a damaged
// payload is reported instead of read out of bounds.
class Cursor {
public:
    Cursor(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    bool bad() const { return bad_; }
    bool atEnd() const { return p_ == end_; }
    size_t left() const { return size_t(end_ - p_); }

    uint8_t byte() {
        if (p_ == end_) {
            bad_ = true;
            return 0;
        }
        return *p_++;
    }
    uint64_t var() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (p_ == end_) break;
            const uint8_t b = *p_++;
            v |= uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        bad_ = true;
        return 0;
    }
    int64_t signedVar() {
        const uint64_t z = var();
        return int64_t(z >> 1) ^ -int64_t(z & 1);
    }
    // A length-prefixed byte run; nullptr (and bad) when it does not fit.
    const uint8_t *bytes(size_t *size) {
        const uint64_t n = var();
        if (bad_ || n > left()) {
            bad_ = true;
            *size = 0;
            return nullptr;
        }
        const uint8_t *start = p_;
        p_ += n;
        *size = size_t(n);
        return start;
    }
    std::string string() {
        size_t n = 0;
        const uint8_t *s = bytes(&n);
        return s ? std::string(reinterpret_cast<const char *>(s), n) : std::string();
    }

private:
    const uint8_t *p_;
    const uint8_t *end_;
    bool bad_ = false;
};

} // namespace trace::enc

#endif
