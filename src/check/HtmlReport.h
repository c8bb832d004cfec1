// The HTML report: one self-contained page (pictures as data: URIs, charts as inline SVG): the
// table of results, the last scan picture, the video snapshot, a failure map per memory bank and
// the interval histograms.
#pragma once

#include "check/CheckResults.h"

#include <string>

namespace check {

std::string HtmlReportText(const RunResults &results, int exitStatus);

} // namespace check
