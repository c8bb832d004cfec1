// Resource identifiers and data: dialog template IDs, the control IDs of every dialog, the
// application icon, the string table and the version information.
#pragma once

#include "framework/DialogTemplate.h"
#include "framework/Messages.h"

#include <cstdint>
#include <string>
#include <string_view>

class QIcon;
class QPixmap;

namespace res {

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_PELORA2_DIALOG = 102;
constexpr int IDD_DSP_DOWNLOAD = 129;
constexpr int IDD_NTSC_VIEW = 130;
constexpr int IDD_RECT_SCAN = 133;
constexpr int IDD_REGISTER = 135;
constexpr int IDD_FRAME_MEMORY = 136;
constexpr int IDD_READ_RESULT = 137;
constexpr int IDD_MAIN_MENU = 138;
constexpr int IDD_DUMP_VIEW = 140;
constexpr int IDD_OPERATION_INFO = 141;
constexpr int IDD_SCAN_DATA_SET = 142;

// Icon, strings, system-menu command.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDS_ABOUTBOX = 101;
constexpr unsigned IDM_ABOUTBOX = 0x0010;

constexpr int IDOK = fw::IDOK;
constexpr int IDC_STATIC = -1;

// Control IDs, one namespace per dialog (the same number means different controls in
// different dialogs).
namespace about { // 100
constexpr int IDC_BOARD_LIBRARY = 1000; // which board library answered, filled when shown
} // namespace about

namespace startup { // 102
constexpr int IDC_START = 1019;
constexpr int IDC_BOARD_ID = 1037;
} // namespace startup

namespace mainmenu { // 138
constexpr int IDC_DSP_DOWNLOAD = 1000;
constexpr int IDC_RECT_SCAN = 1001;
constexpr int IDC_NTSC_VIEW = 1025;
constexpr int IDC_REGISTER = 1035;
constexpr int IDC_FRAME_MEMORY = 1036;
constexpr int IDC_RESET = 1038;
constexpr int IDC_ERROR_INFO = 1019;
constexpr int IDC_SCAN_DATA_SET = 1020;
} // namespace mainmenu

namespace opinfo { // 141
constexpr int IDC_HISTORY = 1004;
constexpr int IDC_HISTORY_INDEX = 1056;
constexpr int IDC_NO_REQUEST_COUNT = 1053;
constexpr int IDC_HOOK_BUSY_COUNT = 1054;
} // namespace opinfo

namespace rectscan { // 133
constexpr int IDC_START = 1039;
constexpr int IDC_FRAME_STOP = 1040;
constexpr int IDC_STOP_TIMEOUT = 1041;
constexpr int IDC_SCAN_KIND = 1045;
constexpr int IDC_SCAN_UNIT = 1046;
constexpr int IDC_PIXEL_SIZE = 1047;
constexpr int IDC_LINES_PER_FRAME = 1048;
constexpr int IDC_PIXELS_PER_LINE = 1049;
constexpr int IDC_START_COUNT = 1050;
constexpr int IDC_LINE_INT_INTERVAL = 1053;
constexpr int IDC_DUMP_VIEW = 1054;
constexpr int IDC_PICTURE = 1055;
constexpr int IDC_LOG = 1058;
constexpr int IDC_START_BY_BUTTON = 1059;
constexpr int IDC_START_BY_DSP = 1060;
constexpr int IDC_HOOK_CALLS = 1004;
constexpr int IDC_ISSUE_REQUEST = 1061;
constexpr int IDC_HOOK_SLEEP = 1062;
constexpr int IDC_ISSUE_AUTO = 1063;
constexpr int IDC_ISSUE_MANUAL = 1064;
constexpr int IDC_ACQUIRE_EXCLUSIVE = 1065;
constexpr int IDC_RELEASE_EXCLUSIVE = 1066;
constexpr int IDC_START_DELAY = 1077;
constexpr int IDC_ISSUE_TIMING_GROUP = 1078;
constexpr int IDC_REQUEST_COUNT = 1079;
constexpr int IDC_BUFFER_AP = 1080;
constexpr int IDC_BUFFER_DRIVER = 1081;
constexpr int IDC_ISSUE_BEFORE_START = 1084;
constexpr int IDC_ISSUE_AFTER_START = 1085;
constexpr int IDC_HOOK_ISSUE_ON = 1086;
constexpr int IDC_HOOK_ISSUE_OFF = 1087;
constexpr int IDC_CLKOUT_WAIT = 1089;
constexpr int IDC_LINE_STOP = 1090;
constexpr int IDC_NO_MASK_OPEN_DELAY = 1091;
} // namespace rectscan

namespace ntsc { // 130
constexpr int IDC_START = 1039;
constexpr int IDC_STOP = 1040;
constexpr int IDC_PICTURE = 1023;
constexpr int IDC_BUFFER_SIZE = 1031;
constexpr int IDC_OVERLAY = 1069;
constexpr int IDC_BMP = 1070;
constexpr int IDC_KEY_RED = 1071;
constexpr int IDC_KEY_GREEN = 1072;
constexpr int IDC_KEY_BLUE = 1073;
} // namespace ntsc

namespace dsp { // 129
constexpr int IDC_BROWSE = 1000;
constexpr int IDC_DOWNLOAD = 1001;
constexpr int IDC_PATH = 1004;
} // namespace dsp

namespace scandataset { // 142
constexpr int IDC_TEST = 1074;
constexpr int IDC_WAIT = 1088;
} // namespace scandataset

namespace reg { // 135
constexpr int IDC_ULONG = 1059;
constexpr int IDC_USHORT = 1060;
constexpr int IDC_OFFSET = 1029;
constexpr int IDC_DATA = 1028;
constexpr int IDC_READ = 1000;
constexpr int IDC_WRITE = 1001;
} // namespace reg

namespace framemem { // 136
constexpr int IDC_BANK = 1032;
constexpr int IDC_OFFSET = 1029;
constexpr int IDC_SIZE = 1031;
constexpr int IDC_READ = 1000;
constexpr int IDC_WRITE = 1001;
constexpr int IDC_COMPARE = 1025;
constexpr int IDC_FILL = 1004;
constexpr int IDC_LOG = 1053;
} // namespace framemem

namespace readresult { // 137
constexpr int IDC_TITLE = 1034;
constexpr int IDC_LISTING = 1033;
constexpr int IDC_SAVE = 1000;
} // namespace readresult

namespace dumpview { // 140
constexpr int IDC_LISTING = 1033;
constexpr int IDC_DATA_SIZE = 1031;
constexpr int IDC_START_OFFSET = 1057;
constexpr int IDC_END_OFFSET = 1056;
constexpr int IDC_SAVE = 1001;
constexpr int IDC_SHOW = 1000;
} // namespace dumpview

// String table: the text of a string resource, empty when there is none.
std::string_view LoadString(int id);

// The executable's version information (language Japanese, Unicode code page).
struct VersionInfo {
    std::uint16_t fileVersion[4];    // 1.0.0.1
    std::uint16_t productVersion[4]; // 1.0.0.1
    std::uint16_t language;          // 0x0411
    std::uint16_t codePage;          // 0x04B0
    std::string_view fileVersionText;    // "1, 0, 0, 1"
    std::string_view productVersionText; // "1, 0, 0, 1"
    std::string_view fileDescription;
    std::string_view productName;
    std::string_view internalName;
    std::string_view originalFilename;
    std::string_view companyName;
    std::string_view legalTrademarks;
};
const VersionInfo &versionInfo();
// "1.0.0.1": the file version in dotted form, as the desktop entry carries it.
std::string versionDotted();

// Icon 128, the application icon. Qt must be running (a QGuiApplication) for these.
QIcon AppIcon();
QPixmap AppIconPixmap(int size = 32);

} // namespace res
