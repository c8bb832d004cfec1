// pelora2-trace replay FILE [--speed X] -- COMMAND [ARGS...]: runs COMMAND on the simulated
// board in replay mode (docs/trace.md, "Replay").
#pragma once

#include <string>
#include <vector>

namespace tracetool {

// args: what follows "replay" on the command line. Returns the exit status: COMMAND's own, or
// 2 (usage), 3 (unreadable trace, no simulated board, COMMAND not started).
int replayCommand(const std::vector<std::string> &args);

} // namespace tracetool
