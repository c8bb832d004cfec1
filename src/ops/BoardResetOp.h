// Board reset. A reset drops every image request, as a clear does: the caller tells its request
// bookkeeping on success.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

namespace ops {

// Step "BoardReset". Success and failure both carry the box.
Result ResetBoard(BoardHandle board);

} // namespace ops
