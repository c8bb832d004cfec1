#include "tools/PngEncoder.h"

#include <zlib.h>

#include <array>
#include <cstring>

namespace pngfile {
namespace {

constexpr std::size_t kChunkBytes = 256 * 1024; // deflated bytes per IDAT chunk
constexpr int kZlibLevel = 1;                   // fastest level that still compresses
constexpr std::uint8_t kFilterUp = 2;

void PutBe32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

void PutChunk(std::vector<std::uint8_t> &out, const char (&type)[5], const std::uint8_t *data,
              std::size_t size)
{
    PutBe32(out, std::uint32_t(size));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size != 0)
        out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0, out.data() + typeAt, uInt(4 + size));
    PutBe32(out, std::uint32_t(crc));
}

bool Supported(const Layout &l)
{
    return l.width != 0 && l.height != 0 && l.width <= 0x7FFFFFFF && l.height <= 0x7FFFFFFF &&
           (l.bitDepth == 8 || l.bitDepth == 16);
}

} // namespace

std::vector<std::uint8_t> EncodeRows(const Layout &layout, const RowFiller &fill)
{
    std::vector<std::uint8_t> out;
    if (!Supported(layout) || !fill)
        return out;
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.insert(out.end(), std::begin(kSignature), std::end(kSignature));

    std::array<std::uint8_t, 13> header{};
    for (int i = 0; i < 4; ++i) {
        header[i] = std::uint8_t(layout.width >> (24 - 8 * i));
        header[4 + i] = std::uint8_t(layout.height >> (24 - 8 * i));
    }
    header[8] = layout.bitDepth;
    header[9] = std::uint8_t(layout.colour);
    // Compression, filter method and interlace all 0.
    PutChunk(out, "IHDR", header.data(), header.size());

    z_stream z{};
    if (deflateInit(&z, kZlibLevel) != Z_OK)
        return {};
    const std::size_t rowBytes = layout.RowBytes();
    std::vector<std::uint8_t> previous(rowBytes, 0), current(rowBytes), filtered(rowBytes + 1);
    std::vector<std::uint8_t> chunk(kChunkBytes);
    z.next_out = chunk.data();
    z.avail_out = uInt(chunk.size());
    bool ok = true;
    auto drain = [&](bool all) {
        if (z.avail_out == 0 || (all && z.avail_out != chunk.size())) {
            PutChunk(out, "IDAT", chunk.data(), chunk.size() - z.avail_out);
            z.next_out = chunk.data();
            z.avail_out = uInt(chunk.size());
        }
    };
    for (std::uint32_t row = 0; row < layout.height && ok; ++row) {
        fill(row, current.data());
        filtered[0] = kFilterUp;
        for (std::size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = std::uint8_t(current[i] - previous[i]);
        std::swap(previous, current);
        z.next_in = filtered.data();
        z.avail_in = uInt(filtered.size());
        while (z.avail_in != 0 && ok) {
            ok = deflate(&z, Z_NO_FLUSH) == Z_OK;
            drain(false);
        }
    }
    int status = Z_OK;
    while (ok && status == Z_OK) {
        status = deflate(&z, Z_FINISH);
        ok = status == Z_OK || status == Z_STREAM_END;
        drain(status == Z_STREAM_END);
    }
    deflateEnd(&z);
    if (!ok)
        return {};
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace pngfile
