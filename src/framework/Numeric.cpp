#include "framework/Numeric.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace fw {

std::uint32_t ParseUnsigned(std::string_view text, int base)
{
    const std::string copy(text); // strtoul needs a terminated string
    errno = 0;
    const unsigned long value = std::strtoul(copy.c_str(), nullptr, base);
    // unsigned long is 64 bits here; a 32-bit conversion gives 0xFFFFFFFF for anything larger,
    // and a negated value wraps modulo 2^32.
    if (errno == ERANGE)
        return 0xFFFFFFFFu;
    const bool negative = copy.find('-') != std::string::npos &&
                          copy.find_first_not_of(" \t\n\v\f\r") == copy.find('-');
    if (negative) {
        const unsigned long magnitude = 0ul - value;
        if (magnitude > 0xFFFFFFFFul)
            return 0xFFFFFFFFu;
        return static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude));
    }
    if (value > 0xFFFFFFFFul)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(value);
}

std::string FirstChars(std::string_view utf8, int maxChars)
{
    if (maxChars < 0)
        return std::string(utf8);
    std::size_t pos = 0;
    int chars = 0;
    while (pos < utf8.size() && chars < maxChars) {
        const unsigned char c = static_cast<unsigned char>(utf8[pos]);
        std::size_t len = 1;
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        pos += len;
        ++chars;
    }
    return std::string(utf8.substr(0, std::min(pos, utf8.size())));
}

} // namespace fw
