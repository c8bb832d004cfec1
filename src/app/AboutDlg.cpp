#include "app/AboutDlg.h"

#include "ops/BoardLibrary.h"
#include "res/Resources.h"

#include <string>

CAboutDlg::CAboutDlg() : fw::Dialog(res::IDD_ABOUTBOX) {}

bool CAboutDlg::OnInitDialog()
{
    // Two lines: whether the simulated board answered, then the library's path.
    const ops::BoardLibrary library = ops::LoadedBoardLibrary();
    SetDlgItemText(res::about::IDC_BOARD_LIBRARY,
                   std::string(library.simulated ? "ボードライブラリ（シミュレーションボード）:" : "ボードライブラリ:")
                       + "\n" + (library.path.empty() ? "（不明）" : library.path));
    return true;
}
