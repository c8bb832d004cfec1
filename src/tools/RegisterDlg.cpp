#include "tools/RegisterDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "session/ToolProtocol.h"

#include <cstdio>

namespace {

// Control and template IDs from the resources.
using res::IDD_REGISTER;
using namespace res::reg;

// Last offsets at which an access of the width still ends inside the 0x120-byte window.
constexpr uint32_t kLastLongOffset = 0x11C;
constexpr uint32_t kLastShortOffset = 0x11E;

constexpr const char *kOutOfRange = "オフセットが範囲を越えています。";
constexpr const char *kOutOfRangeCaption = "I/O Map I/Oエラー";

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

bool CRegisterDlg::IsUlong() const
{
    return IsDlgButtonChecked(IDC_ULONG);
}

void CRegisterDlg::OnRead()
{
    const uint32_t offset = GetDlgItemNumber(IDC_OFFSET, 16);
    const bool ulong = IsUlong();
    if (offset > (ulong ? kLastLongOffset : kLastShortOffset)) {
        fw::MessageBox(this, kOutOfRange, kOutOfRangeCaption, fw::MsgIcon::Stop);
        return;
    }
    uint32_t value = 0;
    const int32_t result = ulong ? IoReadLong(m_hBoard, offset, &value)
                                 : IoReadShort(m_hBoard, offset, &value);
    if (result != 0) {
        fw::MessageBox(this, "レジスタリードが失敗しました。");
        return;
    }
    char text[16];
    if (ulong)
        std::snprintf(text, sizeof text, "%08X", value);
    else
        std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    SetDlgItemText(IDC_DATA, text);
}

void CRegisterDlg::OnWrite()
{
    const uint32_t offset = GetDlgItemNumber(IDC_OFFSET, 16);
    const uint32_t value = GetDlgItemNumber(IDC_DATA, 16);
    const bool ulong = IsUlong();
    // A write beyond the window would reach whatever the library maps after it, so it is refused
    // with the read's message, before the board is called.
    if (offset > (ulong ? kLastLongOffset : kLastShortOffset)) {
        fw::MessageBox(this, kOutOfRange, kOutOfRangeCaption, fw::MsgIcon::Stop);
        return;
    }
    // The 16-bit write passes the value as parsed: the library decides what to do with the high bits.
    const int32_t result = ulong ? IoWriteLong(m_hBoard, offset, value)
                                 : IoWriteShort(m_hBoard, offset, value);
    fw::MessageBox(this, result != 0 ? "レジスタライトが失敗しました。" : "レジスタライトが完了しました。");
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
