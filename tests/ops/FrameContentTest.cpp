// Reading a reference picture: grey PNG files of 8 and 16 bits with every line filter come back
// pixel for pixel; files that are no such picture are refused with a reason.
#include "ops/FrameContent.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void Chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &body)
{
    Put32(out, uint32_t(body.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, uint32_t(crc32(0, out.data() + out.size() - body.size() - 4, uInt(body.size() + 4))));
}

// A grey PNG of `samples` (big-endian bytes, as the file holds them), line y filtered with
// filter y % 5.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                         const std::vector<uint8_t> &samples)
{
    const uint32_t bpp = depth / 8, rowBytes = width * bpp;
    std::vector<uint8_t> filtered;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t filter = uint8_t(y % 5);
        filtered.push_back(filter);
        for (uint32_t i = 0; i < rowBytes; ++i) {
            auto at = [&](uint32_t row, uint32_t col) { return int(samples[row * rowBytes + col]); };
            const int a = i >= bpp ? at(y, i - bpp) : 0, b = y > 0 ? at(y - 1, i) : 0,
                      c = y > 0 && i >= bpp ? at(y - 1, i - bpp) : 0;
            const int p = a + b - c;
            const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c)
                                  ? a
                                  : (std::abs(p - b) <= std::abs(p - c) ? b : c);
            const int predictor[5] = {0, a, b, (a + b) / 2, paeth};
            filtered.push_back(uint8_t(at(y, i) - predictor[filter]));
        }
    }
    std::vector<uint8_t> packed(compressBound(uLong(filtered.size())));
    uLongf packedSize = uLongf(packed.size());
    compress(packed.data(), &packedSize, filtered.data(), uLong(filtered.size()));
    packed.resize(packedSize);
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, width);
    Put32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    Chunk(file, "IHDR", header);
    Chunk(file, "IDAT", packed);
    Chunk(file, "IEND", {});
    return file;
}

TEST(FrameContentTest, GreyPngReferencesReadBackOrAreRefused)
{
    std::vector<uint8_t> samples(7 * 6 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(i * 37 + (i * i) % 11);
    const std::vector<uint8_t> good8 = Png(7, 6, 8, 0, {samples.begin(), samples.begin() + 42});
    const std::vector<uint8_t> good16 = Png(7, 6, 16, 0, samples);
    const struct {
        const char *name;
        std::vector<uint8_t> file;
        uint32_t pixelBytes; // 0: refused
    } cases[] = {
        {"8-bit grey", good8, 1},
        {"16-bit grey", good16, 2},
        {"colour", Png(7, 6, 8, 2, std::vector<uint8_t>(7 * 6 * 3)), 0},
        {"cut short", {good8.begin(), good8.end() - 20}, 0},
        {"not a PNG", {'G', 'I', 'F', '8'}, 0},
    };
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "pelora_ops_reference.png";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(c.file.data()),
                                                    std::streamsize(c.file.size()));
        ops::Picture picture;
        std::string error;
        const bool read = ops::ReadGreyPng(path.string(), picture, error);
        ASSERT_EQ(read, c.pixelBytes != 0) << error;
        if (!read) {
            EXPECT_NE(error.find(path.string()), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(error, "");
        ASSERT_EQ(picture.pixels, 7u);
        ASSERT_EQ(picture.lines, 6u);
        ASSERT_EQ(picture.pixelBytes, c.pixelBytes);
        for (uint32_t y = 0; y < 6; ++y)
            for (uint32_t x = 0; x < 7; ++x) {
                const size_t i = (size_t(y) * 7 + x) * c.pixelBytes;
                const uint32_t inFile = c.pixelBytes == 1 ? samples[i] : uint32_t(samples[i]) << 8 | samples[i + 1];
                ASSERT_EQ(picture.View().At(x, y), inFile) << x << "," << y;
            }
    }
    std::filesystem::remove(path);
}

} // namespace
