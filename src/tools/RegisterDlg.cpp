#include "tools/RegisterDlg.h"

#include "ops/RegisterAccess.h"
#include "res/Resources.h"
#include "session/ToolProtocol.h"
#include "tools/ShowResult.h"

namespace {

// Control and template IDs from the resources.
using res::IDD_REGISTER;
using namespace res::reg;

} // namespace

CRegisterDlg::CRegisterDlg() : fw::Dialog(IDD_REGISTER)
{
    OnCommand(IDC_READ, [this] { OnRead(); });
    OnCommand(IDC_WRITE, [this] { OnWrite(); });
}

CRegisterDlg::~CRegisterDlg() = default;

bool CRegisterDlg::OnInitDialog()
{
    CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_ULONG);
    return true;
}

ops::RegisterWidth CRegisterDlg::Width() const
{
    return IsDlgButtonChecked(IDC_ULONG) ? ops::RegisterWidth::Long : ops::RegisterWidth::Short;
}

void CRegisterDlg::OnRead()
{
    const uint32_t offset = GetDlgItemNumber(IDC_OFFSET, 16);
    const ops::RegisterRead read = ops::ReadRegister(m_hBoard, offset, Width());
    if (!read.result.ok()) {
        ShowResult(this, read.result);
        return;
    }
    SetDlgItemText(IDC_DATA, read.text);
}

void CRegisterDlg::OnWrite()
{
    const uint32_t offset = GetDlgItemNumber(IDC_OFFSET, 16);
    const uint32_t value = GetDlgItemNumber(IDC_DATA, 16);
    ShowResult(this, ops::WriteRegister(m_hBoard, offset, value, Width()));
}

void CRegisterDlg::OnOK()
{
    CloseTool();
}

// Esc (and the close box, through OnClose) close the tool for good, like "終了", so the main
// menu's button does not stay disabled.
void CRegisterDlg::OnCancel()
{
    CloseTool();
}

void CRegisterDlg::WindDown()
{
    if (IsWindow())
        CloseTool();
}

void CRegisterDlg::CloseTool()
{
    if (!IsWindow())
        return;
    EndDialog(fw::IDOK);
    DestroyWindow();
    fw::Dialog::PostMessage(m_hMenuWnd, WM_TOOL_CLOSED, TOOL_REGISTER, 0);
}
