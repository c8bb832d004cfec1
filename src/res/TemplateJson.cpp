#include "res/TemplateJson.h"

#include <cstdio>
#include <utility>

namespace res {
namespace {

using namespace fw::style;
using Flag = std::pair<uint32_t, std::string_view>;

// Takes every named bit out of `bits`; what is left is shown in hex.
void takeFlags(uint32_t &bits, std::initializer_list<Flag> flags, std::vector<std::string> &out)
{
    for (const auto &[mask, name] : flags) {
        if ((bits & mask) == mask) {
            out.emplace_back(name);
            bits &= ~mask;
        }
    }
}

void rest(uint32_t bits, std::vector<std::string> &out)
{
    if (bits != 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%X", bits);
        out.emplace_back(buf);
    }
}

void windowFlags(uint32_t &bits, std::vector<std::string> &out)
{
    takeFlags(bits,
              {{Visible, "Visible"},
               {Disabled, "Disabled"},
               {Group, "Group"},
               {TabStop, "TabStop"},
               {VScroll, "VScroll"},
               {HScroll, "HScroll"},
               {Border, "Border"}},
              out);
}

void appendEscaped(std::string &s, std::string_view text)
{
    s += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", c);
                s += buf;
            } else {
                s += static_cast<char>(c); // UTF-8 passes through
            }
        }
    }
    s += '"';
}

void appendNames(std::string &s, const std::vector<std::string> &names)
{
    s += '[';
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            s += ", ";
        appendEscaped(s, names[i]);
    }
    s += ']';
}

} // namespace

std::string_view kindName(fw::ControlKind kind)
{
    switch (kind) {
    case fw::ControlKind::PushButton: return "PushButton";
    case fw::ControlKind::DefPushButton: return "DefPushButton";
    case fw::ControlKind::CheckBox: return "CheckBox";
    case fw::ControlKind::RadioButton: return "RadioButton";
    case fw::ControlKind::GroupBox: return "GroupBox";
    case fw::ControlKind::Static: return "Static";
    case fw::ControlKind::Icon: return "Icon";
    case fw::ControlKind::Frame: return "Frame";
    case fw::ControlKind::Edit: return "Edit";
    case fw::ControlKind::ComboBox: return "ComboBox";
    case fw::ControlKind::ListBox: return "ListBox";
    }
    return "Unknown";
}

std::vector<std::string> controlStyleNames(fw::ControlKind kind, uint32_t style)
{
    std::vector<std::string> out;
    uint32_t bits = style;
    windowFlags(bits, out);
    switch (kind) {
    case fw::ControlKind::Edit:
        takeFlags(bits,
                  {{EsMultiline, "EsMultiline"},
                   {EsReadOnly, "EsReadOnly"},
                   {EsAutoHScroll, "EsAutoHScroll"},
                   {EsAutoVScroll, "EsAutoVScroll"},
                   {EsRight, "EsRight"},
                   {EsCenter, "EsCenter"},
                   {EsNoHideSel, "EsNoHideSel"},
                   {EsWantReturn, "EsWantReturn"},
                   {EsNumber, "EsNumber"},
                   {EsUppercase, "EsUppercase"}},
                  out);
        break;
    case fw::ControlKind::ComboBox: {
        // The low two bits are one value: simple, drop-down or drop-down list.
        const uint32_t type = bits & 0x3;
        if (type == CbsDropDownList)
            out.emplace_back("CbsDropDownList");
        else if (type == CbsDropDown)
            out.emplace_back("CbsDropDown");
        else if (type == CbsSimple)
            out.emplace_back("CbsSimple");
        bits &= ~0x3u;
        takeFlags(bits, {{CbsSort, "CbsSort"}}, out);
        break;
    }
    case fw::ControlKind::Static:
    case fw::ControlKind::Frame:
    case fw::ControlKind::Icon: {
        // The low five bits are one value (the static's type).
        const uint32_t type = bits & 0x1F;
        static constexpr Flag kTypes[] = {{SsCenter, "SsCenter"},         {SsRight, "SsRight"},
                                          {SsBlackFrame, "SsBlackFrame"}, {SsGrayFrame, "SsGrayFrame"},
                                          {SsWhiteFrame, "SsWhiteFrame"}, {SsEtchedFrame, "SsEtchedFrame"}};
        for (const auto &[value, name] : kTypes) {
            if (type == value) {
                out.emplace_back(name);
                bits &= ~0x1Fu;
            }
        }
        takeFlags(bits, {{SsNoPrefix, "SsNoPrefix"}, {SsCenterImage, "SsCenterImage"}, {SsSunken, "SsSunken"}},
                  out);
        break;
    }
    case fw::ControlKind::ListBox:
        takeFlags(bits, {{LbsNotify, "LbsNotify"}, {LbsSort, "LbsSort"}}, out);
        break;
    default:
        break;
    }
    rest(bits, out);
    return out;
}

std::vector<std::string> dialogStyleNames(uint32_t style)
{
    std::vector<std::string> out;
    uint32_t bits = style;
    takeFlags(bits,
              {{Popup, "Popup"},
               {Visible, "Visible"},
               {Disabled, "Disabled"},
               {Caption, "Caption"},
               {SysMenu, "SysMenu"},
               {ThickFrame, "ThickFrame"},
               {MinimizeBox, "MinimizeBox"},
               {ModalFrame, "ModalFrame"},
               {SetFont, "SetFont"}},
              out);
    rest(bits, out);
    return out;
}

std::vector<std::string> exStyleNames(uint32_t exStyle)
{
    std::vector<std::string> out;
    uint32_t bits = exStyle;
    takeFlags(bits, {{ExAppWindow, "ExAppWindow"}, {ExClientEdge, "ExClientEdge"}, {ExStaticEdge, "ExStaticEdge"}},
              out);
    rest(bits, out);
    return out;
}

std::string templateToJson(const fw::DialogTemplate &t)
{
    std::string s = "{\"id\": " + std::to_string(t.id) + ", \"caption\": ";
    appendEscaped(s, t.caption);
    s += ", \"font\": ";
    appendEscaped(s, t.fontFace);
    s += ", \"fontPoint\": " + std::to_string(t.fontPoint);
    s += ", \"width\": " + std::to_string(t.cx) + ", \"height\": " + std::to_string(t.cy);
    s += ", \"style\": ";
    appendNames(s, dialogStyleNames(t.style));
    s += ", \"exStyle\": ";
    appendNames(s, exStyleNames(t.exStyle));
    s += ", \"controls\": [";
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const fw::ControlTemplate &c = t.controls[i];
        s += i ? ",\n    " : "\n    ";
        s += "{\"id\": " + std::to_string(c.id) + ", \"kind\": ";
        appendEscaped(s, kindName(c.kind));
        s += ", \"text\": ";
        appendEscaped(s, c.text);
        s += ", \"x\": " + std::to_string(c.x) + ", \"y\": " + std::to_string(c.y) +
             ", \"width\": " + std::to_string(c.cx) + ", \"height\": " + std::to_string(c.cy);
        s += ", \"style\": ";
        appendNames(s, controlStyleNames(c.kind, c.style));
        if (c.exStyle) {
            s += ", \"exStyle\": ";
            appendNames(s, exStyleNames(c.exStyle));
        }
        s += '}';
    }
    s += "\n  ]}";
    return s;
}

std::string allTemplatesToJson()
{
    std::string s = "[";
    bool first = true;
    for (const fw::DialogTemplate *t : fw::allTemplates()) {
        s += first ? "\n  " : ",\n  ";
        first = false;
        s += templateToJson(*t);
    }
    s += "\n]\n";
    return s;
}

} // namespace res
