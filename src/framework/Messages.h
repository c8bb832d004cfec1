// Window message numbers and command IDs the program uses, with their classic values.
#pragma once

#include <cstdint>

namespace fw {

using WindowHandle = std::uint64_t; // identifies a dialog window; 0 = none; never reused

constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_USER = 0x0400;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Control notifications a message map can bind.
constexpr int BN_CLICKED = 0;
constexpr int EN_CHANGE = 0x0300;
constexpr int CBN_SELCHANGE = 1;

} // namespace fw
