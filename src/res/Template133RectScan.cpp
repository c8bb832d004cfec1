// Rectangle-area scan: picture, log, scan parameters and request options. A sizable modeless
// window without a system menu.
#include "res/Templates.h"

namespace res::tmpl {
namespace {
using namespace rectscan;
constexpr uint32_t kNumber = kEdit | EsRight;           // right-aligned numeric field
constexpr uint32_t kList = CbsDropDownList | CbsSort | TabStop; // entries go in by position
// Radio buttons are not tab stops here; each pair starts a group.
constexpr fw::ControlTemplate kControls[] = {
    {IDC_START, ControlKind::PushButton, "開始", 67, 301, 50, 18, kButton},
    {IDC_STATIC, ControlKind::Static, "画像表示", 7, 7, 48, 8},
    {IDC_FRAME_STOP, ControlKind::PushButton, "フレーム中止", 126, 301, 59, 18, kButton},
    {IDC_STOP_TIMEOUT, ControlKind::Edit, "", 524, 95, 48, 14, kNumber},
    {IDC_STATIC, ControlKind::Static, "Scan中止Timeout：", 447, 99, 69, 8},
    {IDC_SCAN_KIND, ControlKind::ComboBox, "", 353, 27, 71, 30, kList},
    {IDC_STATIC, ControlKind::Static, "Scan種別：", 281, 31, 55, 8},
    {IDC_SCAN_UNIT, ControlKind::ComboBox, "", 353, 47, 71, 52, kList},
    {IDC_STATIC, ControlKind::Static, "Scan単位：", 281, 51, 47, 8},
    {IDC_STATIC, ControlKind::Static, "Pixelのbit単位：", 452, 72, 66, 8},
    {IDC_PIXEL_SIZE, ControlKind::ComboBox, "", 524, 68, 48, 53, kList},
    {IDC_LINES_PER_FRAME, ControlKind::Edit, "", 524, 28, 48, 14, kNumber},
    {IDC_STATIC, ControlKind::Static, "ライン数/frame：", 452, 31, 70, 8},
    {IDC_STATIC, ControlKind::Static, "ピクセル数/line：", 448, 51, 72, 8},
    {IDC_PIXELS_PER_LINE, ControlKind::Edit, "", 524, 48, 48, 14, kNumber},
    {IDC_STATIC, ControlKind::GroupBox, "パラメータ", 271, 15, 328, 177},
    {IDC_STATIC, ControlKind::Static, "起動回数：", 281, 98, 45, 8},
    {IDC_START_COUNT, ControlKind::Edit, "", 374, 95, 48, 14, kNumber},
    {IDOK, ControlKind::PushButton, "閉じる", 529, 325, 61, 18, kButton},
    {IDC_DUMP_VIEW, ControlKind::PushButton, "ダンプ表示", 7, 301, 50, 18, kButton},
    {IDC_PICTURE, ControlKind::Frame, "", 7, 19, 254, 174, SsBlackFrame},
    {IDC_LOG, ControlKind::Edit, "", 7, 200, 254, 93, kEdit | EsMultiline | EsReadOnly | VScroll},
    {IDC_STATIC, ControlKind::GroupBox, " 開始方法 ", 271, 233, 158, 30},
    {IDC_START_BY_BUTTON, ControlKind::RadioButton, "ボタン", 281, 245, 40, 10, Group},
    {IDC_START_BY_DSP, ControlKind::RadioButton, "DSP制御", 344, 245, 44, 10},
    {IDC_HOOK_CALLS, ControlKind::Edit, "", 194, 7, 66, 12, EsReadOnly},
    {IDC_STATIC, ControlKind::Static, "Hook関数Call回数：", 114, 7, 73, 8},
    {IDC_ISSUE_REQUEST, ControlKind::PushButton, "画像取得要求発行", 182, 324, 74, 18, kButton},
    {IDC_STATIC, ControlKind::Static, "Hook関数スリープ時間：", 281, 133, 89, 8},
    {IDC_HOOK_SLEEP, ControlKind::Edit, "", 374, 131, 48, 14, kNumber},
    {IDC_STATIC, ControlKind::Static, "(ms)", 426, 134, 17, 8},
    {IDC_ISSUE_AUTO, ControlKind::RadioButton, "自動", 281, 283, 32, 10, Group},
    {IDC_ISSUE_MANUAL, ControlKind::RadioButton, "手動", 344, 283, 32, 10},
    {IDC_ACQUIRE_EXCLUSIVE, ControlKind::PushButton, "排他権獲得", 67, 324, 50, 18, kButton},
    {IDC_RELEASE_EXCLUSIVE, ControlKind::PushButton, "排他権開放", 125, 324, 50, 18, kButton},
    {IDC_STATIC, ControlKind::Static, "Scan起動後の取得発行Delay：", 281, 152, 109, 8},
    {IDC_START_DELAY, ControlKind::Edit, "", 394, 150, 28, 14, kNumber},
    {IDC_STATIC, ControlKind::Static, "(ms)", 426, 153, 17, 8},
    {IDC_STATIC, ControlKind::Static, "取得要求発行回数：", 281, 115, 73, 8},
    {IDC_REQUEST_COUNT, ControlKind::Edit, "", 374, 113, 48, 14, kNumber},
    {IDC_ISSUE_TIMING_GROUP, ControlKind::GroupBox, "取得要求発行位置", 272, 197, 156, 31},
    {IDC_STATIC, ControlKind::GroupBox, "取得要求バッファモード", 443, 198, 156, 30},
    {IDC_BUFFER_AP, ControlKind::RadioButton, "AP", 453, 212, 24, 10, Group},
    {IDC_BUFFER_DRIVER, ControlKind::RadioButton, "ドライバ", 514, 212, 48, 10},
    {IDC_STATIC, ControlKind::GroupBox, "取得要求発行", 271, 269, 158, 30},
    {IDC_STATIC, ControlKind::GroupBox, "Hook関数内取得要求発行", 443, 233, 156, 42},
    {IDC_ISSUE_BEFORE_START, ControlKind::RadioButton, "Scan起動前", 281, 209, 56, 10, Group},
    {IDC_ISSUE_AFTER_START, ControlKind::RadioButton, "Scan起動後", 344, 209, 56, 10},
    {IDC_HOOK_ISSUE_ON, ControlKind::RadioButton, "ON", 453, 245, 24, 10, Group},
    {IDC_HOOK_ISSUE_OFF, ControlKind::RadioButton, "OFF", 515, 245, 28, 10},
    {IDC_STATIC, ControlKind::Static, "ウェイト(CLKOUT)：", 443, 117, 73, 8},
    {IDC_CLKOUT_WAIT, ControlKind::Edit, "", 524, 115, 48, 14, kNumber},
    {IDC_STATIC, ControlKind::Static, "※但し、ドライババッファ要求", 452, 259, 122, 8},
    {IDC_STATIC, ControlKind::Static,
     "注記：APバッファは、32MByte確保します。取得要求数が多くなると１要求あたりのバッファサイズが小さくなります。",
     281, 170, 303, 20},
    {IDC_LINE_STOP, ControlKind::PushButton, "ライン中止", 197, 301, 59, 18, kButton},
    {IDC_NO_MASK_OPEN_DELAY, ControlKind::CheckBox, "マスクOpen Delayなし", 275, 323, 96, 10, TabStop},
    {IDC_LINE_INT_INTERVAL, ControlKind::Edit, "", 524, 140, 48, 14, kEdit},
    {IDC_STATIC, ControlKind::Static, "LineInt間隔：", 463, 143, 53, 8},
};
static_assert(std::size(kControls) == 58);
} // namespace

constinit const fw::DialogTemplate kRectScan{IDD_RECT_SCAN,
                                             "矩形エリアスキャン",
                                             606,
                                             355,
                                             kGothic,
                                             9,
                                             Popup | Visible | Caption | ThickFrame | SetFont,
                                             0,
                                             kControls};
} // namespace res::tmpl
