// The version information dialog, reached from the start-up dialog's system menu.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg();
};
