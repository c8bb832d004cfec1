// Scan data set test. Not visible on creation: the main menu shows it after creating it.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace scandataset;
constexpr fw::ControlTemplate kControls[] = {
    {IDOK, ControlKind::DefPushButton, "閉じる", 94, 29, 50, 14, kButton},
    {IDC_TEST, ControlKind::PushButton, "テスト開始", 94, 7, 50, 14, kButton},
    {IDC_STATIC, ControlKind::Static, "Wait時間", 13, 10, 27, 8},
    {IDC_STATIC, ControlKind::Static, "SCAN実行中（キューイングなし）の確認を行う。", 7, 54, 137, 8},
    {IDC_WAIT, ControlKind::Edit, "", 46, 7, 24, 14, kEdit},
    {IDC_STATIC, ControlKind::Static, "(ms)", 74, 10, 14, 8},
};
} // namespace

constinit const fw::DialogTemplate kScanDataSet{
    IDD_SCAN_DATA_SET, "走査データセット試験", 151, 69, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
