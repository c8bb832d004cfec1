// Read-result view: the bytes just read from one bank of frame memory as a hex listing, with a
// save of the same bytes to a file. Modal. The creator owns the bytes and keeps them alive
// until DoModal has returned; the view only reads them.
#pragma once

#include "framework/Dialog.h"

#include <cstdint>

class CReadResultDlg : public fw::Dialog {
public:
    CReadResultDlg();
    ~CReadResultDlg() override;

    uint32_t m_dwOffset = 0;            // frame memory offset of the first byte
    uint32_t m_dwSize = 0;              // byte count, at most 0x100000
    int m_nBank = 0;                    // 0 to 3
    const uint8_t *m_pData = nullptr;   // m_dwSize bytes

protected:
    bool OnInitDialog() override;

private:
    void OnSave();
};
