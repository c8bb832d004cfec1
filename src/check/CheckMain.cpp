#include "check/CheckMain.h"

#include "check/CommandLine.h"
#include "check/MemoryCheck.h"
#include "check/Runner.h"

namespace check {

int CheckMain(const std::vector<std::string> &args, std::FILE *out, std::FILE *err)
{
    // Everything the user gave is judged before the first board call.
    CheckOptions options;
    const std::vector<std::string> patterns = MemoryPatternNames();
    std::string error = ParseCommandLine(args, options);
    if (error.empty() && (options.help || options.list)) {
        std::fputs(ListText(patterns).c_str(), out);
        return kExitPassed;
    }
    if (error.empty())
        error = ValidateOptions(options, patterns);
    if (!error.empty()) {
        std::fprintf(err, "pelora2-check: %s\n", error.c_str());
        return kExitUsage;
    }
    RunResults results;
    return RunChecks(options, results, out, err);
}

} // namespace check
