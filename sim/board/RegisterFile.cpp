#include "RegisterFile.h"

#include <cstring>

namespace sim {

namespace {

bool isReadOnly(uint32_t byteOffset)
{
    return byteOffset < 0x18;
}

} // namespace

bool RegisterFile::inWindow(uint32_t offset, unsigned bytes)
{
    return offset <= BOARD_REGISTER_WINDOW && bytes <= BOARD_REGISTER_WINDOW - offset;
}

bool RegisterFile::touches(uint32_t offset, unsigned bytes, uint32_t reg)
{
    return offset < reg + 4 && offset + bytes > reg;
}

uint32_t RegisterFile::read(uint32_t offset, unsigned bytes, const LiveValues &live) const
{
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = offset + i;
        const uint8_t b =
            isReadOnly(at) ? static_cast<uint8_t>(live[at / 4] >> (8 * (at % 4))) : bytes_[at];
        v |= uint32_t{b} << (8 * i);
    }
    return v;
}

void RegisterFile::write(uint32_t offset, unsigned bytes, uint32_t value)
{
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = offset + i;
        if (!isReadOnly(at))
            bytes_[at] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t RegisterFile::word(uint32_t reg) const
{
    uint32_t w;
    std::memcpy(&w, &bytes_[reg], 4);
    return w;
}

void RegisterFile::reset()
{
    bytes_.fill(0);
    frameCount_ = 0;
}

} // namespace sim
