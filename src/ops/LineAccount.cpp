#include "ops/LineAccount.h"

#include "board/pel2ctl.h"

#include <cstdio>

namespace ops {
namespace {

// printf-style text, formatted in a 256-character buffer as the hook always did.
template <typename... Args>
std::string Format(const char *format, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::vector<Result> LineAccount::Deliver(uint32_t flags, uint32_t startLine, uint32_t lineCount,
                                         uint32_t linesPerFrame, bool lineUnit)
{
    const uint32_t total = startLine == 0 ? lineCount : total_.load() + lineCount;
    total_ = total;

    std::vector<Result> reports;
    if (!lineUnit)
        return reports;
    if ((flags & HOOK_FLAG_FRAME) && total != linesPerFrame)
        reports.push_back(Failed(
            "Line Num too Small", 0,
            Format(" ● Line Num too Small Error.\tLine Not Mach. LineNum:%d\r\n", int(total)),
            Icon::None, "Line Num too Small Error."));
    if (total > linesPerFrame)
        reports.push_back(Failed(
            "Line Over", 0,
            Format(" ● Line Over Error. Line Over Start:%d  LineNum:%d\r\n", int(startLine), int(lineCount)),
            Icon::None, "Line Over Error."));
    return reports;
}

} // namespace ops
