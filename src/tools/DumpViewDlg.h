// The dump display (template 140): any range of the scan tool's captured image bytes as a hex
// listing, and the whole of them saved raw to a file. It keeps no copy of the data: it reads the
// open scan tool's image at each show and save, and finds no data once that tool has closed.
#pragma once

#include "framework/Dialog.h"

class CDumpViewDlg : public fw::Dialog {
public:
    CDumpViewDlg();

protected:
    bool OnInitDialog() override;

private:
    void OnShow();
    void OnSave();
};
