#include "check/TerminalReport.h"

namespace check {

std::string CaseLine(const CaseResult &c)
{
    std::string line = c.name + " ... ";
    if (c.passed)
        line += c.note.empty() ? "ok" : "ok (" + c.note + ")";
    else
        line += "FAIL: " + c.diagnosis;
    return line;
}

std::string TotalLine(const RunResults &r)
{
    return "total " + std::to_string(r.cases.size()) + ", passed " + std::to_string(r.passed())
           + ", failed " + std::to_string(r.failed());
}

void TerminalReport::PrintCase(const CaseResult &c) { PrintLine(CaseLine(c)); }

void TerminalReport::PrintLine(const std::string &text)
{
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TerminalReport::PrintTotal(const RunResults &r) { PrintLine(TotalLine(r)); }

} // namespace check
