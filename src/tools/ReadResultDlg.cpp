#include "tools/ReadResultDlg.h"

#include "tools/HexListing.h"
#include "res/Resources.h"

#include <cstdio>
#include <string>

namespace {

// Control and template IDs from the resources.
using res::IDD_READ_RESULT;
using namespace res::readresult;

} // namespace

CReadResultDlg::CReadResultDlg() : fw::Dialog(IDD_READ_RESULT)
{
    OnCommand(IDC_SAVE, [this] { OnSave(); });
}

CReadResultDlg::~CReadResultDlg() = default;

bool CReadResultDlg::OnInitDialog()
{
    char title[48];
    std::snprintf(title, sizeof title, "フレームメモリ Bank%d", m_nBank);
    SetDlgItemText(IDC_TITLE, title);
    // Line n starts at the n-th group of 16 bytes read and shows its frame memory offset.
    hexlisting::FillListing(*this, IDC_LISTING, m_pData, m_pData ? m_dwSize : 0, m_dwOffset,
                            hexlisting::LineStart::FirstByte);
    return true;
}

void CReadResultDlg::OnSave()
{
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "(Offset=0x%08X Size=%08X).dat", m_dwOffset, m_dwSize);
    const std::string proposed = GetDlgItemText(IDC_TITLE) + suffix;
    hexlisting::SaveDumpFile(*this, m_pData, m_pData ? m_dwSize : 0, proposed);
}
