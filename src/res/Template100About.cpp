// Version information dialog.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
constexpr fw::ControlTemplate kControls[] = {
    {IDC_STATIC, ControlKind::Icon, "128", 11, 17, 20, 20},
    {IDC_STATIC, ControlKind::Static, "Pelora2 Version 1.0", 40, 10, 119, 8, SsNoPrefix},
    {IDOK, ControlKind::DefPushButton, "OK", 178, 7, 50, 14, kButton},
    // Two lines: whether the simulated board answered, then the library's path.
    {about::IDC_BOARD_LIBRARY, ControlKind::Static, "ボードライブラリ:", 11, 42, 217, 16, SsNoPrefix},
};
} // namespace

constinit const fw::DialogTemplate kAbout{
    IDD_ABOUTBOX, "Pelora2のﾊﾞｰｼﾞｮﾝ情報", 235, 64, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
