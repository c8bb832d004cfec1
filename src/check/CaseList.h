// --list: every case the options would run, with its parameters and limits as resolved after the
// tier, the plan and the command line; one line a case, the run's tier and loops first.
#pragma once

#include "check/CheckOptions.h"

#include <string>

namespace check {

// With no check named (and no --all or tier), the cases of --all are listed.
std::string CaseListText(const CheckOptions &options);

} // namespace check
