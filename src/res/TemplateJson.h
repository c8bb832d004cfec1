// Templates as JSON and style bits as names, for the dump tool and for layout checks.
#pragma once

#include "framework/DialogTemplate.h"

#include <string>
#include <string_view>
#include <vector>

namespace res {

std::string_view kindName(fw::ControlKind kind);
// Names of the style bits as the control kind reads them (the low bits mean different things
// for edits, statics, combo boxes and list boxes); unknown bits come out as hex.
std::vector<std::string> controlStyleNames(fw::ControlKind kind, uint32_t style);
std::vector<std::string> dialogStyleNames(uint32_t style);
std::vector<std::string> exStyleNames(uint32_t exStyle);

// One template, or every template as a JSON array, UTF-8, one control per line.
std::string templateToJson(const fw::DialogTemplate &t);
std::string allTemplatesToJson();

} // namespace res
