#include "ops/AreaScanStart.h"

#include <cstddef>

namespace ops {
namespace {

// Indirect DSP write (address, then value) whose results Start does not look at.
void WriteDsp(BoardHandle board, uint32_t address, uint32_t value)
{
    IoWriteLong(board, REG_MAC_DSP_ADR_90, address);
    IoWriteLong(board, REG_MAC_DSP_ADR_94, value);
}

Result RegisterFailed(const char *name, int32_t status)
{
    return Failed(name, status, std::string("レジスタライトが失敗しました。(") + name + ")", Icon::Stop);
}

} // namespace

void IssueRequestBatch(BoardHandle board, uint32_t count, uint8_t *apBuffer, uint32_t apSize,
                       const std::function<void(const uint8_t *, uint32_t)> &registerRequest)
{
    if (count == 0)
        return;
    if (apBuffer != nullptr) {
        const uint32_t share = apSize / count;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t *buffer = apBuffer + std::size_t(i) * share;
            if (registerRequest)
                registerRequest(buffer, share);
            ImageRequest(board, buffer, share);
        }
    } else {
        for (uint32_t i = 0; i < count; ++i)
            ImageRequest(board, nullptr, 0);
    }
}

Result StartAreaScan(BoardHandle board, const AreaScanParams &p, const AreaScanHooks &hooks)
{
    const uint32_t area = p.lines * 65536u + p.pixels;
    int32_t status = IoWriteLong(board, REG_MAC_H_UDTCSR, area);
    if (status != 0)
        return RegisterFailed("MAC H-UDTCSR", status);
    status = IoWriteLong(board, REG_MAC_L_UDTCSR, area);
    if (status != 0)
        return RegisterFailed("MAC L-UDTCSR", status);
    status = IoWriteLong(board, REG_DIO_L_UDTCSR, area);
    if (status != 0)
        return RegisterFailed("DIO L-UDTCSR", status);
    status = hooks.clearRequests ? hooks.clearRequests() : ImageRequestClear(board);
    if (status != 0)
        return Failed("ImageRequestClear", status, "矩形データ取得要求クリアが失敗しました。", Icon::Stop);

    const bool batch = p.autoIssue && p.requestCount >= 1 && hooks.issueBatch;
    if (batch && p.issueBeforeStart)
        hooks.issueBatch(p.requestCount);

    status = ScanPrepare(board, p.scanKind, p.unitFlags, p.pixelBytes, p.lineInterval);
    if (status == BOARD_STATUS_SCAN_FIFO_INIT)
        return Failed("ScanPrepare", status, "走査FIFO初期化エラーが発生しました。", Icon::Stop);
    if (status != 0)
        return Failed("ScanPrepare", status, "Scan起動準備が失敗しました。", Icon::Stop);
    if (hooks.prepared)
        hooks.prepared();

    status = IoWriteLong(board, REG_DIO_IMG_GETMODE, 0);
    if (status != 0)
        return RegisterFailed("DIO_IMG_GETMODE_108", status);

    if (p.dspStart) {
        const uint32_t sizeCode = p.pixelBytes == 1 ? 0 : p.pixelBytes == 2 ? 1 : 2;
        WriteDsp(board, DSP_PARAM_BLOCK + 0, p.pixels);
        WriteDsp(board, DSP_PARAM_BLOCK + 1, p.lines);
        WriteDsp(board, DSP_PARAM_BLOCK + 2, sizeCode);
        WriteDsp(board, DSP_PARAM_BLOCK + 3, p.startCount);
        WriteDsp(board, DSP_PARAM_BLOCK + 7, p.clkoutWait);
        WriteDsp(board, DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN); // written last: starts the scan
    }

    if (hooks.sleep)
        hooks.sleep(p.startDelayMs);

    if (batch && !p.issueBeforeStart)
        hooks.issueBatch(p.requestCount);
    return Succeeded();
}

} // namespace ops
