// Which board control library this process loaded: its file, and whether it is the simulated
// board. Read from the loader without a board call, so a report can say it before the board is
// opened. Any thread.
#pragma once

#include <string>

namespace ops {

struct BoardLibrary {
    std::string path;       // absolute, links resolved; empty when the loader cannot tell
    bool simulated = false; // the library also exports the simulator's control interface
};

BoardLibrary LoadedBoardLibrary();

// The library in the program's words: its path, followed by "（シミュレーションボード）" for the
// simulated board.
std::string BoardLibraryText(const BoardLibrary &library);

} // namespace ops
