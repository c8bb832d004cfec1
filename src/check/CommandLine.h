// The checker's command line: check names and options, on top of a plan file when --plan names
// one. Answers one line in Japanese for bad usage, or empty.
#pragma once

#include "check/CheckOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace check {

std::string ParseCommandLine(const std::vector<std::string> &args, CheckOptions &options);

// The arguments that repeat a run: `args` with any --seed replaced by `seed` when one is given
// (the seed the run drew, so the random pattern repeats).
std::vector<std::string> RerunArgs(const std::vector<std::string> &args, std::optional<uint64_t> seed);
// One word for a POSIX shell: single-quoted unless plainly safe; a quote inside as '\''.
std::string ShellWord(const std::string &word);

// The checks and their parameters with defaults and limits, for --list and --help.
std::string ListText(const std::vector<std::string> &patternNames);

// A number in decimal or with 0x in hex, the whole text with no sign or white space. A negative
// number or one beyond 64 bits is a number out of range, not "not a number".
struct NumberText {
    std::optional<uint64_t> value;
    bool outOfRange = false;
};
NumberText ParseNumberText(const std::string &text);
std::optional<uint64_t> ParseNumber(const std::string &text);

} // namespace check
