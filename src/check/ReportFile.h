// Writing a report file whole: to a temporary name beside it, renamed into place, so that an
// interrupted run never leaves half a report under the asked name.
#pragma once

#include <string>

namespace check {

// Answers an error line in Japanese, or empty.
std::string WriteReportFile(const std::string &path, const std::string &contents, const char *what);

} // namespace check
