// Prints every dialog template as JSON (or only the templates whose IDs are given), so layouts
// can be checked without a screen.
//   dump_templates            all templates
//   dump_templates 133 135    the listed templates
#include "res/TemplateJson.h"
#include "res/Templates.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    res::RegisterTemplates();
    std::string out;
    if (argc <= 1) {
        out = res::allTemplatesToJson();
    } else {
        out = "[";
        for (int i = 1; i < argc; ++i) {
            char *end = nullptr;
            const long id = std::strtol(argv[i], &end, 10);
            const fw::DialogTemplate *t = (end && *end == '\0') ? fw::findTemplate(static_cast<int>(id)) : nullptr;
            if (!t) {
                std::fprintf(stderr, "dump_templates: no template %s\n", argv[i]);
                return 1;
            }
            out += i > 1 ? ",\n  " : "\n  ";
            out += res::templateToJson(*t);
        }
        out += "\n]\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
