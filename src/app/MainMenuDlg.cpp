#include "app/MainMenuDlg.h"

#include "app/OperationInfoDlg.h"
#include "session/ToolProtocol.h"
#include "display/NtscViewDlg.h"
#include "ops/BoardResetOp.h"
#include "res/Resources.h"
#include "session/RequestBuffers.h"
#include "tools/DspDownloadDlg.h"
#include "tools/FrameMemoryDlg.h"
#include "tools/ShowResult.h"

using namespace res::mainmenu;

CMainMenuDlg::CMainMenuDlg() : fw::Dialog(res::IDD_MAIN_MENU)
{
    OnCommand(IDC_DSP_DOWNLOAD, [this] { OnDspDownload(); });
    OnCommand(IDC_RECT_SCAN, [this] { OnRectScan(); });
    OnCommand(IDC_NTSC_VIEW, [this] { OnNtscView(); });
    OnCommand(IDC_REGISTER, [this] { OnRegister(); });
    OnCommand(IDC_FRAME_MEMORY, [this] { OnFrameMemory(); });
    OnCommand(IDC_RESET, [this] { OnReset(); });
    OnCommand(IDC_ERROR_INFO, [this] { OnErrorInfo(); });
    OnCommand(IDC_SCAN_DATA_SET, [this] { OnScanDataSet(); });
    OnMessage(WM_TOOL_CLOSED,
              [this](std::uintptr_t wParam, std::intptr_t lParam) { return OnToolClosed(wParam, lParam); });
}

CMainMenuDlg::~CMainMenuDlg()
{
    // Normally done when the window went; this covers a menu object released without it.
    WindDownTools();
}

// However the menu ends, its tools go first: a tool in a long wait runs a nested event loop
// above the menu's own, and the menu's run cannot return before that wait does.
void CMainMenuDlg::OnOK()
{
    WindDownTools();
    fw::Dialog::OnOK();
}

void CMainMenuDlg::OnCancel()
{
    WindDownTools();
    fw::Dialog::OnCancel();
}

void CMainMenuDlg::OnClose()
{
    WindDownTools();
    fw::Dialog::OnClose();
}

void CMainMenuDlg::OnDestroy()
{
    WindDownTools();
}

void CMainMenuDlg::WindDownTools()
{
    // Each tool runs its complete close sequence (workers stopped, callbacks kept out, buffers
    // released) while the board is still open.
    m_dlgRectScan.WindDown();
    m_dlgRegister.WindDown();
    m_dlgScanDataSet.WindDown();
}

template <class Tool>
static void runModalTool(BoardHandle board)
{
    Tool tool;
    tool.m_hBoard = board;
    tool.DoModal();
}

void CMainMenuDlg::OnDspDownload()
{
    CDspDownloadDlg tool;
    tool.m_hBoard = m_hBoard;
    tool.m_pSession = m_pSession;
    tool.DoModal();
}

void CMainMenuDlg::OnNtscView()
{
    runModalTool<CNtscViewDlg>(m_hBoard);
}

void CMainMenuDlg::OnFrameMemory()
{
    runModalTool<CFrameMemoryDlg>(m_hBoard);
}

void CMainMenuDlg::OnErrorInfo()
{
    runModalTool<COperationInfoDlg>(m_hBoard);
}

void CMainMenuDlg::OnRectScan()
{
    EnableDlgItem(IDC_RECT_SCAN, false);
    m_dlgRectScan.m_hBoard = m_hBoard;
    m_dlgRectScan.m_hScanEvent = m_pSession ? m_pSession->m_hScanEvent.get() : nullptr;
    m_dlgRectScan.m_hMenuWnd = GetSafeHwnd();
    m_dlgRectScan.Create();
}

void CMainMenuDlg::OnRegister()
{
    EnableDlgItem(IDC_REGISTER, false);
    m_dlgRegister.m_hBoard = m_hBoard;
    m_dlgRegister.m_hMenuWnd = GetSafeHwnd();
    m_dlgRegister.Create();
}

void CMainMenuDlg::OnScanDataSet()
{
    EnableDlgItem(IDC_SCAN_DATA_SET, false);
    m_dlgScanDataSet.m_hBoard = m_hBoard;
    m_dlgScanDataSet.m_pSession = m_pSession;
    m_dlgScanDataSet.m_hMenuWnd = GetSafeHwnd();
    m_dlgScanDataSet.Create();
    m_dlgScanDataSet.ShowWindow(true); // its template is not initially visible
}

void CMainMenuDlg::OnReset()
{
    const ops::Result result = ops::ResetBoard(m_hBoard);
    if (result.ok())
        session::RequestsDropped(m_hBoard); // a reset drops every request, as a clear does
    ShowResult(this, result);
}

std::intptr_t CMainMenuDlg::OnToolClosed(std::uintptr_t wParam, std::intptr_t)
{
    switch (wParam) {
    case TOOL_REGISTER:
        EnableDlgItem(IDC_REGISTER, true);
        break;
    case TOOL_RECTSCAN:
        EnableDlgItem(IDC_RECT_SCAN, true);
        break;
    case TOOL_SCANDATASET:
        EnableDlgItem(IDC_SCAN_DATA_SET, true);
        break;
    default:
        break;
    }
    return 1;
}
