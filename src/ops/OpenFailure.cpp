#include "ops/OpenFailure.h"

#include "board/pel2ctl.h"

namespace ops {

const char *OpenFailureText(uint32_t errorCode)
{
    switch (errorCode) {
    case BOARD_ERR_ALREADY_OPEN:
        return "指定された基板IDは既にオープン済みです。";
    case BOARD_ERR_NOT_INSTALLED:
        return "指定された基板IDは実装されていません。";
    case BOARD_ERR_DUPLICATED:
        return "指定された基板IDが重複しています。";
    default:
        return "デバイス オープンが失敗しました。";
    }
}

} // namespace ops
