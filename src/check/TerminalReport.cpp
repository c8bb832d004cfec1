#include "check/TerminalReport.h"

#include <cerrno>

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
    errno = 0;
    const bool written = std::fprintf(out_, "%s\n", text.c_str()) >= 0;
    if ((std::fflush(out_) != 0 || !written) && writeError_.load() == 0)
        writeError_.store(errno != 0 ? errno : EIO);
}

void TerminalReport::PrintTotal(const RunResults &r) { PrintLine(TotalLine(r)); }

} // namespace check
