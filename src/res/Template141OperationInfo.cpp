// Operation information view: error counters and the event-wait overrun history, read-only.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace opinfo;
constexpr uint32_t kReadOnly = kEdit | EsReadOnly;
constexpr fw::ControlTemplate kControls[] = {
    {IDOK, ControlKind::DefPushButton, "終了", 124, 23, 38, 14, kButton},
    {IDC_STATIC, ControlKind::Static, "イベント待ちオーバーラン（2以上）：", 7, 7, 141, 8},
    {IDC_HISTORY, ControlKind::Edit, "", 17, 21, 97, 85, kReadOnly | EsMultiline | VScroll | EsAutoHScroll},
    {IDC_STATIC, ControlKind::Static, "Index", 117, 75, 21, 8},
    {IDC_HISTORY_INDEX, ControlKind::Edit, "", 117, 87, 45, 11, kReadOnly},
    {IDC_STATIC, ControlKind::Static, "取得要求未発行による未通知画像数：", 7, 115, 137, 8},
    {IDC_NO_REQUEST_COUNT, ControlKind::Edit, "", 17, 127, 97, 12, kReadOnly},
    {IDC_STATIC, ControlKind::Static, "Hook関数ブロックによる未通知画像数：", 7, 144, 145, 8},
    {IDC_HOOK_BUSY_COUNT, ControlKind::Edit, "", 17, 156, 97, 12, kReadOnly},
};
} // namespace

constinit const fw::DialogTemplate kOperationInfo{
    IDD_OPERATION_INFO, "動作情報", 169, 175, kGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
