// Error counters and operation statistics of the board.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>
#include <string>

namespace ops {

// What OperationInfoGet fills. The caller keeps it: a failing OperationInfoGet leaves what the
// previous reading put there, and the tool shows that.
struct OperationHistory {
    uint32_t first = 0;
    struct {
        uint32_t history[OPERATION_HISTORY_LENGTH];
        uint32_t index;
    } pairs[4] = {};
};

struct OperationInfoRead {
    Result result;
    int32_t notifiedNoRequest = 0;
    int32_t notifiedHookBusy = 0;
};

// Step "ErrorInfoGet" with its box; then OperationInfoGet into `history`, whose answer is not
// judged (the tool shows whatever the history holds).
OperationInfoRead ReadOperationInfo(BoardHandle board, OperationHistory &history);

// The first history as the tool lists it: 1024 lines "%4d:%4d\r\n".
std::string FormatHistory(const OperationHistory &history);

} // namespace ops
