// Register peek and poke in the board's 0x120-byte register window, 32 or 16 bits at a time.
// An access that would end outside the window is refused before the board is called.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>

namespace ops {

enum class RegisterWidth { Long, Short };

// The last offset at which an access of the width still ends inside the window.
uint32_t LastRegisterOffset(RegisterWidth width);

struct RegisterRead {
    Result result;
    uint32_t value = 0;
    std::string text; // the value as the tool shows it: 8 or 4 hex digits
};

// Steps: "range", "IoReadLong" / "IoReadShort". No box on success.
RegisterRead ReadRegister(BoardHandle board, uint32_t offset, RegisterWidth width);
// Steps: "range", "IoWriteLong" / "IoWriteShort". The 16-bit write passes the value as given:
// the library decides what to do with the high bits. Success carries the completion box.
Result WriteRegister(BoardHandle board, uint32_t offset, uint32_t value, RegisterWidth width);

} // namespace ops
