#include "ops/FrameMemory.h"

#include <cstring>
#include <new>

namespace ops {

Result CheckFrameRange(FrameDirection direction, const FrameRange &range)
{
    const bool read = direction == FrameDirection::Read;
    const char *message = nullptr;
    if (range.bank > FRAME_MEMORY_BANKS - 1)
        message = "Bank番号が不正です（有効範囲 0-3 ）。";
    else if (range.offset % 4 != 0)
        message = "Offsetは4byteバウンダリで指定してください。";
    else if (range.size == 0)
        message = "サイズが０です。";
    else if (range.size % 4 != 0)
        message = "Sizeは4byte単位で指定してください。";
    else if (range.size > kFrameTransfer)
        message = read ? "リード可能サイズはMAX 1MBです。" : "ライト可能サイズはMAX 1MBです。";
    else if (uint64_t{range.offset} + range.size > FRAME_MEMORY_BANK_SIZE)
        message = read ? "指定したオフセットとサイズではターゲットアクセスのフレームメモリ領域を超えてしまいます。"
                       : "指定したオフセットとサイズではフレームメモリ領域を超えてしまいます。";
    if (message == nullptr)
        return Succeeded();
    return Failed("parameter", 0, message, Icon::Stop,
                  read ? "フレームメモリリード パラメータエラー" : "フレームメモリライト パラメータエラー");
}

std::optional<std::vector<uint8_t>> MakeTransferBuffer()
{
    try {
        return std::vector<uint8_t>(kFrameTransfer, 0);
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

Result NoTransferBuffer()
{
    return Failed("buffer", 0, "作業用メモリ(1MB)を確保できませんでした。", Icon::Stop);
}

FrameRead ReadFrameMemory(BoardHandle board, const FrameRange &range)
{
    FrameRead read;
    read.result = CheckFrameRange(FrameDirection::Read, range);
    if (!read.result.ok())
        return read;
    std::optional<std::vector<uint8_t>> buffer = MakeTransferBuffer();
    if (!buffer) {
        read.result = NoTransferBuffer();
        return read;
    }
    const int32_t status = FrameMemoryRead(board, range.bank, range.offset, range.size, buffer->data());
    if (status != 0) {
        read.result = Failed("FrameMemoryRead", status, "フレームメモリリードが失敗しました。");
        return read;
    }
    read.data = std::move(*buffer);
    return read;
}

Result FillFrameMemory(BoardHandle board, const FrameRange &range, uint8_t fill)
{
    Result checked = CheckFrameRange(FrameDirection::Write, range);
    if (!checked.ok())
        return checked;
    std::optional<std::vector<uint8_t>> buffer = MakeTransferBuffer();
    if (!buffer)
        return NoTransferBuffer();
    std::memset(buffer->data(), fill, range.size);
    const int32_t status = FrameMemoryWrite(board, range.bank, range.offset, range.size, buffer->data());
    if (status != 0)
        return Failed("FrameMemoryWrite", status, "フレームメモリライトが失敗しました。");
    return Succeeded();
}

} // namespace ops
