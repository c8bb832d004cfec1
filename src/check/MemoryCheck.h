// The memory check: every bank, every byte, each pattern (solid, checkerboard, walking ones and
// zeros, address-in-address, random from a seed the report prints, and the many-pass bit flip,
// bit spread, block sequential and sequential increment), one case per bank and pattern, each
// failure diagnosed.
#pragma once

#include "check/CheckContext.h"

#include <string>
#include <vector>

namespace check {

// The patterns' names in the order they run (ASCII, stable).
std::vector<std::string> MemoryPatternNames();

void RunMemoryCheck(CheckContext &ctx);

} // namespace check
