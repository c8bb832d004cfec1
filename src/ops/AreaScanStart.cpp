#include "ops/AreaScanStart.h"

#include "ops/CapturePrepare.h"
#include "ops/DspIndirect.h"

#include <cstddef>

namespace ops {
namespace {

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
    const uint32_t area = p.lines * 65536u + p.pixels; // pixels above 65535 carry into lines
    const bool batch = p.autoIssue && p.requestCount >= 1 && hooks.issueBatch;
    CaptureSetup capture;
    capture.geometryH = capture.geometryL = capture.geometryDio = area;
    capture.clearRequests = hooks.clearRequests;
    capture.clearFailedText = "矩形データ取得要求クリアが失敗しました。";
    if (batch && p.issueBeforeStart)
        capture.issueRequests = [&] { hooks.issueBatch(p.requestCount); };
    capture.scanKind = p.scanKind;
    capture.unitFlags = p.unitFlags;
    capture.pixelBytes = p.pixelBytes;
    capture.lineInterval = p.lineInterval;
    Result prepared = PrepareCapture(board, capture);
    if (!prepared.ok())
        return prepared;
    if (hooks.prepared)
        hooks.prepared();

    const int32_t status = IoWriteLong(board, REG_DIO_IMG_GETMODE, 0);
    if (status != 0)
        return RegisterFailed("DIO_IMG_GETMODE_108", status);

    if (p.dspStart) {
        const uint32_t sizeCode = p.pixelBytes == 1 ? 0 : p.pixelBytes == 2 ? 1 : 2;
        DspIndirectWriteUnchecked(board, DSP_PARAM_BLOCK + 0, p.pixels);
        DspIndirectWriteUnchecked(board, DSP_PARAM_BLOCK + 1, p.lines);
        DspIndirectWriteUnchecked(board, DSP_PARAM_BLOCK + 2, sizeCode);
        DspIndirectWriteUnchecked(board, DSP_PARAM_BLOCK + 3, p.startCount);
        DspIndirectWriteUnchecked(board, DSP_PARAM_BLOCK + 7, p.clkoutWait);
        DspIndirectWriteUnchecked(board, DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN); // last: starts the scan
    }

    if (hooks.sleep)
        hooks.sleep(p.startDelayMs);

    if (batch && !p.issueBeforeStart)
        hooks.issueBatch(p.requestCount);
    return Succeeded();
}

} // namespace ops
