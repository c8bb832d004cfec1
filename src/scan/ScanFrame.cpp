#include "scan/ScanFrame.h"

#include <algorithm>

std::uint32_t ScanFrame::Lines() const
{
    const std::uint64_t stride = geometry.stride();
    if (stride == 0 || geometry.pixelBytes == 0)
        return 0;
    // The last line needs only its own bytes, not the padding after them.
    const std::uint64_t size = bytes.size();
    if (size < geometry.lineBytes())
        return 0;
    const std::uint64_t fit = (size - geometry.lineBytes()) / stride + 1;
    return std::uint32_t(std::min<std::uint64_t>(fit, geometry.lines));
}

std::uint32_t ScanFrame::Sample(std::uint32_t line, std::uint32_t pixel) const
{
    return ReadSample(bytes.data() + Offset(line, pixel), geometry.pixelBytes);
}

std::uint32_t ScanFrame::MaxSample() const
{
    switch (geometry.pixelBytes) {
    case 2: return 0xFFFF;
    case 4: return 0xFFFFFFFF;
    default: return 0xFF;
    }
}

std::uint32_t ScanFrame::UndeliveredLines() const
{
    if (delivered.empty())
        return 0;
    const std::uint32_t lines = std::min<std::uint32_t>(Lines(), std::uint32_t(delivered.size()));
    const auto written = std::count(delivered.begin(), delivered.begin() + lines, std::uint8_t(1));
    return Lines() - std::uint32_t(written);
}
