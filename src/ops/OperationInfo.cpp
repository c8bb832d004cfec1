#include "ops/OperationInfo.h"

#include <cstdio>

namespace ops {

OperationInfoRead ReadOperationInfo(BoardHandle board, OperationHistory &history)
{
    OperationInfoRead read;
    const int32_t status = ErrorInfoGet(board, &read.notifiedNoRequest, &read.notifiedHookBusy);
    if (status != 0) {
        read.result = Failed("ErrorInfoGet", status, "エラー情報取得が失敗しました。", Icon::Stop);
        return read;
    }
    OperationInfoGet(board, &history.first, history.pairs[0].history, &history.pairs[0].index,
                     history.pairs[1].history, &history.pairs[1].index, history.pairs[2].history,
                     &history.pairs[2].index, history.pairs[3].history, &history.pairs[3].index);
    return read;
}

std::string FormatHistory(const OperationHistory &history)
{
    std::string lines;
    lines.reserve(OPERATION_HISTORY_LENGTH * 12);
    char line[32];
    for (uint32_t i = 0; i < OPERATION_HISTORY_LENGTH; ++i) {
        std::snprintf(line, sizeof line, "%4d:%4d\r\n", static_cast<int>(i),
                      static_cast<int32_t>(history.pairs[0].history[i]));
        lines += line;
    }
    return lines;
}

} // namespace ops
