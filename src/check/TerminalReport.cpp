#include "check/TerminalReport.h"

#include <cerrno>

namespace check {

std::string CaseLine(const CaseResult &c)
{
    std::string line = c.name + " ... ";
    switch (c.outcome) {
    case Outcome::Pass: return line + (c.note.empty() ? "ok" : "ok (" + c.note + ")");
    case Outcome::Warn: return line + "WARN: " + c.warning + (c.note.empty() ? "" : " (" + c.note + ")");
    case Outcome::Fail: return line + "FAIL: " + c.diagnosis;
    case Outcome::Skip: return line + "SKIP: " + c.diagnosis;
    case Outcome::Error: return line + "ERROR: " + c.diagnosis;
    }
    return line;
}

std::string TotalLine(const RunResults &r)
{
    return "total " + std::to_string(r.cases.size()) + ", passed " + std::to_string(r.count(Outcome::Pass))
           + ", warned " + std::to_string(r.count(Outcome::Warn)) + ", failed " + std::to_string(r.count(Outcome::Fail))
           + ", skipped " + std::to_string(r.count(Outcome::Skip)) + ", errors "
           + std::to_string(r.count(Outcome::Error)) + (r.looped ? ", loops " + std::to_string(r.loops) : "");
}

void TerminalReport::PrintCase(const CaseResult &c)
{
    // Within a loop only what needs a look, unless steps are asked for; the folded cases follow.
    if (loop_ != 0 && verbosity_ == 0 && (c.outcome == Outcome::Pass || c.outcome == Outcome::Skip))
        return;
    PrintLine((loop_ != 0 ? "[loop " + std::to_string(loop_) + "] " : std::string()) + CaseLine(c));
    if (verbosity_ >= 2)
        for (const auto &[key, value] : c.properties)
            PrintLine("    " + key + " = " + value);
}

void TerminalReport::PrintStep(const std::string &text, int level)
{
    if (verbosity_ >= level)
        PrintLine("  " + text);
}

void TerminalReport::PrintLine(const std::string &text)
{
    errno = 0;
    const bool written = std::fprintf(out_, "%s\n", text.c_str()) >= 0;
    if ((std::fflush(out_) != 0 || !written) && writeError_.load() == 0)
        writeError_.store(errno != 0 ? errno : EIO);
}

void TerminalReport::PrintTotal(const RunResults &r) { PrintLine(TotalLine(r)); }

} // namespace check
