// Frame memory read, write and compare. No OK or Cancel button: Esc, Enter or the system menu
// end it.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace framemem;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_STATIC, ControlKind::Static, "バンク：", 7, 17, 23, 8},
    {IDC_STATIC, ControlKind::Static, "オフセット：", 7, 33, 32, 8},
    {IDC_STATIC, ControlKind::Static, "サイズ：", 7, 49, 24, 8},
    {IDC_BANK, ControlKind::Edit, "", 46, 13, 40, 14, kEditAuto},
    {IDC_OFFSET, ControlKind::Edit, "", 46, 31, 40, 14, kEditAuto},
    {IDC_SIZE, ControlKind::Edit, "", 46, 47, 40, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 89, 15, 17, 8},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 89, 33, 17, 8},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 89, 51, 17, 8},
    {IDC_READ, ControlKind::PushButton, "リード", 162, 15, 50, 14, kButton},
    {IDC_WRITE, ControlKind::PushButton, "ライト", 162, 37, 50, 14, kButton},
    {IDC_COMPARE, ControlKind::PushButton, "コンペア", 162, 59, 50, 14, kButton},
    {IDC_STATIC, ControlKind::Static, "ライト／コンペア時Fillデータ：", 7, 75, 86, 8},
    {IDC_FILL, ControlKind::Edit, "", 95, 72, 19, 14, kEditAuto},
    {IDC_STATIC, ControlKind::Static, "(Hex)", 119, 75, 17, 8},
    {IDC_STATIC, ControlKind::Static, "コンペア時はBank毎にインクリメントしてFillする。", 7, 99, 142, 8},
    {IDC_STATIC, ControlKind::Static, "例：指定値=55H  Bank0は55HでFill Bank1は56HでFill Bank2は57Hで．．", 7,
     109, 212, 8},
    {IDC_LOG, ControlKind::Edit, "", 7, 124, 205, 46, kListing | EsReadOnly},
};
} // namespace

constinit const fw::DialogTemplate kFrameMemory{
    IDD_FRAME_MEMORY, "フレームメモリ", 219, 177, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
