// Register access. Visible on creation; no system menu, so no close box.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace reg;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_STATIC, ControlKind::GroupBox, "Io Map Io", 7, 7, 197, 85},
    {IDC_ULONG, ControlKind::RadioButton, "ULONG", 18, 26, 38, 10, Group | TabStop},
    {IDC_USHORT, ControlKind::RadioButton, "USHORT", 69, 26, 42, 10},
    {IDC_STATIC, ControlKind::Static, "Offset", 17, 51, 19, 8},
    {IDC_OFFSET, ControlKind::Edit, "", 41, 47, 63, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 107, 51, 17, 8},
    {IDC_STATIC, ControlKind::Static, "Data", 17, 73, 15, 8},
    {IDC_DATA, ControlKind::Edit, "", 41, 71, 63, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 107, 73, 17, 8},
    {IDC_READ, ControlKind::PushButton, "リード", 145, 47, 50, 14, kButton},
    {IDC_WRITE, ControlKind::PushButton, "ライト", 145, 71, 50, 14, kButton},
    {IDOK, ControlKind::PushButton, "終了", 147, 97, 57, 13, kButton},
};
} // namespace

constinit const fw::DialogTemplate kRegister{IDD_REGISTER,
                                             "レジスタ",
                                             211,
                                             117,
                                             kPGothic,
                                             9,
                                             Popup | Visible | Caption | ModalFrame | SetFont,
                                             0,
                                             kControls};
} // namespace res::tmpl
