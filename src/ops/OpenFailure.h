// What a failed BoardOpen means, in the program's words: the start-up dialog's box and the
// checker's report say the same.
#pragma once

#include <cstdint>

namespace ops {

// The text for BoardOpen's error output (already open, not installed, duplicated, or any other).
const char *OpenFailureText(uint32_t errorCode);

} // namespace ops
