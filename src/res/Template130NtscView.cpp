// NTSC image display: live picture, buffer size and overlay colour key.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace ntsc;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_START, ControlKind::PushButton, "開始", 265, 349, 50, 14, kButton},
    {IDC_STOP, ControlKind::PushButton, "停止", 322, 349, 50, 14, kButton},
    {IDC_PICTURE, ControlKind::Frame, "", 7, 17, 368, 323, SsBlackFrame | Border},
    {IDC_STATIC, ControlKind::Static, "画像表示", 7, 7, 28, 8},
    {IDC_BUFFER_SIZE, ControlKind::Edit, "", 204, 349, 34, 14, kEditAuto | EsRight},
    {IDC_STATIC, ControlKind::Static, "バッファサイズ：", 157, 353, 47, 8},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 241, 353, 17, 8},
    {IDC_OVERLAY, ControlKind::RadioButton, "Overlay", 48, 359, 38, 10, Group | TabStop},
    {IDC_BMP, ControlKind::RadioButton, "BMP", 13, 359, 30, 10},
    {IDC_STATIC, ControlKind::GroupBox, "表示形式", 7, 347, 81, 30},
    {IDC_STATIC, ControlKind::GroupBox, "オーバーレイ色", 7, 380, 109, 30},
    {IDC_KEY_RED, ControlKind::Edit, "", 22, 389, 19, 14, kEdit},
    {IDC_KEY_GREEN, ControlKind::Edit, "", 57, 389, 19, 14, kEdit},
    {IDC_KEY_BLUE, ControlKind::Edit, "", 91, 389, 19, 14, kEdit},
    {IDC_STATIC, ControlKind::Static, "R", 13, 392, 8, 8},
    {IDC_STATIC, ControlKind::Static, "G", 48, 392, 8, 8},
    {IDC_STATIC, ControlKind::Static, "B", 82, 392, 8, 8},
};
} // namespace

constinit const fw::DialogTemplate kNtscView{
    IDD_NTSC_VIEW, "NTSC画像表示", 383, 423, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
