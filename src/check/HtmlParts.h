// Pieces of the HTML report that are pictures: PNGs as data: URIs (through QImage, no display
// needed) and interval histograms as inline SVG.
#pragma once

#include "check/CheckResults.h"

#include <string>
#include <vector>

namespace check {

// "data:image/png;base64,..." of a grey or RGB picture; empty when there is none.
std::string PictureDataUri(const Picture &picture);
// A bank's failure map as inline SVG: `scale` px a 4 KiB block, 128 blocks (512 KiB) a row, the
// offsets along the left and the top; bad blocks yellow to red with their range and errors as a
// tooltip, and a ring around each when there are few, so that a single bad byte is seen.
std::string MemoryMapSvg(const std::vector<uint32_t> &blockErrors, uint32_t blocks, int scale);
// A histogram of intervals in microseconds, with min, median, p99 and max below; empty list: a
// note instead.
std::string HistogramSvg(const std::vector<double> &intervalsUs);
// Text with &, <, >, " escaped.
std::string HtmlEscape(const std::string &text);

} // namespace check
