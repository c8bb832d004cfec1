// The checker as a function: command line in, exit status out, text on the two streams. The
// executable's main() calls it; tests call it in-process.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace check {

// `afterDelivery` (tests only) is called on the delivery thread after each capture delivery, to
// disturb the host's timing as a busy machine does. `program` is the path it was invoked as, for
// the rerun line a failing run prints.
int CheckMain(const std::vector<std::string> &args, std::FILE *out, std::FILE *err,
              std::function<void()> afterDelivery = {}, const std::string &program = "pelora2-check");

} // namespace check
