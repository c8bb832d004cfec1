// Numeric fields: text converted exactly as the C library's strtoul converts it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// strtoul rules in base 10 or 16, the result folded to 32 bits (too large: 0xFFFFFFFF).
std::uint32_t ParseUnsigned(std::string_view text, int base);
// The first maxChars characters (not bytes) of UTF-8 text.
std::string FirstChars(std::string_view utf8, int maxChars);

} // namespace fw
