// The open check: BoardOpen on the chosen board with the checker's callbacks, then the
// identification registers read back.
#pragma once

#include "check/CheckContext.h"

namespace check {

// Opens the board; adds "open/board" (always when the open fails, so the reason is reported).
// Answers whether the board is open.
bool OpenBoard(CheckContext &ctx, bool reportSuccess);

} // namespace check
