#include "ops/BoardResetOp.h"

namespace ops {

Result ResetBoard(BoardHandle board)
{
    const int32_t status = BoardReset(board);
    if (status != 0)
        return Failed("BoardReset", status, "リセットが失敗しました。", Icon::Stop, "リセット");
    return Succeeded("リセットが完了しました。", "リセット");
}

} // namespace ops
