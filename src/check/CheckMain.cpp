#include "check/CheckMain.h"

#include "check/CaseList.h"
#include "check/CommandLine.h"
#include "check/MemoryCheck.h"
#include "check/Runner.h"

#include <cstdio>
#include <string>

namespace check {
namespace {

// The error as one line whatever the user typed: control characters shown as escapes.
std::string OneLineText(const std::string &text)
{
    std::string line;
    for (unsigned char ch : text) {
        if (ch == '\n')
            line += "\\n";
        else if (ch == '\t')
            line += "\\t";
        else if (ch < 0x20 || ch == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", ch);
            line += escaped;
        } else
            line += static_cast<char>(ch);
    }
    return line;
}

} // namespace

int CheckMain(const std::vector<std::string> &args, std::FILE *out, std::FILE *err,
              std::function<void()> afterDelivery, const std::string &program)
{
    // Everything the user gave is judged before the first board call.
    CheckOptions options;
    const std::vector<std::string> patterns = MemoryPatternNames();
    std::string error = ParseCommandLine(args, options);
    if (error.empty() && options.help) {
        std::fputs(ListText(patterns).c_str(), out);
        return kExitPassed;
    }
    if (error.empty() && options.list) {
        // The cases as this command line would run them, then the options for reference.
        std::fputs((CaseListText(options) + "\n" + ListText(patterns)).c_str(), out);
        return kExitPassed;
    }
    if (error.empty())
        error = ValidateOptions(options, patterns);
    if (!error.empty()) {
        std::fprintf(err, "pelora2-check: %s\n", OneLineText(error).c_str());
        return kExitUsage;
    }
    options.afterDelivery = std::move(afterDelivery);
    options.program = program;
    options.args = args;
    RunResults results;
    return RunChecks(options, results, out, err);
}

} // namespace check
