// The JSON report: every case with its figures, every memory finding with its records and block
// counts, the interval lists. Keys are ASCII and stable; texts are UTF-8.
#pragma once

#include "check/CheckResults.h"

#include <string>

namespace check {

std::string JsonReportText(const RunResults &results, int exitStatus);

} // namespace check
