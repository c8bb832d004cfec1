// The exclusive right (exclusive/right): acquired and released, the board's status register
// showing it held and then free. An acquire that answers the time-out status only after its
// wait means another program holds the right, and is named so; one that answers at once failed.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunExclusiveCheck(CheckContext &ctx);

} // namespace check
