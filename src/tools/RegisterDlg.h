// Register tool: reads and writes one I/O-mapped register of the board at a time, 32 or 16 bits.
// Modeless; the main menu owns the object and creates a fresh window each time it is opened.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "ops/RegisterAccess.h"

class CRegisterDlg : public fw::Dialog {
public:
    CRegisterDlg();
    ~CRegisterDlg() override;

    // Closes the open window exactly as "終了" does; nothing when no window is open.
    void WindDown();

    BoardHandle m_hBoard = 0;
    fw::WindowHandle m_hMenuWnd = 0;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnRead();
    void OnWrite();
    void CloseTool();
    ops::RegisterWidth Width() const;
};
