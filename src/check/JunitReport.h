// The JUnit XML report: one testsuite per check group, one testcase per check (named as on the
// terminal), the diagnosis as the failure's message, the figures as the testcase's properties.
#pragma once

#include "check/CheckResults.h"

#include <string>

namespace check {

std::string JunitReportText(const RunResults &results);

} // namespace check
