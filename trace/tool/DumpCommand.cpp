// pelora2-trace dump FILE: one line per record (see formatRecord), without decompressing the
// bytes the records carry.
#include "Tool.h"

#include <cstdio>

namespace tool {
namespace {

int dump(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return usageError("dump", "one trace file expected");
    auto reader = openTrace("dump", args[0]);
    if (!reader)
        return kUsage;
    reader->setSkipData(true);
    std::string out;
    out.reserve(1 << 20);
    trace::Record r;
    while (reader->next(&r)) {
        formatRecord(r, out);
        if (out.size() >= (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::perror("pelora2-trace dump: writing");
        return kFinding;
    }
    return endOfTrace("dump", *reader);
}

const Registration reg({"dump", "FILE", "one line per call, callback and note", dump});

} // namespace
} // namespace tool
