#include "ops/DspIndirect.h"

namespace ops {

Result DspIndirectWrite(BoardHandle board, uint32_t dspAddress, uint32_t value)
{
    int32_t status = IoWriteLong(board, REG_MAC_DSP_ADR_90, dspAddress);
    if (status != 0)
        return Failed("MAC_DSP_ADR_90", status, "レジスタ書込みエラー(adr = MAC_DSP_ADR_90)", Icon::Stop);
    status = IoWriteLong(board, REG_MAC_DSP_ADR_94, value);
    if (status != 0)
        return Failed("MAC_DSP_ADR_94", status, "レジスタ書込みエラー(adr = MAC_DSP_ADR_94)", Icon::Stop);
    return Succeeded();
}

void DspIndirectWriteUnchecked(BoardHandle board, uint32_t dspAddress, uint32_t value)
{
    IoWriteLong(board, REG_MAC_DSP_ADR_90, dspAddress);
    IoWriteLong(board, REG_MAC_DSP_ADR_94, value);
}

} // namespace ops
