// The template registry: every dialog the program has, by template ID.
#include "res/Templates.h"

#include <array>

namespace {
constexpr std::array<const fw::DialogTemplate *, 12> kAll = {
    &res::tmpl::kAbout,       &res::tmpl::kStartup,      &res::tmpl::kDspDownload,
    &res::tmpl::kNtscView,    &res::tmpl::kRectScan,     &res::tmpl::kRegister,
    &res::tmpl::kFrameMemory, &res::tmpl::kReadResult,   &res::tmpl::kMainMenu,
    &res::tmpl::kDumpView,    &res::tmpl::kOperationInfo, &res::tmpl::kScanDataSet,
};
} // namespace

namespace res {

void RegisterTemplates()
{
    fw::setTemplateTable(kAll);
}

} // namespace res
