// The registers check: the whole register window read at 32 and at 16 bits (the 16-bit reads must
// agree with the 32-bit ones), and a write test of the registers the user names, each read back
// and its old value restored. Nothing is written otherwise.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunRegisterCheck(CheckContext &ctx);

} // namespace check
