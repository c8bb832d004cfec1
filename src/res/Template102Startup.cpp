// Start-up dialog: board selection. The application's main window, so it shows in the task bar.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace startup;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_START, ControlKind::PushButton, "スタート", 30, 45, 73, 24, kButton},
    {IDC_STATIC, ControlKind::Static, "基板ID：", 32, 24, 24, 8},
    // Height 40 is the open list.
    {IDC_BOARD_ID, ControlKind::ComboBox, "", 57, 21, 27, 40, CbsDropDown | CbsSort | VScroll | TabStop},
    {IDC_STATIC, ControlKind::Static, "2003.10.20 更新", 81, 82, 47, 8},
};
} // namespace

constinit const fw::DialogTemplate kStartup{IDD_PELORA2_DIALOG,
                                            "PeloraⅡ動作確認プログラム",
                                            135,
                                            97,
                                            kPGothic,
                                            9,
                                            Popup | Visible | Caption | SysMenu | MinimizeBox |
                                                ModalFrame | SetFont,
                                            ExAppWindow,
                                            kControls};
} // namespace res::tmpl
