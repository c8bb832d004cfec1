#include "app/OperationInfoDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"

#include <cstdio>
#include <string>

namespace {

// Control and template IDs from the resources.
using res::IDD_OPERATION_INFO;
using namespace res::opinfo;

// What OperationInfoGet fills. Process-wide, like the library's own statistics: each opening
// overwrites it, and a failing call leaves the previous opening's values. UI thread only.
struct OperationInfo {
    uint32_t first;
    struct {
        uint32_t history[OPERATION_HISTORY_LENGTH];
        uint32_t index;
    } pairs[4];
};
OperationInfo g_operationInfo;

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
    int32_t notifiedNoRequest = 0;
    int32_t notifiedHookBusy = 0;
    if (ErrorInfoGet(m_hBoard, &notifiedNoRequest, &notifiedHookBusy) != 0) {
        fw::MessageBox(this, "エラー情報取得が失敗しました。", std::nullopt, fw::MsgIcon::Stop);
        return true;
    }

    OperationInfo &info = g_operationInfo;
    OperationInfoGet(m_hBoard, &info.first, info.pairs[0].history, &info.pairs[0].index,
                     info.pairs[1].history, &info.pairs[1].index, info.pairs[2].history,
                     &info.pairs[2].index, info.pairs[3].history, &info.pairs[3].index);

    SetDlgItemText(IDC_NO_REQUEST_COUNT, FormatInt(notifiedNoRequest));
    SetDlgItemText(IDC_HOOK_BUSY_COUNT, FormatInt(notifiedHookBusy));
    SetDlgItemText(IDC_HISTORY_INDEX, FormatInt(static_cast<int32_t>(info.pairs[0].index)));

    // The 1024 lines go in with one insertion at the caret of the empty edit: the same text as
    // line-by-line insertion without 1024 round trips through the control.
    std::string lines;
    lines.reserve(OPERATION_HISTORY_LENGTH * 12);
    char line[32];
    for (uint32_t i = 0; i < OPERATION_HISTORY_LENGTH; ++i) {
        std::snprintf(line, sizeof line, "%4d:%4d\r\n", static_cast<int>(i),
                      static_cast<int32_t>(info.pairs[0].history[i]));
        lines += line;
    }
    EditLimitText(IDC_HISTORY, 0);
    EditReplaceSel(IDC_HISTORY, lines);
    return true;
}
