// The plan a run resolved to, written beside its reports so that `--plan` repeats the run: every
// parameter as the run used it, the random seed it drew included. The report paths are left out:
// a replay names its own, and would otherwise be refused for writing over the plan it reads.
#pragma once

#include "check/CheckOptions.h"

#include <cstdint>
#include <optional>
#include <string>

namespace check {

// `<first report's path without its extension>.plan.json`; empty when no report is asked for.
std::string ResolvedPlanPath(const CheckOptions &options);

// The plan as JSON in the form ReadPlanText reads; `seed` is the one the memory check used.
std::string ResolvedPlanText(const CheckOptions &options, std::optional<uint64_t> seed);

} // namespace check
