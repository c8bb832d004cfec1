#include "tools/DspIndirectWrite.h"

#include "framework/MessageBox.h"

#include <optional>

int32_t DspIndirectWrite(const fw::Dialog &owner, BoardHandle hBoard, uint32_t dspAddress,
                         uint32_t value)
{
    int32_t result = IoWriteLong(hBoard, REG_MAC_DSP_ADR_90, dspAddress);
    if (result != 0) {
        fw::MessageBox(&owner, "レジスタ書込みエラー(adr = MAC_DSP_ADR_90)", std::nullopt,
                       fw::MsgIcon::Stop);
        return result;
    }
    result = IoWriteLong(hBoard, REG_MAC_DSP_ADR_94, value);
    if (result != 0) {
        fw::MessageBox(&owner, "レジスタ書込みエラー(adr = MAC_DSP_ADR_94)", std::nullopt,
                       fw::MsgIcon::Stop);
        return result;
    }
    return 0;
}
