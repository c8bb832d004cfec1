// The version information dialog, reached from the start-up dialog's system menu. It also names
// the board library the program loaded, and says when that is the simulated board.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg();

protected:
    bool OnInitDialog() override;
};
