#include "app/OperationInfoDlg.h"

#include "ops/OperationInfo.h"
#include "res/Resources.h"
#include "tools/ShowResult.h"

#include <cstdio>
#include <string>

namespace {

// Control and template IDs from the resources.
using res::IDD_OPERATION_INFO;
using namespace res::opinfo;

// Process-wide, like the library's own statistics: each opening overwrites it, and a failing
// OperationInfoGet leaves the previous opening's values. UI thread only.
ops::OperationHistory g_operationInfo;

std::string FormatInt(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

} // namespace

COperationInfoDlg::COperationInfoDlg() : fw::Dialog(IDD_OPERATION_INFO) {}

bool COperationInfoDlg::OnInitDialog()
{
    const ops::OperationInfoRead read = ops::ReadOperationInfo(m_hBoard, g_operationInfo);
    if (!read.result.ok()) {
        ShowResult(this, read.result);
        return true;
    }

    SetDlgItemText(IDC_NO_REQUEST_COUNT, FormatInt(read.notifiedNoRequest));
    SetDlgItemText(IDC_HOOK_BUSY_COUNT, FormatInt(read.notifiedHookBusy));
    SetDlgItemText(IDC_HISTORY_INDEX, FormatInt(static_cast<int32_t>(g_operationInfo.pairs[0].index)));

    // The 1024 lines go in with one insertion at the caret of the empty edit: the same text as
    // line-by-line insertion without 1024 round trips through the control.
    EditLimitText(IDC_HISTORY, 0);
    EditReplaceSel(IDC_HISTORY, ops::FormatHistory(g_operationInfo));
    return true;
}
