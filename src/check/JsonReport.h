// The JSON report: every case with its figures, every memory finding with its records and block
// counts, the interval lists. Keys are ASCII and stable; texts are UTF-8. Written as a stream of
// pieces, so that a run with many records never holds the whole document.
#pragma once

#include "check/CheckResults.h"

#include <functional>
#include <string>
#include <string_view>

namespace check {

using TextSink = std::function<void(std::string_view)>;

void StreamJsonReport(const RunResults &results, int exitStatus, const TextSink &out);
std::string JsonReportText(const RunResults &results, int exitStatus);

} // namespace check
