// The main menu: launches every tool on the open board. Three tools run modelessly beside it,
// one window each; the rest run modally, a new object each time.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "framework/Event.h"
#include "session/BoardSession.h"
#include "scan/RectScanDlg.h"
#include "tools/RegisterDlg.h"
#include "tools/ScanDataSetDlg.h"

class CMainMenuDlg : public fw::Dialog {
public:
    CMainMenuDlg();
    ~CMainMenuDlg() override;

    BoardHandle m_hBoard = 0;
    session::BoardSession *m_pSession = nullptr; // the start-up dialog's; handed to the tools

    // The three modeless tools; their windows come and go, the objects live with the menu.
    CRectScanDlg m_dlgRectScan;
    CRegisterDlg m_dlgRegister;
    CScanDataSetDlg m_dlgScanDataSet;

protected:
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;

private:
    void OnDspDownload();
    void OnRectScan();
    void OnNtscView();
    void OnRegister();
    void OnFrameMemory();
    void OnReset();
    void OnErrorInfo();
    void OnScanDataSet();
    std::intptr_t OnToolClosed(std::uintptr_t wParam, std::intptr_t lParam);
    void WindDownTools();
};
