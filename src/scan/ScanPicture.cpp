#include "scan/ScanPicture.h"

#include <algorithm>
#include <cstring>

ScanPicture::ScanPicture() : grey_(std::size_t(kWidth) * kHeight, 0) {}

void ScanPicture::Clear()
{
    std::fill(grey_.begin(), grey_.end(), std::uint8_t(0));
}

std::uint32_t ScanPicture::SourceLine(int row, std::uint32_t lines)
{
    return std::uint32_t(std::uint64_t(row) * lines / kHeight);
}

std::uint32_t ScanPicture::SourcePixel(int column, std::uint32_t pixels)
{
    return std::uint32_t(std::uint64_t(column) * pixels / kWidth);
}

std::uint8_t ScanPicture::Grey(const std::uint8_t *sample, std::uint32_t pixelBytes)
{
    switch (pixelBytes) {
    case 2:
        return sample[0]; // low byte of the little-endian sample
    case 4:
        return sample[2]; // bits 16-23 of the little-endian sample
    default:
        return sample[0];
    }
}

void ScanPicture::DrawLines(const std::uint8_t *image, std::size_t imageSize, const ScanGeometry &g,
                            std::uint32_t firstLine, std::uint32_t endLine)
{
    if (g.lines == 0 || g.pixels == 0 || firstLine >= endLine)
        return;
    endLine = std::min(endLine, g.lines);
    // Picture rows whose source line lies in [firstLine, endLine): row r shows r * lines / H.
    const auto firstRow = int((std::uint64_t(firstLine) * kHeight + g.lines - 1) / g.lines);
    const auto endRow = int(std::min<std::uint64_t>(
        (std::uint64_t(endLine) * kHeight + g.lines - 1) / g.lines, kHeight));
    const std::uint64_t stride = g.stride();
    const std::uint64_t lineBytes = g.lineBytes();

    // Column offsets depend only on the geometry; worked out once per call.
    std::uint32_t columnOffset[kWidth];
    for (int x = 0; x < kWidth; ++x)
        columnOffset[x] = SourcePixel(x, g.pixels) * g.pixelBytes;

    for (int y = firstRow; y < endRow; ++y) {
        std::uint8_t *out = grey_.data() + std::size_t(y) * kWidth;
        const std::uint64_t lineStart = std::uint64_t(SourceLine(y, g.lines)) * stride;
        if (lineStart + lineBytes > imageSize) {
            std::memset(out, 0, kWidth);
            continue;
        }
        const std::uint8_t *line = image + lineStart;
        for (int x = 0; x < kWidth; ++x)
            out[x] = Grey(line + columnOffset[x], g.pixelBytes);
    }
}

// Converted here rather than by Qt: the screen's own format draws without a conversion, which
// Qt would hand to worker threads of its own.
QImage ScanPicture::ToImage() const
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied); // opaque
    for (int y = 0; y < kHeight; ++y) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        const std::uint8_t *in = Row(y);
        for (int x = 0; x < kWidth; ++x)
            out[x] = qRgb(in[x], in[x], in[x]);
    }
    return image;
}
