// Main menu: one button per tool.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace mainmenu;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_DSP_DOWNLOAD, ControlKind::PushButton, "DSPダウンロード", 7, 7, 62, 22, kButton},
    {IDC_RECT_SCAN, ControlKind::PushButton, "矩形エリアスキャン", 7, 41, 62, 22, kButton},
    {IDC_NTSC_VIEW, ControlKind::PushButton, "NTSC画像表示", 7, 75, 62, 22, kButton},
    {IDC_REGISTER, ControlKind::PushButton, "レジスタ", 84, 7, 62, 22, kButton},
    {IDC_FRAME_MEMORY, ControlKind::PushButton, "フレームメモリ", 84, 41, 62, 22, kButton},
    {IDC_RESET, ControlKind::PushButton, "リセット", 84, 75, 62, 22, kButton},
    {IDC_ERROR_INFO, ControlKind::PushButton, "エラー情報表示", 7, 108, 62, 22, kButton},
    {IDC_SCAN_DATA_SET, ControlKind::PushButton, "走査データセット", 84, 108, 62, 22, kButton},
    {IDC_STATIC, ControlKind::Static, "「レジスタ」と「矩形エリアスキャン」は同時実行可", 7, 140, 140, 8},
};
} // namespace

constinit const fw::DialogTemplate kMainMenu{
    IDD_MAIN_MENU, "メインメニュー（Line Int間隔ほか対応）", 155, 155, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
