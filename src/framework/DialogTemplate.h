// Dialog templates as data: one table per dialog, turned into widgets by the dialog builder.
// Coordinates are dialog units; styles use the classic window style bit values so a template
// reads like the resource it describes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace fw {

enum class ControlKind {
    PushButton,    // BS_PUSHBUTTON
    DefPushButton, // BS_DEFPUSHBUTTON
    CheckBox,      // BS_AUTOCHECKBOX
    RadioButton,   // BS_AUTORADIOBUTTON
    GroupBox,      // BS_GROUPBOX
    Static,        // static text (SS_LEFT unless the style says otherwise)
    Icon,          // static icon (text holds the icon resource, e.g. "128")
    Frame,         // static frame/picture area (SS_BLACKFRAME etc.), used as a drawing surface
    Edit,          // edit field (single or multi-line by style)
    ComboBox,      // combo box (drop-down, drop-down list or simple by style)
    ListBox,
};

// Window styles (values as the classic window system defines them).
namespace style {
constexpr uint32_t Visible = 0x10000000;
constexpr uint32_t Disabled = 0x08000000;
constexpr uint32_t Group = 0x00020000;
constexpr uint32_t TabStop = 0x00010000;
constexpr uint32_t VScroll = 0x00200000;
constexpr uint32_t HScroll = 0x00100000;
constexpr uint32_t Border = 0x00800000;
// dialog
constexpr uint32_t Popup = 0x80000000;
constexpr uint32_t Caption = 0x00C00000;
constexpr uint32_t SysMenu = 0x00080000;
constexpr uint32_t MinimizeBox = 0x00020000;
constexpr uint32_t ThickFrame = 0x00040000; // sizing border
constexpr uint32_t ModalFrame = 0x00000080; // DS_MODALFRAME
constexpr uint32_t SetFont = 0x00000040;    // DS_SETFONT
// extended
constexpr uint32_t ExAppWindow = 0x00040000;
constexpr uint32_t ExClientEdge = 0x00000200;
constexpr uint32_t ExStaticEdge = 0x00020000;
// edit
constexpr uint32_t EsMultiline = 0x0004;
constexpr uint32_t EsAutoVScroll = 0x0040;
constexpr uint32_t EsAutoHScroll = 0x0080;
constexpr uint32_t EsReadOnly = 0x0800;
constexpr uint32_t EsWantReturn = 0x1000;
constexpr uint32_t EsNumber = 0x2000;
constexpr uint32_t EsNoHideSel = 0x0100; // selection stays shown without focus
constexpr uint32_t EsUppercase = 0x0008;
constexpr uint32_t EsRight = 0x0002;
constexpr uint32_t EsCenter = 0x0001;
// combo box
constexpr uint32_t CbsSimple = 0x0001;
constexpr uint32_t CbsDropDown = 0x0002;
constexpr uint32_t CbsDropDownList = 0x0003;
constexpr uint32_t CbsSort = 0x0100;
// static
constexpr uint32_t SsCenter = 0x0001;
constexpr uint32_t SsRight = 0x0002;
constexpr uint32_t SsBlackFrame = 0x0007;
constexpr uint32_t SsGrayFrame = 0x0008;
constexpr uint32_t SsWhiteFrame = 0x0009;
constexpr uint32_t SsEtchedFrame = 0x0012;
constexpr uint32_t SsSunken = 0x1000;
constexpr uint32_t SsNoPrefix = 0x0080;
constexpr uint32_t SsCenterImage = 0x0200;
// list box
constexpr uint32_t LbsNotify = 0x0001;
constexpr uint32_t LbsSort = 0x0002;
} // namespace style

struct ControlTemplate {
    int id; // -1 for controls without an ID (IDC_STATIC)
    ControlKind kind;
    std::string_view text; // UTF-8
    int x, y, cx, cy;      // dialog units
    uint32_t style = 0;    // extra styles beyond the kind's own (TabStop, Group, EsMultiline, ...)
    uint32_t exStyle = 0;
};

struct DialogTemplate {
    int id;
    std::string_view caption; // UTF-8
    int cx, cy;               // dialog units
    std::string_view fontFace;
    int fontPoint;
    uint32_t style;
    uint32_t exStyle;
    std::span<const ControlTemplate> controls; // in template (tab) order
};

// The program's templates. The framework knows none of its own: the program hands its table
// over once at start-up, before the first dialog is made (UI thread).
void setTemplateTable(std::span<const DialogTemplate *const> table);
// Every template handed over, looked up by template ID (nullptr when unknown).
const DialogTemplate *findTemplate(int templateId);
std::span<const DialogTemplate *const> allTemplates();

} // namespace fw
