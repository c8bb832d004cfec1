// The template tables of every dialog (one source file each) and shorthands for writing them.
#pragma once

#include "framework/DialogTemplate.h"
#include "res/Resources.h"

namespace res {

// Hands every template to the framework; each program calls it once at start-up.
void RegisterTemplates();

} // namespace res

namespace res::tmpl {

using fw::ControlKind;
using namespace fw::style;

// Dialog frames.
inline constexpr uint32_t kModalDialog = Popup | Caption | SysMenu | ModalFrame | SetFont;

// What a control kind carries unless the dialog says otherwise: buttons, check boxes, edits and
// combo boxes are tab stops; edits have a border.
inline constexpr uint32_t kButton = TabStop;
inline constexpr uint32_t kEdit = Border | TabStop;
inline constexpr uint32_t kEditAuto = Border | TabStop | EsAutoHScroll;
inline constexpr uint32_t kListing = Border | TabStop | EsMultiline | VScroll | EsAutoHScroll;

inline constexpr std::string_view kGothic = "ＭＳ ゴシック";   // fixed pitch
inline constexpr std::string_view kPGothic = "ＭＳ Ｐゴシック"; // proportional

extern constinit const fw::DialogTemplate kAbout;          // 100
extern constinit const fw::DialogTemplate kStartup;        // 102
extern constinit const fw::DialogTemplate kDspDownload;    // 129
extern constinit const fw::DialogTemplate kNtscView;       // 130
extern constinit const fw::DialogTemplate kRectScan;       // 133
extern constinit const fw::DialogTemplate kRegister;       // 135
extern constinit const fw::DialogTemplate kFrameMemory;    // 136
extern constinit const fw::DialogTemplate kReadResult;     // 137
extern constinit const fw::DialogTemplate kMainMenu;       // 138
extern constinit const fw::DialogTemplate kDumpView;       // 140
extern constinit const fw::DialogTemplate kOperationInfo;  // 141
extern constinit const fw::DialogTemplate kScanDataSet;    // 142

} // namespace res::tmpl
