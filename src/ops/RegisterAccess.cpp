#include "ops/RegisterAccess.h"

#include <cstdio>

namespace ops {
namespace {

constexpr uint32_t kLastLongOffset = BOARD_REGISTER_WINDOW - 4;  // 0x11C
constexpr uint32_t kLastShortOffset = BOARD_REGISTER_WINDOW - 2; // 0x11E

Result OutOfRange()
{
    return Failed("range", 0, "オフセットが範囲を越えています。", Icon::Stop, "I/O Map I/Oエラー");
}

} // namespace

uint32_t LastRegisterOffset(RegisterWidth width)
{
    return width == RegisterWidth::Long ? kLastLongOffset : kLastShortOffset;
}

RegisterRead ReadRegister(BoardHandle board, uint32_t offset, RegisterWidth width)
{
    RegisterRead read;
    if (offset > LastRegisterOffset(width)) {
        read.result = OutOfRange();
        return read;
    }
    const bool isLong = width == RegisterWidth::Long;
    const int32_t status = isLong ? IoReadLong(board, offset, &read.value)
                                  : IoReadShort(board, offset, &read.value);
    if (status != 0) {
        read.result = Failed(isLong ? "IoReadLong" : "IoReadShort", status, "レジスタリードが失敗しました。");
        read.value = 0;
        return read;
    }
    char text[16];
    if (isLong)
        std::snprintf(text, sizeof text, "%08X", read.value);
    else
        std::snprintf(text, sizeof text, "%04X", read.value & 0xFFFFu);
    read.text = text;
    return read;
}

Result WriteRegister(BoardHandle board, uint32_t offset, uint32_t value, RegisterWidth width)
{
    // A write beyond the window would reach whatever the library maps after it, so it is refused
    // with the read's message.
    if (offset > LastRegisterOffset(width))
        return OutOfRange();
    const bool isLong = width == RegisterWidth::Long;
    const int32_t status = isLong ? IoWriteLong(board, offset, value) : IoWriteShort(board, offset, value);
    if (status != 0)
        return Failed(isLong ? "IoWriteLong" : "IoWriteShort", status, "レジスタライトが失敗しました。");
    return Succeeded("レジスタライトが完了しました。");
}

} // namespace ops
