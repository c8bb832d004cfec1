// Operation information view: the board's error counts and its event-wait overrun history,
// read once when the view opens. Modal, a new object each time.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"

class COperationInfoDlg : public fw::Dialog {
public:
    COperationInfoDlg();

    BoardHandle m_hBoard = 0;

protected:
    bool OnInitDialog() override;
};
