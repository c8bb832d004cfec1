#include "framework/DialogTemplate.h"

namespace fw {
namespace {

std::span<const DialogTemplate *const> g_templates; // written once at start-up, before any dialog

} // namespace

void setTemplateTable(std::span<const DialogTemplate *const> table)
{
    g_templates = table;
}

const DialogTemplate *findTemplate(int templateId)
{
    for (const DialogTemplate *t : g_templates)
        if (t->id == templateId)
            return t;
    return nullptr;
}

std::span<const DialogTemplate *const> allTemplates()
{
    return g_templates;
}

} // namespace fw
