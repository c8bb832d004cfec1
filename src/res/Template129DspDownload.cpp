// DSP download: program file path, browse and download.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace dsp;
constexpr fw::ControlTemplate kControls[] = {
    {IDOK, ControlKind::DefPushButton, "終了", 130, 72, 50, 14, kButton},
    {IDC_BROWSE, ControlKind::PushButton, "参照", 130, 28, 50, 14, kButton},
    {IDC_DOWNLOAD, ControlKind::PushButton, "ダウンロード", 130, 49, 50, 14, kButton},
    {IDC_PATH, ControlKind::Edit, "", 7, 28, 113, 14, kEditAuto | EsNoHideSel},
    {IDC_STATIC, ControlKind::Static, "ダウンロードファイル指定", 7, 13, 79, 8},
};
} // namespace

constinit const fw::DialogTemplate kDspDownload{
    IDD_DSP_DOWNLOAD, "DSPダウンロード", 187, 93, kPGothic, 9, kModalDialog, 0, kControls};
} // namespace res::tmpl
