// Frame memory read result: title line and hex listing.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace readresult;
constexpr fw::ControlTemplate kControls[] = {
    {IDC_TITLE, ControlKind::Edit, "", 17, 7, 188, 14, TabStop | EsReadOnly | EsAutoHScroll},
    {IDC_LISTING, ControlKind::Edit, "", 17, 27, 251, 148, kListing},
    {IDC_SAVE, ControlKind::PushButton, "データ保存", 164, 186, 50, 14, kButton},
    {IDOK, ControlKind::DefPushButton, "終了", 230, 186, 50, 14, kButton},
};
} // namespace

constinit const fw::DialogTemplate kReadResult{
    IDD_READ_RESULT, "リード結果", 287, 207, kGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
