#include "ops/CapturePrepare.h"

namespace ops {

Result PrepareCapture(BoardHandle board, const CaptureSetup &s)
{
    const struct {
        uint32_t reg;
        uint32_t value;
        const char *name;
    } geometry[] = {{REG_MAC_H_UDTCSR, s.geometryH, "MAC H-UDTCSR"},
                    {REG_MAC_L_UDTCSR, s.geometryL, "MAC L-UDTCSR"},
                    {REG_DIO_L_UDTCSR, s.geometryDio, "DIO L-UDTCSR"}};
    for (const auto &g : geometry) {
        const int32_t status = IoWriteLong(board, g.reg, g.value);
        if (status != 0)
            return Failed(g.name, status, std::string("レジスタライトが失敗しました。(") + g.name + ")",
                          Icon::Stop);
    }
    const int32_t cleared = s.clearRequests ? s.clearRequests() : ImageRequestClear(board);
    if (cleared != 0)
        return Failed("ImageRequestClear", cleared, s.clearFailedText, Icon::Stop);
    if (s.issueRequests)
        s.issueRequests();
    const int32_t prepared = ScanPrepare(board, s.scanKind, s.unitFlags, s.pixelBytes, s.lineInterval);
    if (prepared == BOARD_STATUS_SCAN_FIFO_INIT)
        return Failed("ScanPrepare", prepared, "走査FIFO初期化エラーが発生しました。", Icon::Stop);
    if (prepared != 0)
        return Failed("ScanPrepare", prepared, "Scan起動準備が失敗しました。", Icon::Stop);
    return Succeeded();
}

} // namespace ops
