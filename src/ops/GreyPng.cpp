// ReadGreyPng: the PNG subset a reference picture needs (grey, 8 or 16 bit, not interlaced).
#include "ops/FrameContent.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace ops {
namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

uint32_t BigEndian(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// Undoes the per-line filters in place; rows of 1 + rowBytes bytes, `bpp` bytes per pixel.
bool Unfilter(std::vector<uint8_t> &raw, uint32_t rows, uint64_t rowBytes, uint32_t bpp)
{
    for (uint32_t y = 0; y < rows; ++y) {
        uint8_t *row = raw.data() + y * (rowBytes + 1);
        const uint8_t filter = row[0];
        uint8_t *cur = row + 1;
        const uint8_t *up = y == 0 ? nullptr : cur - (rowBytes + 1);
        for (uint64_t i = 0; i < rowBytes; ++i) {
            const int a = i >= bpp ? cur[i - bpp] : 0, b = up ? up[i] : 0,
                      c = up && i >= bpp ? up[i - bpp] : 0;
            switch (filter) {
            case 0: break;
            case 1: cur[i] = uint8_t(cur[i] + a); break;
            case 2: cur[i] = uint8_t(cur[i] + b); break;
            case 3: cur[i] = uint8_t(cur[i] + (a + b) / 2); break;
            case 4: cur[i] = uint8_t(cur[i] + Paeth(a, b, c)); break;
            default: return false;
            }
        }
    }
    return true;
}

} // namespace

bool ReadGreyPng(const std::string &path, Picture &picture, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "参照画像を開けません: " + path;
        return false;
    }
    std::vector<uint8_t> file;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || uint64_t(size) > kMaxFileBytes) {
        error = "参照画像を読めません: " + path;
        return false;
    }
    file.resize(size_t(size));
    in.read(reinterpret_cast<char *>(file.data()), size);
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    error = "参照画像が 8/16 ビット グレーの PNG ではありません: " + path;
    if (!in || file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0)
        return false;
    uint32_t width = 0, height = 0, depth = 0;
    std::vector<uint8_t> compressed;
    bool header = false, end = false;
    for (size_t at = 8; at + 12 <= file.size() && !end;) {
        const uint32_t length = BigEndian(&file[at]);
        if (length > file.size() - at - 12)
            return false;
        const uint8_t *type = &file[at + 4], *body = &file[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0 && length == 13) {
            width = BigEndian(body);
            height = BigEndian(body + 4);
            depth = body[8];
            // Grey (colour type 0), deflate, standard filters, not interlaced.
            header = body[9] == 0 && body[10] == 0 && body[11] == 0 && body[12] == 0 &&
                     (depth == 8 || depth == 16);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed.insert(compressed.end(), body, body + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            end = true;
        }
        at += 12 + size_t(length);
    }
    if (!header || !end || width == 0 || height == 0 || uint64_t(width) * height > kMaxPixels)
        return false;
    const uint32_t bpp = depth / 8;
    const uint64_t rowBytes = uint64_t(width) * bpp;
    std::vector<uint8_t> raw((rowBytes + 1) * height);
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, compressed.data(), uLong(compressed.size())) != Z_OK ||
        rawSize != raw.size() || !Unfilter(raw, height, rowBytes, bpp))
        return false;
    picture.pixels = width;
    picture.lines = height;
    picture.pixelBytes = bpp;
    picture.data.resize(rowBytes * height);
    // Rows without their filter byte; 16-bit samples from big-endian to little-endian.
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *src = raw.data() + y * (rowBytes + 1) + 1;
        uint8_t *dst = picture.data.data() + y * rowBytes;
        for (uint64_t i = 0; i < rowBytes; i += bpp) {
            dst[i] = src[i + bpp - 1];
            if (bpp == 2)
                dst[i + 1] = src[i];
        }
    }
    error.clear();
    return true;
}

} // namespace ops
