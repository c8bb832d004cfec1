// The scan tool's grey picture: the image buffer's lines converted to 8-bit grey and stretched
// (straight, nearest line and pixel) to the 380 x 260 pixels that control 1055 shows.
// Conversion is row by row, so a line length that is not a multiple of 4 never shears the
// picture.
#pragma once

#include "ops/DeliveredLines.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

// Geometry of the image in the image buffer, from the parameters of the last Start.
using ScanGeometry = ops::ImageGeometry;

class ScanPicture {
public:
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 260;

    ScanPicture();
    void Clear(); // black
    // Redraws the picture rows that show image lines [firstLine, endLine) from the image buffer
    // (imageSize bytes). Lines that do not lie wholly inside the buffer draw black.
    void DrawLines(const std::uint8_t *image, std::size_t imageSize, const ScanGeometry &g,
                   std::uint32_t firstLine, std::uint32_t endLine);
    // A copy as a 32-bit image (grey r = g = b) of kWidth x kHeight.
    QImage ToImage() const;
    const std::uint8_t *Row(int y) const { return grey_.data() + std::size_t(y) * kWidth; }

    // The image line a picture row shows, and the pixel a picture column shows.
    static std::uint32_t SourceLine(int row, std::uint32_t lines);
    static std::uint32_t SourcePixel(int column, std::uint32_t pixels);
    // The grey value of one sample: the byte itself, the low byte of 16 bits, bits 16-23 of 32.
    static std::uint8_t Grey(const std::uint8_t *sample, std::uint32_t pixelBytes);

private:
    std::vector<std::uint8_t> grey_; // kWidth x kHeight, row after row
};
