// The checker as a function: command line in, exit status out, text on the two streams. The
// executable's main() calls it; tests call it in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace check {

int CheckMain(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

} // namespace check
