// pelora2-trace replay FILE [--speed X] -- COMMAND [ARGS...]: runs COMMAND on the simulated
// board in replay mode (docs/trace.md, "Replay").
#pragma once

#include <string>
#include <vector>

namespace tracetool {

// args: what follows "replay" on the command line. Returns the exit status: COMMAND's own
// (128 + the signal that ended it), 2 for bad usage, 3 for an unreadable trace or no simulated
// board, 127 when COMMAND cannot be started.
int replayCommand(const std::vector<std::string> &args);

} // namespace tracetool
