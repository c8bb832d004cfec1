#include "ops/DeliveredLines.h"

#include "board/pel2ctl.h"

#include <algorithm>
#include <cstring>

namespace ops {

LineRange CopyDeliveredLines(const ImageGeometry &g, std::span<uint8_t> image, const Delivery &d)
{
    const uint64_t lineBytes = g.lineBytes();
    const uint64_t stride = g.stride();
    if (lineBytes == 0 || d.data == nullptr || image.data() == nullptr)
        return {};

    // Source layout: an 8192-byte pitch counted from frame line 0 (every frame-unit delivery and
    // the library's buffer), or lines back to back from data (line unit into a program buffer).
    const bool pitched = g.unit == SCAN_UNIT_FRAME || d.library;
    uint64_t firstLine = 0;
    uint64_t endLine = 0;
    if (g.unit == SCAN_UNIT_FRAME) {
        endLine = g.lines;
    } else {
        firstLine = d.startLine;
        endLine = uint64_t(d.startLine) + d.lineCount;
    }
    const uint64_t extent =
        d.library ? (uint64_t(d.startLine) + d.lineCount) * BOARD_LINE_PITCH : d.extent;
    if (pitched && lineBytes > BOARD_LINE_PITCH)
        return {};

    const uint64_t lastFitting = std::min<uint64_t>(g.lines, image.size() / stride);
    uint64_t copiedEnd = firstLine;
    for (uint64_t n = firstLine; n < endLine && n < lastFitting; ++n) {
        const uint64_t source = pitched ? n * BOARD_LINE_PITCH : (n - firstLine) * lineBytes;
        if (source + lineBytes > extent)
            break;
        std::memcpy(image.data() + n * stride, d.data + source, lineBytes);
        copiedEnd = n + 1;
    }
    if (firstLine >= copiedEnd)
        return {};
    return {uint32_t(firstLine), uint32_t(copiedEnd)};
}

} // namespace ops
