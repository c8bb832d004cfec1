// DSP program download: choose a program file (or type its path) and hand the path to the board
// library. The last browsed path is kept for the run in the start-up dialog. Modal.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "session/BoardSession.h"

class CDspDownloadDlg : public fw::Dialog {
public:
    CDspDownloadDlg();

    BoardHandle m_hBoard = 0;
    session::BoardSession *m_pSession = nullptr; // keeps the last browsed path; may be absent

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnBrowse();
    void OnDownload();

    bool m_bDownloading = false; // a download is running; the dialog takes no input meanwhile
};
