// The PNG encoder against Qt's decoder: data that does not compress (several IDAT chunks, the
// deflate stream's ends), 16-bit byte order, colour, and layouts it refuses.
#include "tools/PngEncoder.h"

#include <QImage>
#include <gtest/gtest.h>

#include <random>

namespace {

QImage Decode(const std::vector<std::uint8_t> &bytes)
{
    return QImage::fromData(bytes.data(), int(bytes.size()), "png");
}

} // namespace

TEST(PngEncoder, RandomGreyAndColourRoundTrip)
{
    std::mt19937 random(7);
    struct Case {
        pngfile::Layout layout;
        QImage::Format format;
    };
    const Case cases[] = {
        {{701, 503, 8, pngfile::Colour::Grey}, QImage::Format_Grayscale8},
        {{401, 399, 16, pngfile::Colour::Grey}, QImage::Format_Grayscale16},
        {{321, 301, 8, pngfile::Colour::Rgb}, QImage::Format_RGB32},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.layout.width);
        std::vector<std::uint8_t> rows(c.layout.RowBytes() * c.layout.height);
        for (std::uint8_t &b : rows)
            b = std::uint8_t(random());
        const std::vector<std::uint8_t> png =
            pngfile::EncodeRows(c.layout, [&](std::uint32_t row, std::uint8_t *out) {
                std::copy_n(rows.data() + row * c.layout.RowBytes(), c.layout.RowBytes(), out);
            });
        EXPECT_GT(png.size(), 256u * 1024); // random bytes: more than one IDAT chunk
        const QImage image = Decode(png);
        ASSERT_EQ(image.format(), c.format);
        ASSERT_EQ(image.size(), QSize(int(c.layout.width), int(c.layout.height)));
        int mismatches = 0;
        for (std::uint32_t y = 0; y < c.layout.height; ++y) {
            const std::uint8_t *in = rows.data() + y * c.layout.RowBytes();
            for (std::uint32_t x = 0; x < c.layout.width; ++x) {
                std::uint32_t expected = 0, got = 0;
                if (c.layout.colour == pngfile::Colour::Rgb) {
                    expected = qRgb(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
                    got = image.pixel(int(x), int(y));
                } else if (c.layout.bitDepth == 16) {
                    expected = std::uint32_t(in[2 * x]) << 8 | in[2 * x + 1]; // big-endian rows
                    got = reinterpret_cast<const quint16 *>(image.constScanLine(int(y)))[x];
                } else {
                    expected = in[x];
                    got = image.constScanLine(int(y))[x];
                }
                mismatches += got != expected;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(PngEncoder, RefusesEmptyAndUnsupportedLayouts)
{
    const auto fill = [](std::uint32_t, std::uint8_t *) {};
    EXPECT_TRUE(pngfile::EncodeRows({0, 10, 8, pngfile::Colour::Grey}, fill).empty());
    EXPECT_TRUE(pngfile::EncodeRows({10, 0, 8, pngfile::Colour::Grey}, fill).empty());
    EXPECT_TRUE(pngfile::EncodeRows({10, 10, 4, pngfile::Colour::Grey}, fill).empty());
    EXPECT_TRUE(pngfile::EncodeRows({10, 10, 8, pngfile::Colour::Grey}, nullptr).empty());
    EXPECT_FALSE(pngfile::EncodeRows({1, 1, 8, pngfile::Colour::Grey}, fill).empty());
}
