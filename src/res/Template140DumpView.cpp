// Scan data dump: hex listing of a chosen range. No OK or Cancel button: Esc, Enter or the
// system menu end it.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace dumpview;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_STATIC, ControlKind::Static, "データ表示", 7, 12, 34, 8},
    {IDC_LISTING, ControlKind::Edit, "", 7, 24, 251, 202, kListing},
    {IDC_STATIC, ControlKind::Static, "データサイズ：", 7, 244, 59, 8},
    {IDC_DATA_SIZE, ControlKind::Edit, "", 74, 242, 40, 14, kEditAuto | EsReadOnly},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 120, 245, 25, 8},
    {IDC_STATIC, ControlKind::Static, "開始オフセット：", 7, 262, 66, 8},
    {IDC_START_OFFSET, ControlKind::Edit, "", 74, 260, 40, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 120, 262, 25, 8},
    {IDC_STATIC, ControlKind::Static, "終了オフセット：", 7, 280, 66, 8},
    {IDC_END_OFFSET, ControlKind::Edit, "", 74, 278, 40, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 120, 280, 23, 8},
    {IDC_SAVE, ControlKind::PushButton, "データ保存", 148, 278, 50, 14, kButton},
    {IDC_SHOW, ControlKind::PushButton, "表示", 208, 278, 50, 14, kButton},
};
} // namespace

constinit const fw::DialogTemplate kDumpView{
    IDD_DUMP_VIEW, "ダンプ表示", 265, 299, kGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
